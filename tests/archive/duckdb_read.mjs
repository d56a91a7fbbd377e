// Reads a folder tree of recordings the way the user guide shows, through
// DuckDB.
//   node duckdb_read.mjs NODE_MODULES_FOLDER TREE_ROOT
//     prints every row with the columns the folder names give, as
//     "pair,stamp,bid,ask,symbol,date" lines, each file's in its order;
//   node duckdb_read.mjs NODE_MODULES_FOLDER TREE_ROOT --count-until FILE
//     counts the tree's rows again and again until FILE exists, then once
//     more, printing "rows N" or "error MESSAGE" for each read;
//   node duckdb_read.mjs NODE_MODULES_FOLDER - --view SQL_FILE
//     runs the file (which makes the view "ticks"), then prints the view's
//     column types on one line and its rows as text, comma-separated.
import { createRequire } from "node:module";
import { existsSync, readFileSync } from "node:fs";
import path from "node:path";

const [modules, root, mode, stopFile] = process.argv.slice(2);
const require = createRequire(path.join(modules, "node_modules", "x.js"));
const { DuckDBInstance } = require("@duckdb/node-api");

const instance = await DuckDBInstance.create(":memory:");
const connection = await instance.connect();
const files = path.join(root, "*", "*", "*.csv*").replaceAll("'", "''");
const tree = `read_csv('${files}', hive_partitioning = true, header = false,
                       columns = {'pair': 'VARCHAR', 'stamp': 'VARCHAR', 'bid': 'VARCHAR', 'ask': 'VARCHAR'})`;
if (mode === "--view") {
  await connection.run(readFileSync(stopFile, "utf8"));
  const columns = "pair, stamp, date, symbol, bid, ask".split(", ");
  const types = await connection.runAndReadAll(`SELECT ${columns.map((c) => `typeof(${c})`).join(", ")} FROM ticks LIMIT 1`);
  console.log(types.getRows()[0].join(","));
  const rows = await connection.runAndReadAll(`SELECT ${columns.map((c) => `CAST(${c} AS VARCHAR)`).join(", ")} FROM ticks`);
  for (const row of rows.getRows()) console.log(row.join(","));
} else if (mode === "--count-until") {
  for (let last = false; !last; ) {
    last = existsSync(stopFile);
    try {
      const reader = await connection.runAndReadAll(`SELECT count(*) FROM ${tree}`);
      console.log(`rows ${reader.getRows()[0][0]}`);
    } catch (e) {
      console.log(`error ${String(e.message).split("\n")[0]}`);
    }
  }
} else {
  const reader = await connection.runAndReadAll(
    `SELECT pair, stamp, bid, ask, symbol, CAST(date AS VARCHAR) AS date FROM ${tree}`);
  for (const row of reader.getRows()) console.log(row.join(","));
}

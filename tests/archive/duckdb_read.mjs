// Reads a folder tree of recordings the way the user guide shows, through
// DuckDB, and prints every row with the columns the folder names give, as
// "pair,stamp,bid,ask,symbol,date" lines, each file's in its order.
//   node duckdb_read.mjs NODE_MODULES_FOLDER TREE_ROOT
import { createRequire } from "node:module";
import path from "node:path";

const [modules, root] = process.argv.slice(2);
const require = createRequire(path.join(modules, "node_modules", "x.js"));
const { DuckDBInstance } = require("@duckdb/node-api");

const instance = await DuckDBInstance.create(":memory:");
const connection = await instance.connect();
const files = path.join(root, "*", "*", "*.csv*").replaceAll("'", "''");
const reader = await connection.runAndReadAll(
  `SELECT pair, stamp, bid, ask, symbol, CAST(date AS VARCHAR) AS date
     FROM read_csv('${files}', hive_partitioning = true, header = false,
                   columns = {'pair': 'VARCHAR', 'stamp': 'VARCHAR', 'bid': 'VARCHAR', 'ask': 'VARCHAR'})`);
for (const row of reader.getRows()) console.log(row.join(","));

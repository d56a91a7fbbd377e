#!/usr/bin/env python3
"""Reads the CMake target graph of Orvalda and fails, naming both ends, on a
link that runs against the layers.

    check_links.py --configure <cmake> <source root> <scratch folder>
    check_links.py <graph.dot>

--configure first configures the project in the scratch folder with
`cmake --graphviz`. Each layered library may link only the ones below it
(the libraries' optimised "_plain" copies count as the library):

    orvalda_gzip, orvalda_replaytable, orvalda_rowformat, orvalda_filename, orvalda_wintext -> (none of Orvalda's)
    orvalda_platform                      -> orvalda_gzip
    orvalda_win32, orvalda_memory, orvalda_native -> orvalda_platform, orvalda_gzip (orvalda_win32 also orvalda_wintext)
    orvalda_core                          -> orvalda_platform, orvalda_replaytable, orvalda_rowformat, orvalda_filename, orvalda_gzip
    orvalda_ui                            -> orvalda_core, orvalda_win32, and what they link
    orvalda (the program)                 -> orvalda_ui and everything below it
    orvalda_zone                          -> (none of Orvalda's)
    orvalda_recordings                    -> orvalda_rowformat, orvalda_gzip, orvalda_wintext
    orvalda_report                        -> orvalda_rowformat, orvalda_recordings and what it links
    orvalda_check                         -> orvalda_rowformat, orvalda_zone, orvalda_recordings, orvalda_report and what they link
    orvalda_compare                       -> the same as orvalda_check, never orvalda_check
    orvalda_export                        -> orvalda_rowformat, orvalda_filename, orvalda_zone, orvalda_recordings and what it links

Tests, benchmarks and tools may link anything and are not checked.
"""

import pathlib
import re
import subprocess
import sys

BELOW = {
    "orvalda_gzip": set(),
    "orvalda_platform": {"orvalda_gzip"},
    "orvalda_replaytable": set(),
    "orvalda_rowformat": set(),
    "orvalda_filename": set(),
    "orvalda_wintext": set(),
    "orvalda_win32": {"orvalda_platform", "orvalda_wintext", "orvalda_gzip"},
    "orvalda_memory": {"orvalda_platform", "orvalda_gzip"},
    "orvalda_native": {"orvalda_platform", "orvalda_gzip"},
    "orvalda_core": {"orvalda_platform", "orvalda_replaytable", "orvalda_rowformat", "orvalda_filename", "orvalda_gzip"},
    "orvalda_ui": {"orvalda_core", "orvalda_win32", "orvalda_wintext", "orvalda_platform", "orvalda_replaytable",
                   "orvalda_rowformat", "orvalda_filename", "orvalda_gzip"},
}
BELOW["orvalda"] = {"orvalda_ui"} | BELOW["orvalda_ui"]
BELOW["orvalda_zone"] = set()
BELOW["orvalda_recordings"] = {"orvalda_rowformat", "orvalda_gzip", "orvalda_wintext"}
BELOW["orvalda_report"] = {"orvalda_rowformat", "orvalda_recordings"} | BELOW["orvalda_recordings"]
BELOW["orvalda_check"] = ({"orvalda_rowformat", "orvalda_zone", "orvalda_recordings", "orvalda_report"} |
                          BELOW["orvalda_report"])
BELOW["orvalda_compare"] = BELOW["orvalda_check"]
BELOW["orvalda_export"] = ({"orvalda_rowformat", "orvalda_filename", "orvalda_zone", "orvalda_recordings"} |
                           BELOW["orvalda_recordings"])

NODE = re.compile(r'^\s*"(\w+)"\s*\[\s*label\s*=\s*"([^"]+)"')
EDGE = re.compile(r'^\s*"(\w+)"\s*->\s*"(\w+)"')


def library(name):
    return name[: -len("_plain")] if name.endswith("_plain") else name


def wrong_links(dot_text):
    labels, edges = {}, []
    for line in dot_text.splitlines():
        if m := EDGE.match(line):
            edges.append((m.group(1), m.group(2)))
        elif m := NODE.match(line):
            labels[m.group(1)] = m.group(2)
    wrong = []
    for source, target in edges:
        src, dst = library(labels.get(source, source)), library(labels.get(target, target))
        if src in BELOW and dst.startswith("orvalda") and dst != src and dst not in BELOW[src]:
            wrong.append(f"{src} -> {dst}")
    return sorted(set(wrong)), len(edges)


def main(argv):
    if len(argv) == 5 and argv[1] == "--configure":
        cmake, source, scratch = argv[2], argv[3], pathlib.Path(argv[4])
        scratch.mkdir(parents=True, exist_ok=True)
        dot = scratch / "targets.dot"
        run = subprocess.run([cmake, "-S", source, "-B", str(scratch), f"--graphviz={dot}",
                              "-DORVALDA_SANITIZE=OFF"], capture_output=True, text=True)
        if run.returncode != 0:
            print(run.stdout + run.stderr, file=sys.stderr)
            return 2
    elif len(argv) == 2:
        dot = pathlib.Path(argv[1])
    else:
        print(__doc__, file=sys.stderr)
        return 2
    wrong, count = wrong_links(dot.read_text(encoding="utf-8"))
    for link in wrong:
        print(f"{link}: a link against the layers")
    print(f"layering: {count} links, {len(wrong)} against the layers")
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

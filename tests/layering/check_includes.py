#!/usr/bin/env python3
"""Reads every #include of Orvalda's layered folders and fails, naming file and
line, on one that runs the wrong way or pulls in the window system where none
belongs.

    check_includes.py <source root> [--expect FILE]

With --expect, the flagged "file:line" places must be exactly those FILE
lists, one a line (the checker's own test on a tree of planted faults).

The parts, bottom up; each may include its own files and those of the parts
named after the arrow:

    gzip       gzip files, a day's compression      -> (none; zlib)
    platform   backend.h, toolkit, send_policy.h ...   -> gzip  (no window system)
    win32      platform/win32*: the Win32 backend   -> platform, gzip
    memory     platform/memory_backend*             -> platform, gzip
    core       the program's logic                  -> platform, gzip  (no window system)
    ui         the Win32 main window                -> core, platform, win32
    app        entry point and message loop         -> ui, core, platform, win32
    tools      feeder and tester probe              -> core/protocol.h, core/quote.h, core/option_reader.h, core/row_format.h,
                                                       platform/win32_text.h only
    zone       the rules of clocks, time zones      -> (none; the system's time-zone data)
    recordings reading recordings: lines, rows, files -> gzip, and core/row_format.h, platform/win32_text.h only
    report     the tools' pages: texts, charts      -> recordings, and core/row_format.h, platform/win32_text.h only
    check      orvalda-check                        -> recordings, report, zone, and core/option_reader.h, core/row_format.h only
    compare    orvalda-compare                      -> recordings, report, zone, and core/option_reader.h, core/row_format.h only
    export     orvalda-export                       -> recordings, zone, and core/option_reader.h, core/row_format.h only
                                                       (all three also platform/win32_text.h, export also
                                                       platform/win32_messages.h; none includes another)
    testkit    driving Windows programs from outside -> platform/win32.h (windows.h) only
    bench      the benchmarks                       -> any part but tests/ (what they share with
                                                       the tests is in testkit)

tests/ and data/ may include anything and are not read.

The parts that must build without any window system (platform's pure part,
the in-memory backend, core) may include, in angle brackets, only the C and
C++ standard headers, core also CLI11's <CLI/...> and gzip zlib's <zlib.h>:
anything else, a window-system header of any name included, fails by that rule.
"""

import pathlib
import re
import sys

CHECKED_FOLDERS = ("gzip", "platform", "core", "ui", "app", "tools", "zone", "recordings", "report", "check", "compare",
                   "export", "testkit", "bench")
PROJECT_FOLDERS = CHECKED_FOLDERS + ("tests", "data")
SOURCE_SUFFIXES = {".h", ".hpp", ".c", ".cc", ".cpp", ".inl", ".rc"}

ALLOWED = {
    "gzip": {"gzip"},
    "platform": {"platform", "gzip"},
    "win32": {"platform", "win32", "gzip"},
    "memory": {"platform", "memory", "gzip"},
    "core": {"core", "platform", "gzip"},
    "ui": {"ui", "core", "platform", "win32"},
    "app": {"app", "ui", "core", "platform", "win32"},
    "tools": {"tools"},
    "zone": {"zone"},
    "recordings": {"recordings", "gzip"},
    "report": {"report", "recordings"},
    "check": {"check", "recordings", "report", "zone"},
    "compare": {"compare", "recordings", "report", "zone"},
    "export": {"export", "recordings", "zone"},
    "testkit": {"testkit"},
}
ALLOWED["bench"] = set(ALLOWED) | {"bench", "data"}
# Single headers a part may include beyond its allowed parts.
# core/option_reader.h is header only (CLI11); core/row_format.h is its own
# library (orvalda_rowformat): the tools and orvalda-check link no more of core;
# so is core/file_name.h (orvalda_filename), a symbol's safe file name.
# The tools, orvalda-check, orvalda-compare, orvalda-export and the pages' library link platform/win32_text alone
# (orvalda_wintext: their command lines, file names and window texts as UTF-8).
# The export dialog's private messages are numbered in platform/win32_messages.h
# (header only), beside Orvalda's own.
ALLOWED_FILES = {"tools": {"core/protocol.h", "core/quote.h", "core/option_reader.h", "core/row_format.h",
                           "platform/win32_text.h"},
                 "recordings": {"core/row_format.h", "platform/win32_text.h"},
                 "report": {"core/row_format.h", "platform/win32_text.h"},
                 "check": {"core/option_reader.h", "core/row_format.h", "platform/win32_text.h"},
                 "compare": {"core/option_reader.h", "core/row_format.h", "platform/win32_text.h"},
                 "export": {"core/option_reader.h", "core/row_format.h", "core/file_name.h", "platform/win32_text.h",
                            "platform/win32_messages.h"},
                 "testkit": {"platform/win32.h"}}
# Parts that must build without any window system, and the libraries beyond
# the standard ones each may include.
NO_WINDOW_SYSTEM = {"gzip": ("zlib.h",), "platform": (), "memory": (), "core": ("CLI/",)}
STANDARD_HEADERS = set("""
    algorithm any array atomic barrier bit bitset cassert cctype cerrno cfenv cfloat charconv chrono
    cinttypes climits clocale cmath codecvt compare complex concepts condition_variable coroutine
    csetjmp csignal cstdarg cstddef cstdint cstdio cstdlib cstring ctime cuchar cwchar cwctype deque
    exception execution expected filesystem format forward_list fstream functional future
    initializer_list iomanip ios iosfwd iostream istream iterator latch limits list locale map memory
    memory_resource mutex new numbers numeric optional ostream queue random ranges ratio regex
    scoped_allocator semaphore set shared_mutex source_location span sstream stack stdexcept stop_token
    streambuf string string_view syncstream system_error thread tuple type_traits typeindex typeinfo
    unordered_map unordered_set utility valarray variant vector version
    assert.h ctype.h errno.h fenv.h float.h inttypes.h limits.h locale.h math.h setjmp.h signal.h
    stdarg.h stddef.h stdint.h stdio.h stdlib.h string.h time.h uchar.h wchar.h wctype.h
""".split())

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def part_of(path):
    """The part a source-root-relative path ("platform/win32.h") belongs to, or None."""
    folder, _, rest = path.partition("/")
    if folder not in PROJECT_FOLDERS or not rest:
        return None
    if folder == "platform":
        name = rest.rsplit("/", 1)[-1]
        if name.startswith("win32"):
            return "win32"
        if name.startswith("memory_backend"):
            return "memory"
    return folder


def wrong(part, bracket, target):
    """Why `part` may not include `target`, or None when it may."""
    if bracket == "<" and part in NO_WINDOW_SYSTEM and target.split("/", 1)[0] not in PROJECT_FOLDERS:
        if target in STANDARD_HEADERS or target.startswith(NO_WINDOW_SYSTEM[part]):
            return None
        return f"{part} must build without the window system, yet includes <{target}>, not a standard header"
    if bracket == "<" and target.split("/", 1)[0] not in PROJECT_FOLDERS:
        return None  # a system or library header
    target_part = part_of(target)
    if target_part is None:
        return f'"{target}" is not a path from the source root'
    if target_part in ALLOWED[part] or target in ALLOWED_FILES.get(part, ()):
        return None
    may = ", ".join(sorted(ALLOWED[part] | ALLOWED_FILES.get(part, set())))
    return f"{part} may not include {target}, a {target_part} file (it may include: {may})"


def main(argv):
    expect = None
    if len(argv) == 4 and argv[2] == "--expect":
        expect = set(pathlib.Path(argv[3]).read_text(encoding="utf-8").split())
    elif len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    root = pathlib.Path(argv[1])
    files = sorted(p for folder in CHECKED_FOLDERS if (root / folder).is_dir()
                   for p in (root / folder).rglob("*") if p.suffix in SOURCE_SUFFIXES)
    if not files:
        print(f"layering: no sources under {root}", file=sys.stderr)
        return 2
    includes = violations = 0
    flagged = set()
    for path in files:
        relative = path.relative_to(root).as_posix()
        part = part_of(relative)
        for number, line in enumerate(path.read_text(encoding="utf-8", errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            includes += 1
            why = wrong(part, match.group(1), match.group(2).strip())
            if why:
                violations += 1
                flagged.add(f"{relative}:{number}")
                print(f"{relative}:{number}: {why}")
    print(f"layering: {len(files)} files, {includes} includes, {violations} wrong-way includes")
    if expect is not None:
        for place in sorted(expect - flagged):
            print(f"{place}: a planted fault the check did not flag")
        for place in sorted(flagged - expect):
            print(f"{place}: flagged, yet not a planted fault")
        return 0 if flagged == expect else 1
    return 1 if violations else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

#!/usr/bin/env python3
"""Reads every #include of Orvalda's layered folders and fails, naming file and
line, on one that runs the wrong way or pulls in the window system where none
belongs.

    check_includes.py <source root>

The parts, bottom up; each may include its own files and those of the parts
named after the arrow:

    platform   backend.h, toolkit, send_policy.h ...   (no window system)
    win32      platform/win32*: the Win32 backend   -> platform
    memory     platform/memory_backend*             -> platform
    core       the recorder's logic                 -> platform  (no window system)
    ui         the Win32 main window                -> core, platform, win32
    app        entry point and message loop         -> ui, core, platform, win32
    tools      feeder and tester probe              -> core/protocol.h and core/option_reader.h only
    check      orvalda-check                        -> core/option_reader.h only

tests/, bench/ and data/ may include anything and are not read.
"""

import pathlib
import re
import sys

CHECKED_FOLDERS = ("platform", "core", "ui", "app", "tools", "check")
PROJECT_FOLDERS = CHECKED_FOLDERS + ("tests", "bench", "data")
SOURCE_SUFFIXES = {".h", ".hpp", ".c", ".cc", ".cpp", ".inl", ".rc"}

ALLOWED = {
    "platform": {"platform"},
    "win32": {"platform", "win32"},
    "memory": {"platform", "memory"},
    "core": {"core", "platform"},
    "ui": {"ui", "core", "platform", "win32"},
    "app": {"app", "ui", "core", "platform", "win32"},
    "tools": {"tools"},
    "check": {"check"},
}
# Single headers a part may include beyond its allowed parts.
# core/option_reader.h is header only (CLI11), so the tools and orvalda-check still link no core library.
ALLOWED_FILES = {"tools": {"core/protocol.h", "core/option_reader.h"}, "check": {"core/option_reader.h"}}
# Parts that must build without any window system.
NO_WINDOW_SYSTEM = {"platform", "memory", "core"}
WINDOW_SYSTEM_HEADERS = {
    "windows.h", "windowsx.h", "winuser.h", "wingdi.h", "winbase.h", "commctrl.h",
    "commdlg.h", "cderr.h", "mmsystem.h", "shellapi.h", "psapi.h", "objbase.h",
}

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
    if bracket == "<" and target.lower() in WINDOW_SYSTEM_HEADERS:
        if part in NO_WINDOW_SYSTEM:
            return f"{part} must build without the window system, yet includes <{target}>"
        return None
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
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    root = pathlib.Path(argv[1])
    files = sorted(p for folder in CHECKED_FOLDERS if (root / folder).is_dir()
                   for p in (root / folder).rglob("*") if p.suffix in SOURCE_SUFFIXES)
    if not files:
        print(f"layering: no sources under {root}", file=sys.stderr)
        return 2
    includes = violations = 0
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
                print(f"{relative}:{number}: {why}")
    print(f"layering: {len(files)} files, {includes} includes, {violations} wrong-way includes")
    return 1 if violations else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

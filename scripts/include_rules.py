#!/usr/bin/env python3
"""Which folder may include which, read from the #include lines of the tree.

    scripts/include_rules.py [ROOT]

Prints one line per broken rule and exits 1, or exits 0 when every rule holds:
  - the portable core (archive/, settings/, render/, playback/) includes nothing from a program's
    folder and no platform header; a file named *_win32.* may include Windows' system headers and
    one named *_posix.* POSIX ones (they carry a portable interface for every program), but no
    file of the core includes a display header (Direct3D, X11, GTK, Wayland, ...);
  - each program (windows/, linux/, vektool/) includes the core and its own folder, never another
    program's; the Linux player's two overlays (linux/x11/, linux/wayland/) never include each
    other, only what linux/ shares;
  - the CMake files of the core and of the programs name their sources: no globs, no filters.
"""

import re
import sys
from pathlib import Path

CORE = ("archive", "settings", "render", "playback")
PROGRAMS = ("windows", "linux", "vektool")
OVERLAYS = (("linux", "x11"), ("linux", "wayland"))  # back ends that meet only through linux/
SHARED_DATA = ("resources",)  # the dialog's ids, which both players and the core's form use
SOURCE_SUFFIXES = {".h", ".cpp", ".c", ".hpp"}

DISPLAY = re.compile(
    r"^(X11/|gtk/|gdk/|cairo|pango|glib|wayland-|xkbcommon/|EGL/|GL/|GLES|vulkan/|d3d|dxgi|dwm|"
    r"ddraw)")
WINDOWS = re.compile(
    r"^(windows|winbase|winuser|wingdi|winnt|winerror|windef|mmsystem|shellapi|shlobj|shlwapi|"
    r"commctrl|commdlg|objbase|ole2|combaseapi|wtsapi32|psapi|imm|process|io|direct|"
    r"mfapi|mferror|mfidl|mfreadwrite|mfobjects|propvarutil|versionhelpers|powrprof|"
    r"tlhelp32|dbghelp)\.h$", re.IGNORECASE)
POSIX = re.compile(
    r"^(unistd|fcntl|poll|pthread|spawn|dlfcn|dirent|termios|sched|semaphore|libgen|"
    r"sys/.*|arpa/.*|netinet/.*)\.h$")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def folder_of(path: Path, root: Path) -> str:
    return path.relative_to(root).parts[0]


def overlay_of(path: Path, root: Path):
    """The overlay folder (linux/x11 or linux/wayland) that holds `path`, else None."""
    try:
        parts = path.resolve().relative_to(root.resolve()).parts[:2]
    except ValueError:
        return None
    return parts if parts in OVERLAYS else None


def resolve(quoted: str, source: Path, root: Path):
    """A quoted include as the file it names: beside the source first, then from the root."""
    for base in (source.parent, root):
        candidate = (base / quoted).resolve()
        if candidate.is_file():
            return candidate
    return None


def check_source(source: Path, root: Path) -> list[str]:
    problems = []
    folder = folder_of(source, root)
    name = source.stem
    where = source.relative_to(root)
    for number, line in enumerate(source.read_text(encoding="utf-8", errors="replace").splitlines(),
                                  start=1):
        match = INCLUDE.match(line)
        if not match:
            continue
        kind, header = match.groups()
        at = f"{where}:{number}: "
        if kind == "<":
            if folder not in CORE:
                continue
            if DISPLAY.match(header):
                problems.append(f"{at}the portable core includes the display header <{header}>")
            elif WINDOWS.match(header) and not name.endswith("_win32"):
                problems.append(f"{at}<{header}> in the portable core outside a *_win32 file")
            elif POSIX.match(header) and not name.endswith("_posix"):
                problems.append(f"{at}<{header}> in the portable core outside a *_posix file")
            continue
        target = resolve(header, source, root)
        if target is None:
            if folder in CORE:
                problems.append(f'{at}"{header}" is not a file of the tree')
            continue
        try:
            target_folder = folder_of(target, root.resolve())
        except ValueError:
            problems.append(f'{at}"{header}" lies outside the tree')
            continue
        if folder in CORE and target_folder not in CORE + SHARED_DATA:
            problems.append(f'{at}the portable core includes "{header}" from {target_folder}/')
        elif folder in PROGRAMS and target_folder in PROGRAMS and target_folder != folder:
            problems.append(f'{at}{folder}/ includes "{header}" from another program, '
                            f'{target_folder}/')
        else:
            here, there = overlay_of(source, root), overlay_of(target, root.resolve())
            if here and there and here != there:
                problems.append(f'{at}{"/".join(here)}/ includes "{header}" from the other '
                                f'overlay, {"/".join(there)}/')
    return problems


def check_cmake(cmake: Path, root: Path) -> list[str]:
    problems = []
    for number, line in enumerate(cmake.read_text(encoding="utf-8").splitlines(), start=1):
        code = line.split("#", 1)[0]
        if re.search(r"\bfile\s*\(\s*GLOB", code) or re.search(r"\blist\s*\(\s*FILTER", code):
            problems.append(f"{cmake.relative_to(root)}:{number}: sources picked by a glob or a "
                            f"filter; name them")
    return problems


def check_tree(root: Path) -> list[str]:
    problems = []
    for folder in CORE + PROGRAMS:
        base = root / folder
        if not base.is_dir():
            problems.append(f"{folder}/ is missing")
            continue
        for path in sorted(base.rglob("*")):
            if path.suffix in SOURCE_SUFFIXES and path.is_file():
                problems += check_source(path, root)
            elif path.name == "CMakeLists.txt":
                problems += check_cmake(path, root)
    return problems


def main() -> int:
    root = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent)
    problems = check_tree(root)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

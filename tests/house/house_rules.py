#!/usr/bin/env python3
"""The house rules of the source tree, checked from its includes.

1. Windows headers stay in the win32 folders: outside src/platform/win32 and
   src/ui/win32 no file includes a Windows SDK header, directly or through a
   project header it includes.
2. Each layer knows only the ones below it: the core (src/device, src/report,
   src/format) includes nothing from the window model (src/ui), the program
   (src/app) or the console front end (src/cli); the console program
   (src/cli) includes nothing from the window model.
3. Every program's entry lives with its front end: nothing in src/platform
   defines main, wmain, WinMain or wWinMain.

Usage: house_rules.py [SRC_DIR]   (default: src beside this script's tests/)
Prints every breach and exits 1 when there is one.
"""
import pathlib
import re
import sys

WIN32_FOLDERS = ("platform/win32/", "ui/win32/")
WINDOWS_HEADERS = {
    "windows.h", "winioctl.h", "winbase.h", "winuser.h", "wingdi.h", "windef.h", "winnt.h", "winerror.h",
    "shellapi.h", "shlobj.h", "shlwapi.h", "commctrl.h", "objbase.h", "ole2.h", "uxtheme.h", "setupapi.h",
    "winternl.h", "ntddscsi.h", "ntdddisk.h", "nvme.h", "mmsystem.h", "dbt.h", "psapi.h", "windowsx.h",
    "cfgmgr32.h", "devguid.h", "initguid.h", "tlhelp32.h", "wtypes.h", "processthreadsapi.h",
}
# folder -> folders its files may not include from
FORBIDDEN = {
    "device": ("ui", "app", "cli"),
    "report": ("ui", "app", "cli"),
    "format": ("ui", "app", "cli"),
    "cli": ("ui",),
}
ENTRY = re.compile(r"^\s*int\s+(?:\w+\s+)?(?:w?main|w?WinMain)\s*\(", re.M)
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def includes(path):
    return INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace"))


def main():
    src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parents[2] / "src")
    files = {p.relative_to(src).as_posix(): p for p in src.rglob("*") if p.suffix in (".h", ".cpp", ".in")}
    direct = {name: includes(p) for name, p in files.items()}
    breaches = []

    def windows_through(name, seen):
        """The chain of project headers by which `name` reaches a Windows header, or None."""
        for kind, inc in direct.get(name, []):
            if kind == "<" and inc.lower() in WINDOWS_HEADERS:
                return [name, "<" + inc + ">"]
            if kind == '"' and inc in files and inc not in seen:
                seen.add(inc)
                chain = windows_through(inc, seen)
                if chain:
                    return [name] + chain
        return None

    for name in sorted(files):
        folder = name.split("/", 1)[0]
        if folder == "platform" and ENTRY.search(files[name].read_text(encoding="utf-8", errors="replace")):
            breaches.append(f"src/{name}: a program entry in src/platform")
        if name.startswith(WIN32_FOLDERS):
            continue
        chain = windows_through(name, {name})
        if chain:
            breaches.append(f"src/{name}: Windows header outside the win32 folders: " + " -> ".join(chain))
        for kind, inc in direct[name]:
            if kind == '"' and inc.split("/", 1)[0] in FORBIDDEN.get(folder, ()):
                breaches.append(f'src/{name}: src/{folder} includes "{inc}"')

    for b in breaches:
        print(b)
    print(f"house rules: {len(files)} files, {len(breaches)} breaches")
    return 1 if breaches else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Checks a built Windows program without running it: it imports only KnownDLLs
of the system (the toolchain's runtime is linked in), is a GUI program, and carries its manifest (with the
execution level asked for and common controls 6), its icon and its version
resource. With "xp" it also fails on imports Windows XP SP3 does not have.

The program runs elevated: Windows looks for a statically imported DLL that is
not a KnownDLL in the program's own folder first, so a DLL planted beside it
would run as administrator before any of its code. Other system DLLs (winmm,
uxtheme, setupapi, comctl32) are loaded at run time from the system folder.

usage: check_pe.py OBJDUMP PROGRAM.exe EXECUTION_LEVEL [xp] [console]

With "console" the program must be a console (CUI) program instead.
"""
import re
import struct
import subprocess
import sys

# KnownDLLs from Windows XP to 11 and the C runtime every one of them loads
# first. Not comctl32: although its version 6 comes from the side-by-side store,
# its own imports (uxtheme.dll) are looked for beside the program at start.
STATIC_IMPORTS_ALLOWED = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "ole32.dll", "oleaut32.dll",
    "advapi32.dll", "comdlg32.dll", "msvcrt.dll",
}
# Functions that came with Windows Vista or later and that toolchain runtimes
# (threads, clocks, files) import; a program importing one does not load on XP.
VISTA_AND_LATER = {
    "GetTickCount64", "InitializeConditionVariable", "SleepConditionVariableCS",
    "SleepConditionVariableSRW", "WakeConditionVariable", "WakeAllConditionVariable",
    "InitializeSRWLock", "AcquireSRWLockExclusive", "AcquireSRWLockShared",
    "ReleaseSRWLockExclusive", "ReleaseSRWLockShared", "TryAcquireSRWLockExclusive",
    "TryAcquireSRWLockShared", "InitOnceExecuteOnce", "InitOnceBeginInitialize",
    "InitOnceComplete", "InitOnceInitialize", "GetFileInformationByHandleEx",
    "SetFileInformationByHandle", "GetFinalPathNameByHandleW", "CreateSymbolicLinkW",
    "CreateEventExW", "CreateMutexExW", "CreateSemaphoreExW", "FlsAlloc", "FlsFree",
    "FlsGetValue", "FlsSetValue", "GetLocaleInfoEx", "LCMapStringEx", "CompareStringEx",
    "GetUserDefaultLocaleName", "LocaleNameToLCID", "QueryFullProcessImageNameW",
    "CancelIoEx", "GetQueuedCompletionStatusEx", "SetThreadErrorMode", "GetErrorMode",
    "RaiseFailFastException", "GetSystemTimePreciseAsFileTime", "GetCurrentProcessorNumberEx",
    "CreateThreadpoolWork", "SubmitThreadpoolWork", "CreateThreadpoolTimer", "SetDefaultDllDirectories",
    "AddDllDirectory", "SetProcessDPIAware", "SHGetKnownFolderPath", "TaskDialog", "TaskDialogIndirect",
    "SetProcessInformation", "GetDpiForWindow", "AdjustWindowRectExForDpi", "SystemParametersInfoForDpi",
}
RT_ICON_GROUP, RT_VERSION, RT_MANIFEST = 14, 16, 24


def resources(data):
    """{(type, name): bytes} of the first language of every resource."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    rsrc_rva, rsrc_size = struct.unpack_from("<II", data, directories + 2 * 8)
    if not rsrc_rva:
        return {}
    table = optional + optional_size
    spans = []
    for i in range(sections):
        vsize, va, rawsize, raw = struct.unpack_from("<IIII", data, table + 40 * i + 8)
        spans.append((va, max(vsize, rawsize), raw))

    def offset(rva):
        for va, size, raw in spans:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError("RVA %#x outside the sections" % rva)

    base = offset(rsrc_rva)

    def entries(at):
        named, ids = struct.unpack_from("<12xHH", data, base + at)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", data, base + at + 16 + 8 * i)
            yield name, target

    found = {}
    for type_id, type_dir in entries(0):
        for name_id, name_dir in entries(type_dir & 0x7FFFFFFF):
            for _, leaf in entries(name_dir & 0x7FFFFFFF):
                rva, size = struct.unpack_from("<II", data, base + leaf)
                found[(type_id, name_id)] = data[offset(rva):offset(rva) + size]
                break
    return found


def imported_functions(dump):
    """{dll: [function names]} from the import tables objdump prints."""
    found, dll = {}, None
    for line in dump.splitlines():
        named = re.match(r"\s*DLL Name:\s*(\S+)", line)
        if named:
            dll = named.group(1).lower()
            found.setdefault(dll, [])
            continue
        entry = re.match(r"\s+[0-9a-fA-F]+\s+\d+\s+(\S+)\s*$", line)
        if dll and entry:
            found[dll].append(entry.group(1))
        elif line and not line[0].isspace():
            dll = None  # a new part of the dump
    return found


def main():
    objdump, program, level = sys.argv[1:4]
    for_xp = "xp" in sys.argv[4:]
    console = "console" in sys.argv[4:]
    problems = []
    dump = subprocess.run([objdump, "-p", program], check=True, capture_output=True, text=True).stdout
    dlls = sorted({m.lower() for m in re.findall(r"DLL Name:\s*(\S+)", dump)})
    foreign = [d for d in dlls if d not in STATIC_IMPORTS_ALLOWED]
    if foreign:
        problems.append("imports DLLs that are not KnownDLLs (a copy beside the program would load): " +
                        ", ".join(foreign))
    if for_xp:
        newer = sorted({"%s!%s" % (dll, name) for dll, names in imported_functions(dump).items()
                        for name in names if name in VISTA_AND_LATER})
        if newer:
            problems.append("imports what Windows XP lacks: " + ", ".join(newer))
    if console and not re.search(r"Subsystem\s+0*3\s", dump):
        problems.append("not a console (CUI subsystem) program")
    elif not console and not re.search(r"Subsystem\s+0*2\s", dump):
        problems.append("not a GUI (windows subsystem) program")

    with open(program, "rb") as f:
        res = resources(f.read())
    manifest = res.get((RT_MANIFEST, 1), b"").decode("utf-8", "replace")
    if not manifest:
        problems.append("no manifest resource (RT_MANIFEST 1)")
    else:
        for want in ('level="%s"' % level, 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"', "dpiAware"):
            if not re.search(re.escape(want).replace(r"\ ", r"\s+"), manifest):
                problems.append("manifest lacks " + want)
    if not any(t == RT_ICON_GROUP for t, _ in res):
        problems.append("no icon")
    version = res.get((RT_VERSION, 1), b"")
    if "4.12".encode("utf-16-le") not in version:
        problems.append("no version resource for 4.12")

    print("%s imports: %s" % (program, ", ".join(dlls)))
    for p in problems:
        print("FAIL: " + p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

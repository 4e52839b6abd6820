#!/usr/bin/env python3
"""Checks a built Windows program without running it: it imports only KnownDLLs
of the system (the toolchain's runtime is linked in), is a GUI program, and carries its manifest (with the
execution level asked for, common controls 6 and the program's own processor),
its icon and its version resource.

The oldest Windows a build targets is named by "xp" (the i686 build: an i386
program whose header asks for Windows 5.01, importing nothing Windows XP SP3
lacks) or "win7" (the x86_64 build: an AMD64 program whose header asks for
6.01, importing nothing Windows 7 SP1 lacks).

The program runs elevated: Windows looks for a statically imported DLL that is
not a KnownDLL in the program's own folder first, so a DLL planted beside it
would run as administrator before any of its code. Other system DLLs (winmm,
uxtheme, setupapi, comctl32) are loaded at run time from the system folder.

usage: check_pe.py OBJDUMP PROGRAM.exe EXECUTION_LEVEL [xp|win7] [console]

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
# Functions that came with Windows 8 or later (or, on 7, only with an update) and
# that toolchain runtimes or careless code import; a 64-bit program importing
# one does not load on Windows 7. The program looks up what it uses of these at
# run time.
WIN8_AND_LATER = {
    "GetSystemTimePreciseAsFileTime", "CreateFile2", "CopyFile2", "GetCurrentThreadStackLimits",
    "WaitOnAddress", "WakeByAddressSingle", "WakeByAddressAll", "PrefetchVirtualMemory",
    "GetOverlappedResultEx", "SetThreadDescription", "GetThreadDescription", "SetProcessInformation",
    "GetProcessInformation", "SetThreadInformation", "SetDefaultDllDirectories", "AddDllDirectory",
    "RemoveDllDirectory", "GetDpiForWindow", "GetDpiForSystem", "AdjustWindowRectExForDpi",
    "SystemParametersInfoForDpi", "SetProcessDpiAwarenessContext", "SetThreadDpiAwarenessContext",
    "GetSystemMetricsForDpi", "EnableNonClientDpiScaling", "CreateFileMappingFromApp",
    "MapViewOfFileFromApp", "VirtualAllocFromApp", "GetPackageFamilyName", "GetCurrentPackageId",
    "AppPolicyGetProcessTerminationMethod", "DiscardVirtualMemory", "OfferVirtualMemory",
    "GetSystemFirmwareTable", "QueryInterruptTime", "QueryUnbiasedInterruptTimePrecise",
}
# What each target build must be: PE machine, the version its header states
# (subsystem and OS), the manifest's processorArchitecture, imports it must not have.
TARGETS = {
    "xp": (0x014C, (5, 1), "x86", VISTA_AND_LATER, "Windows XP"),
    "win7": (0x8664, (6, 1), "amd64", WIN8_AND_LATER, "Windows 7"),
}
RT_ICON_GROUP, RT_VERSION, RT_MANIFEST = 14, 16, 24


def header(data):
    """(machine, (subsystem major, minor), (os major, minor)) from the PE headers."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    machine = struct.unpack_from("<H", data, pe + 4)[0]
    optional = pe + 24  # PE32 and PE32+ keep these fields at the same offsets
    os_version = struct.unpack_from("<HH", data, optional + 40)
    subsystem_version = struct.unpack_from("<HH", data, optional + 48)
    return machine, subsystem_version, os_version


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


# A console program that loads user32 (or gdi32) gets no CTRL_LOGOFF_EVENT or
# CTRL_SHUTDOWN_EVENT: it hears log-off and shutdown only through a top-level
# window of its own. Where the console program imports user32, it must make that
# window and serve it, and look up ShutdownBlockReasonCreate (Vista) at run time.
SESSION_WINDOW_CALLS = {"RegisterClassW", "CreateWindowExW", "GetMessageW", "DispatchMessageW", "DefWindowProcW"}

def session_end_problems(functions, data):
    user32 = {name for dll, names in functions.items() if dll.lower() in ("user32.dll", "gdi32.dll") for name in names}
    if not user32:
        return []
    problems = []
    missing = sorted(SESSION_WINDOW_CALLS - user32)
    if missing:
        problems.append("imports user32 but has no window to hear log-off and shutdown (lacks %s)" % ", ".join(missing))
    if "ShutdownBlockReasonCreate" in user32:
        problems.append("imports ShutdownBlockReasonCreate, which Windows XP lacks: look it up at run time")
    elif b"ShutdownBlockReasonCreate\0" not in data:
        problems.append("never looks up ShutdownBlockReasonCreate: a log-off during an erase is not refused with a reason")
    return problems

def main():
    objdump, program, level = sys.argv[1:4]
    target = next((t for t in sys.argv[4:] if t in TARGETS), None)
    console = "console" in sys.argv[4:]
    problems = []
    dump = subprocess.run([objdump, "-p", program], check=True, capture_output=True, text=True).stdout
    dlls = sorted({m.lower() for m in re.findall(r"DLL Name:\s*(\S+)", dump)})
    foreign = [d for d in dlls if d not in STATIC_IMPORTS_ALLOWED]
    if foreign:
        problems.append("imports DLLs that are not KnownDLLs (a copy beside the program would load): " +
                        ", ".join(foreign))
    with open(program, "rb") as f:
        data = f.read()
    machine, subsystem_version, os_version = header(data)
    manifest_arch = None
    if target:
        want_machine, want_version, manifest_arch, too_new, oldest = TARGETS[target]
        if machine != want_machine:
            problems.append("PE machine %#06x, not %#06x" % (machine, want_machine))
        for what, version in (("subsystem", subsystem_version), ("OS", os_version)):
            if version != want_version:
                problems.append("%s version %d.%02d in the header, not %d.%02d (%s)" %
                                (what, *version, *want_version, oldest))
        newer = sorted({"%s!%s" % (dll, name) for dll, names in imported_functions(dump).items()
                        for name in names if name in too_new})
        if newer:
            problems.append("imports what %s lacks: %s" % (oldest, ", ".join(newer)))
    if console:
        problems += session_end_problems(imported_functions(dump), data)
    if console and not re.search(r"Subsystem\s+0*3\s", dump):
        problems.append("not a console (CUI subsystem) program")
    elif not console and not re.search(r"Subsystem\s+0*2\s", dump):
        problems.append("not a GUI (windows subsystem) program")

    res = resources(data)
    manifest = res.get((RT_MANIFEST, 1), b"").decode("utf-8", "replace")
    if not manifest:
        problems.append("no manifest resource (RT_MANIFEST 1)")
    else:
        wants = ['level="%s"' % level, 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"', "dpiAware"]
        if manifest_arch:
            wants.append('version="4.12.0.0" processorArchitecture="%s"' % manifest_arch)
        for want in wants:
            if not re.search(re.escape(want).replace(r"\ ", r"\s+"), manifest):
                problems.append("manifest lacks " + want)
    if not any(t == RT_ICON_GROUP for t, _ in res):
        problems.append("no icon")
    version = res.get((RT_VERSION, 1), b"")
    if "4.12".encode("utf-16-le") not in version:
        problems.append("no version resource for 4.12")

    print("%s: machine %#06x, subsystem %d.%02d, imports: %s" % (program, machine, *subsystem_version, ", ".join(dlls)))
    for p in problems:
        print("FAIL: " + p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

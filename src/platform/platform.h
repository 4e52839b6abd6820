// The program's one seam to the operating system: Windows operations with their
// Windows meanings. Records cross it as raw bytes, built and parsed by the
// program itself. Backends: win32 (the real calls) and sim (a simulated PC).
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace trv::win {

// LPTIMECALLBACK without the calling convention; the backends adapt it.
using TimerCallback = void (*)(std::uint32_t timerId, std::uint32_t message, std::uintptr_t user,
                               std::uintptr_t reserved1, std::uintptr_t reserved2);

class Platform {
 public:
  virtual ~Platform() = default;

  // --- kernel32: files and devices -------------------------------------------------
  virtual Handle CreateFileW(std::u16string_view path, std::uint32_t desiredAccess, std::uint32_t shareMode,
                             std::uint32_t creationDisposition, std::uint32_t flags) = 0;
  virtual bool CloseHandle(Handle handle) = 0;
  // Sends a control code; `returned` receives the bytes written to `out`.
  virtual bool DeviceIoControl(Handle handle, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                               std::uint32_t outSize, std::uint32_t* returned) = 0;
  virtual bool SetFilePointerEx(Handle handle, std::int64_t distance, std::int64_t* newPosition,
                                std::uint32_t moveMethod) = 0;
  virtual bool WriteFile(Handle handle, const void* data, std::uint32_t size, std::uint32_t* written) = 0;
  virtual bool ReadFile(Handle handle, void* data, std::uint32_t size, std::uint32_t* read) = 0;
  virtual bool FlushFileBuffers(Handle handle) = 0;
  // CancelSynchronousIo (Vista and later, looked up at run time): the request
  // `thread` waits on fails with ERROR_OPERATION_ABORTED. Fails with
  // ERROR_NOT_FOUND when that thread waits on none, and with
  // ERROR_PROC_NOT_FOUND where the system has no such call (Windows XP).
  virtual bool CancelSynchronousIo(Handle thread) = 0;
  virtual bool CreateDirectoryW(std::u16string_view path) = 0;
  virtual bool DeleteFileW(std::u16string_view path) = 0;
  // GetFullPathNameW: the absolute form of `path` (from the current folder,
  // "." and ".." resolved); empty, with the last error set, when it fails.
  virtual std::u16string GetFullPathNameW(std::u16string_view path) = 0;
  // GetVolumePathNameW: the root of the volume that holds `path` (C:\ for
  // C:\Records, \\server\share\ for a share, a mount point's folder); empty, with the last error set, on failure.
  virtual std::u16string GetVolumePathNameW(std::u16string_view path) = 0;
  virtual std::uint32_t GetLastError() = 0;
  // FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM) without the trailing line break.
  virtual std::u16string SystemMessage(std::uint32_t code) = 0;
  // Fills `buffer` with NUL-separated drive roots; returns the length as Windows does.
  virtual std::uint32_t GetLogicalDriveStringsW(std::uint32_t bufferLength, char16_t* buffer) = 0;
  // The volume search: each call puts one volume GUID path ("\\?\Volume{...}\")
  // into `buffer` (`bufferLength` characters with the NUL). FindFirstVolumeW
  // returns the search handle (kInvalidHandle on failure); FindNextVolumeW fails
  // with ERROR_NO_MORE_FILES after the last volume.
  virtual Handle FindFirstVolumeW(char16_t* buffer, std::uint32_t bufferLength) = 0;
  virtual bool FindNextVolumeW(Handle find, char16_t* buffer, std::uint32_t bufferLength) = 0;
  virtual bool FindVolumeClose(Handle find) = 0;
  // The drive roots and mount folders of a volume given by its GUID path, each
  // NUL-terminated, then one more NUL. `returnLength` receives the characters
  // written, or needed when the call fails with ERROR_MORE_DATA.
  virtual bool GetVolumePathNamesForVolumeNameW(std::u16string_view volumeName, char16_t* buffer,
                                                std::uint32_t bufferLength, std::uint32_t* returnLength) = 0;
  // The system folder ("C:\Windows\system32"): its length, or the size needed
  // (with the NUL) when `size` is too small, or 0 on failure.
  virtual std::uint32_t GetSystemDirectoryW(char16_t* buffer, std::uint32_t size) = 0;
  // RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey, KEY_QUERY_VALUE), RegQueryValueExW
  // of `valueName` into `data` (`*dataSize` bytes; the size written or needed
  // comes back there), RegCloseKey. Returns the registry's error code (0: done,
  // 2: no such key or value, ERROR_MORE_DATA: `data` too small).
  virtual std::uint32_t RegQueryLocalMachineValueW(std::u16string_view subKey, std::u16string_view valueName,
                                                   std::uint32_t* type, std::uint8_t* data,
                                                   std::uint32_t* dataSize) = 0;
  // RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey, KEY_QUERY_VALUE), then RegCloseKey:
  // the registry's error code (0: the key exists; 2: it does not).
  virtual std::uint32_t RegOpenLocalMachineKeyW(std::u16string_view subKey) = 0;

  // --- the records folder's guard: owners, access lists, links, final paths, I/O memory ---
  // GetFileAttributesW: a file's or folder's own attributes (a junction's, not
  // its target's); INVALID_FILE_ATTRIBUTES, with the last error set, on failure.
  virtual std::uint32_t GetFileAttributesW(std::u16string_view path) = 0;
  // GetNamedSecurityInfoW(SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION), the owner
  // as ConvertSidToStringSidW writes it ("S-1-5-18"); empty, with the last error set, on failure.
  virtual std::u16string GetFileOwnerSid(std::u16string_view path) = 0;
  // CreateDirectoryW with the security descriptor that
  // ConvertStringSecurityDescriptorToSecurityDescriptorW (SDDL_REVISION_1)
  // makes of `sddl`: the new folder gets exactly that access list.
  virtual bool CreateDirectoryWithAccessW(std::u16string_view path, std::u16string_view sddl) = 0;
  // GetFinalPathNameByHandleW (Vista and later, looked up at run time) of a
  // handle opened with FILE_FLAG_BACKUP_SEMANTICS, with VOLUME_NAME_GUID or
  // VOLUME_NAME_DOS: the path after every junction, link and SUBST drive. Empty,
  // with the last error set, on failure; ERROR_PROC_NOT_FOUND where the system
  // has no such call (Windows XP).
  virtual std::u16string GetFinalPathNameByHandleW(Handle handle, std::uint32_t flags) = 0;
  // QueryDosDeviceW of a drive ("S:"): its first target, "\??\E:\Data" for a
  // SUBST drive, "\Device\HarddiskVolume2" for a volume; empty, with the last error set, on failure.
  virtual std::u16string QueryDosDeviceW(std::u16string_view deviceName) = 0;
  // VirtualAlloc(MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE): page-aligned memory,
  // zero-filled; nullptr, with the last error set, on failure. VirtualFree(MEM_RELEASE) gives it back.
  virtual void* VirtualAlloc(std::size_t size) = 0;
  virtual bool VirtualFree(void* memory) = 0;

  // --- kernel32 and winmm: time -----------------------------------------------------
  virtual bool QueryPerformanceFrequency(std::int64_t* frequency) = 0;
  virtual bool QueryPerformanceCounter(std::int64_t* counter) = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  // Periodic multimedia timer; returns 0 on failure.
  virtual std::uint32_t timeSetEvent(std::uint32_t delay, std::uint32_t resolution, TimerCallback callback,
                                     std::uintptr_t user, std::uint32_t flags) = 0;
  virtual std::uint32_t timeKillEvent(std::uint32_t timerId) = 0;
  // Local wall-clock date and time in whole milliseconds (days since 1899-12-30
  // times 86,400,000, rounded). Only differences are meaningful.
  virtual std::int64_t WallClockMilliseconds() = 0;
  // The locale's short date, a blank and the long time; the date alone at midnight.
  virtual std::u16string DateTimeText() = 0;
  // GetLocalTime and GetSystemTime (UTC): a SYSTEMTIME record, byte by byte
  // (rec::kSystemTime... offsets).
  virtual void GetLocalTime(std::span<std::uint8_t, 16> systemTime) = 0;
  virtual void GetSystemTime(std::span<std::uint8_t, 16> systemTime) = 0;
  virtual char16_t DecimalSeparator() = 0;

  // --- system, modules and processes ------------------------------------------------
  // GetVersionExW on an OSVERSIONINFOW whose first field holds its size.
  virtual bool GetVersionExW(std::span<std::uint8_t> info) = 0;
  // RtlGetVersion of ntdll (looked up at run time) on an RTL_OSVERSIONINFOW
  // (the same layout) whose first field holds its size: the true version,
  // never the one the compatibility layer shows. False when the call is
  // missing or does not answer STATUS_SUCCESS.
  virtual bool RtlGetVersion(std::span<std::uint8_t> info) = 0;
  virtual std::u16string GetModuleFileNameW() = 0;  // full path of the program file
  virtual Module GetModuleHandleW(std::u16string_view name) = 0;
  virtual ProcAddress GetProcAddress(Module module, std::string_view name) = 0;
  // A bare file name is looked for in the system folder only, never beside the program.
  virtual Module LoadLibraryW(std::u16string_view name) = 0;
  virtual bool FreeLibrary(Module module) = 0;
  virtual Handle GetCurrentProcess() = 0;
  // Calls IsWow64Process through the entry point found with GetProcAddress.
  virtual bool CallIsWow64Process(ProcAddress entry, Handle process, std::int32_t* wow64) = 0;
  // SHGetFolderPathW(CSIDL_LOCAL_APPDATA), without a trailing backslash.
  virtual std::u16string LocalAppDataFolder() = 0;
  // SHGetFolderPathW(CSIDL_COMMON_APPDATA) (%ProgramData%), without a trailing backslash.
  virtual std::u16string CommonAppDataFolder() = 0;
  // Whether the process runs as the LocalSystem account (a service, a management
  // agent, a task scheduled as SYSTEM): its token's user is S-1-5-18.
  virtual bool IsLocalSystem() = 0;
  // RtlGenRandom (SystemFunction036 of advapi32, Windows XP and later): fills
  // `data` from the system's random source; false when the call fails.
  virtual bool GenRandom(std::span<std::uint8_t> data) = 0;
  // The computer's NetBIOS name (GetComputerNameW); empty when the call fails.
  virtual std::u16string GetComputerNameW() = 0;
  // SetThreadExecutionState: ES_CONTINUOUS with ES_SYSTEM_REQUIRED keeps the
  // computer from sleeping until ES_CONTINUOUS alone lets it; the previous
  // state, 0 when the call fails.
  virtual std::uint32_t SetThreadExecutionState(std::uint32_t flags) = 0;
  // SetErrorMode: the previous mode.
  virtual std::uint32_t SetErrorMode(std::uint32_t mode) = 0;
  // Whether the process runs with an administrator's full rights (IsUserAnAdmin:
  // under UAC only an elevated token counts).
  virtual bool IsUserAnAdmin() = 0;
  // Calls SetProcessInformation through the entry point found with GetProcAddress;
  // `info` is the record of the information class, byte by byte.
  virtual bool CallSetProcessInformation(ProcAddress entry, Handle process, std::uint32_t infoClass,
                                         std::span<const std::uint8_t> info) = 0;
  // MultiByteToWideChar(codePage, 0, ...) on the whole of `bytes` (CP_ACP: the
  // system's ANSI code page); a zero byte becomes a zero character. Empty, with
  // the last error set, for a code page the system does not know.
  virtual std::u16string MultiByteToWideChar(std::uint32_t codePage, std::span<const std::uint8_t> bytes) = 0;

  // --- user32, gdi32, shell32 -------------------------------------------------------
  virtual bool SystemParametersInfoW(std::uint32_t action, std::uint32_t param, void* data, std::uint32_t winIni) = 0;
  virtual std::uintptr_t CreateFontIndirectW(std::span<const std::uint8_t, 92> logFont) = 0;
  virtual std::uintptr_t GetStockObject(int object) = 0;
  virtual bool DeleteObject(std::uintptr_t object) = 0;
  virtual std::uintptr_t LoadCursorW(int cursorId) = 0;
  // Whether a screen font family of this name is installed.
  virtual bool IsFontInstalled(std::u16string_view face) = 0;
  virtual std::uintptr_t ShellExecuteW(WindowHandle owner, std::u16string_view verb, std::u16string_view file,
                                       std::u16string_view parameters, std::u16string_view directory,
                                       int showCommand) = 0;
};

// No system box asking to insert a disk or saying a drive is not ready: the
// program reports every failed request itself, and a box nobody answers
// would hold an erase (or a script) for good.
inline void FailCriticalErrorsQuietly(Platform& platform) {
  platform.SetErrorMode(platform.SetErrorMode(SEM_FAILCRITICALERRORS) | SEM_FAILCRITICALERRORS);
}

} // namespace trv::win

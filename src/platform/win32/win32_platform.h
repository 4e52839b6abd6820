// The real Windows behind the platform seam: every method is one system call
// (or the few lines that adapt its arguments).
#pragma once
#include <cstdint>
#include <map>
#include <memory>

#include "platform/platform.h"

namespace trv::win32 {

class Win32Platform : public win::Platform {
 public:
  Win32Platform();
  ~Win32Platform() override;

  win::Handle CreateFileW(std::u16string_view path, std::uint32_t desiredAccess, std::uint32_t shareMode,
                          std::uint32_t creationDisposition, std::uint32_t flags) override;
  bool CloseHandle(win::Handle handle) override;
  bool DeviceIoControl(win::Handle handle, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                       std::uint32_t outSize, std::uint32_t* returned) override;
  bool SetFilePointerEx(win::Handle handle, std::int64_t distance, std::int64_t* newPosition,
                        std::uint32_t moveMethod) override;
  bool WriteFile(win::Handle handle, const void* data, std::uint32_t size, std::uint32_t* written) override;
  bool ReadFile(win::Handle handle, void* data, std::uint32_t size, std::uint32_t* read) override;
  bool FlushFileBuffers(win::Handle handle) override;
  bool CreateDirectoryW(std::u16string_view path) override;
  bool DeleteFileW(std::u16string_view path) override;
  std::u16string GetFullPathNameW(std::u16string_view path) override;
  std::u16string GetVolumePathNameW(std::u16string_view path) override;
  std::uint32_t GetLastError() override;
  std::u16string SystemMessage(std::uint32_t code) override;
  std::uint32_t GetLogicalDriveStringsW(std::uint32_t bufferLength, char16_t* buffer) override;
  win::Handle FindFirstVolumeW(char16_t* buffer, std::uint32_t bufferLength) override;
  bool FindNextVolumeW(win::Handle find, char16_t* buffer, std::uint32_t bufferLength) override;
  bool FindVolumeClose(win::Handle find) override;
  bool GetVolumePathNamesForVolumeNameW(std::u16string_view volumeName, char16_t* buffer, std::uint32_t bufferLength,
                                        std::uint32_t* returnLength) override;
  std::uint32_t GetSystemDirectoryW(char16_t* buffer, std::uint32_t size) override;
  std::uint32_t RegQueryLocalMachineValueW(std::u16string_view subKey, std::u16string_view valueName,
                                           std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) override;
  std::uint32_t RegOpenLocalMachineKeyW(std::u16string_view subKey) override;
  // In win32_platform_security.cpp.
  std::uint32_t GetFileAttributesW(std::u16string_view path) override;
  std::u16string GetFileOwnerSid(std::u16string_view path) override;
  bool CreateDirectoryWithAccessW(std::u16string_view path, std::u16string_view sddl) override;
  std::u16string GetFinalPathNameByHandleW(win::Handle handle, std::uint32_t flags) override;
  std::u16string QueryDosDeviceW(std::u16string_view deviceName) override;
  void* VirtualAlloc(std::size_t size) override;
  bool VirtualFree(void* memory) override;

  bool QueryPerformanceFrequency(std::int64_t* frequency) override;
  bool QueryPerformanceCounter(std::int64_t* counter) override;
  void Sleep(std::uint32_t milliseconds) override;
  std::uint32_t timeSetEvent(std::uint32_t delay, std::uint32_t resolution, win::TimerCallback callback,
                             std::uintptr_t user, std::uint32_t flags) override;
  std::uint32_t timeKillEvent(std::uint32_t timerId) override;
  std::int64_t WallClockMilliseconds() override;
  std::u16string DateTimeText() override;
  void GetLocalTime(std::span<std::uint8_t, 16> systemTime) override;
  void GetSystemTime(std::span<std::uint8_t, 16> systemTime) override;
  char16_t DecimalSeparator() override;

  bool GetVersionExW(std::span<std::uint8_t> info) override;
  bool RtlGetVersion(std::span<std::uint8_t> info) override;
  std::u16string GetModuleFileNameW() override;
  win::Module GetModuleHandleW(std::u16string_view name) override;
  win::ProcAddress GetProcAddress(win::Module module, std::string_view name) override;
  win::Module LoadLibraryW(std::u16string_view name) override;
  bool FreeLibrary(win::Module module) override;
  win::Handle GetCurrentProcess() override;
  bool CallIsWow64Process(win::ProcAddress entry, win::Handle process, std::int32_t* wow64) override;
  std::u16string LocalAppDataFolder() override;
  std::u16string CommonAppDataFolder() override;
  bool IsLocalSystem() override;
  bool GenRandom(std::span<std::uint8_t> data) override;
  std::u16string GetComputerNameW() override;
  bool IsUserAnAdmin() override;
  std::uint32_t SetThreadExecutionState(std::uint32_t flags) override;
  bool CancelSynchronousIo(win::Handle thread) override;
  std::uint32_t SetErrorMode(std::uint32_t mode) override;
  bool CallSetProcessInformation(win::ProcAddress entry, win::Handle process, std::uint32_t infoClass,
                                 std::span<const std::uint8_t> info) override;
  std::u16string MultiByteToWideChar(std::uint32_t codePage, std::span<const std::uint8_t> bytes) override;

  // SPI_GETICONTITLELOGFONT answers with the font's height at 96 dpi, the unit of
  // the core's fonts (the program is dpi aware, so the system's answer is in
  // screen pixels); other actions pass through unchanged.
  bool SystemParametersInfoW(std::uint32_t action, std::uint32_t param, void* data, std::uint32_t winIni) override;
  std::uintptr_t CreateFontIndirectW(std::span<const std::uint8_t, 92> logFont) override;
  std::uintptr_t GetStockObject(int object) override;
  bool DeleteObject(std::uintptr_t object) override;
  std::uintptr_t LoadCursorW(int cursorId) override;
  bool IsFontInstalled(std::u16string_view face) override;
  std::uintptr_t ShellExecuteW(win::WindowHandle owner, std::u16string_view verb, std::u16string_view file,
                               std::u16string_view parameters, std::u16string_view directory,
                               int showCommand) override;

  // What the timer trampoline hands to the program's callback.
  struct TimerBinding {
    win::TimerCallback callback;
    std::uintptr_t user;
  };

 private:
  // The multimedia timer calls of winmm.dll, loaded at run time on first use.
  struct WinMm;
  const WinMm& MultimediaTimers();
  std::unique_ptr<WinMm> winmm_;

  // The binding of each live timer, by timer id. Timers are made with
  // TIME_KILL_SYNCHRONOUS: once timeKillEvent returns no tick runs any more, so
  // the binding goes with the timer. Only the program's thread touches the map
  // (the timer thread reads just its own binding), so it needs no lock.
  std::map<std::uint32_t, std::unique_ptr<TimerBinding>> timers_;
};

} // namespace trv::win32

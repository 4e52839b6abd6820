// The platform seam shared by two threads: every call is made under one lock,
// so that a backend written for one thread (the simulated PC) can serve the
// window thread and the worker that writes the disk. A request that waits on
// its own (a hanging write) gives the lock up while it waits
// (`CallLock::Leave`, then `Enter`).
#pragma once
#include "platform/platform.h"

namespace trv::win {

// A lock the caller may hold more than once on one thread (a critical section).
class CallLock {
 public:
  virtual ~CallLock() = default;
  virtual void Enter() = 0;
  virtual void Leave() = 0;
};

class LockedPlatform : public Platform {
 public:
  LockedPlatform(Platform& inner, CallLock& lock) : inner_(inner), lock_(lock) {}

  Handle CreateFileW(std::u16string_view path, std::uint32_t desiredAccess, std::uint32_t shareMode, std::uint32_t creationDisposition, std::uint32_t flags) override;
  bool CloseHandle(Handle handle) override;
  bool DeviceIoControl(Handle handle, std::uint32_t code, const void* in, std::uint32_t inSize, void* out, std::uint32_t outSize, std::uint32_t* returned) override;
  bool SetFilePointerEx(Handle handle, std::int64_t distance, std::int64_t* newPosition, std::uint32_t moveMethod) override;
  bool WriteFile(Handle handle, const void* data, std::uint32_t size, std::uint32_t* written) override;
  bool ReadFile(Handle handle, void* data, std::uint32_t size, std::uint32_t* read) override;
  bool FlushFileBuffers(Handle handle) override;
  bool CancelSynchronousIo(Handle thread) override;
  bool CreateDirectoryW(std::u16string_view path) override;
  bool DeleteFileW(std::u16string_view path) override;
  std::u16string GetFullPathNameW(std::u16string_view path) override;
  std::u16string GetVolumePathNameW(std::u16string_view path) override;
  std::uint32_t GetLastError() override;
  std::u16string SystemMessage(std::uint32_t code) override;
  std::uint32_t GetLogicalDriveStringsW(std::uint32_t bufferLength, char16_t* buffer) override;
  Handle FindFirstVolumeW(char16_t* buffer, std::uint32_t bufferLength) override;
  bool FindNextVolumeW(Handle find, char16_t* buffer, std::uint32_t bufferLength) override;
  bool FindVolumeClose(Handle find) override;
  bool GetVolumePathNamesForVolumeNameW(std::u16string_view volumeName, char16_t* buffer, std::uint32_t bufferLength, std::uint32_t* returnLength) override;
  std::uint32_t GetSystemDirectoryW(char16_t* buffer, std::uint32_t size) override;
  std::uint32_t RegQueryLocalMachineValueW(std::u16string_view subKey, std::u16string_view valueName, std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) override;
  std::uint32_t RegOpenLocalMachineKeyW(std::u16string_view subKey) override;
  std::uint32_t GetFileAttributesW(std::u16string_view path) override;
  std::u16string GetFileOwnerSid(std::u16string_view path) override;
  bool CreateDirectoryWithAccessW(std::u16string_view path, std::u16string_view sddl) override;
  std::u16string GetFinalPathNameByHandleW(Handle handle, std::uint32_t flags) override;
  std::u16string QueryDosDeviceW(std::u16string_view deviceName) override;
  void* VirtualAlloc(std::size_t size) override;
  bool VirtualFree(void* memory) override;
  bool QueryPerformanceFrequency(std::int64_t* frequency) override;
  bool QueryPerformanceCounter(std::int64_t* counter) override;
  void Sleep(std::uint32_t milliseconds) override;
  std::uint32_t timeSetEvent(std::uint32_t delay, std::uint32_t resolution, TimerCallback callback, std::uintptr_t user, std::uint32_t flags) override;
  std::uint32_t timeKillEvent(std::uint32_t timerId) override;
  std::int64_t WallClockMilliseconds() override;
  std::u16string DateTimeText() override;
  void GetLocalTime(std::span<std::uint8_t, 16> systemTime) override;
  void GetSystemTime(std::span<std::uint8_t, 16> systemTime) override;
  char16_t DecimalSeparator() override;
  bool GetVersionExW(std::span<std::uint8_t> info) override;
  bool RtlGetVersion(std::span<std::uint8_t> info) override;
  std::u16string GetModuleFileNameW() override;
  Module GetModuleHandleW(std::u16string_view name) override;
  ProcAddress GetProcAddress(Module module, std::string_view name) override;
  Module LoadLibraryW(std::u16string_view name) override;
  bool FreeLibrary(Module module) override;
  Handle GetCurrentProcess() override;
  bool CallIsWow64Process(ProcAddress entry, Handle process, std::int32_t* wow64) override;
  std::u16string LocalAppDataFolder() override;
  std::u16string CommonAppDataFolder() override;
  bool IsLocalSystem() override;
  bool GenRandom(std::span<std::uint8_t> data) override;
  std::u16string GetComputerNameW() override;
  std::uint32_t SetThreadExecutionState(std::uint32_t flags) override;
  std::uint32_t SetErrorMode(std::uint32_t mode) override;
  bool IsUserAnAdmin() override;
  bool CallSetProcessInformation(ProcAddress entry, Handle process, std::uint32_t infoClass, std::span<const std::uint8_t> info) override;
  std::u16string MultiByteToWideChar(std::uint32_t codePage, std::span<const std::uint8_t> bytes) override;
  bool SystemParametersInfoW(std::uint32_t action, std::uint32_t param, void* data, std::uint32_t winIni) override;
  std::uintptr_t CreateFontIndirectW(std::span<const std::uint8_t, 92> logFont) override;
  std::uintptr_t GetStockObject(int object) override;
  bool DeleteObject(std::uintptr_t object) override;
  std::uintptr_t LoadCursorW(int cursorId) override;
  bool IsFontInstalled(std::u16string_view face) override;
  std::uintptr_t ShellExecuteW(WindowHandle owner, std::u16string_view verb, std::u16string_view file, std::u16string_view parameters, std::u16string_view directory, int showCommand) override;
 private:
  Platform& inner_;
  CallLock& lock_;
};

} // namespace trv::win

#include "platform/locked_platform.h"

namespace trv::win {

namespace {

// Each thread's own last error, as Windows keeps it: what the backend says
// after this thread's latest call (another thread's call in between must not change it).
thread_local std::uint32_t t_lastError = 0;

// Holds the lock for one call, and takes this thread's last error after it.
class Hold {
 public:
  Hold(CallLock& lock, Platform& inner) : lock_(lock), inner_(inner) { lock_.Enter(); }
  ~Hold() {
    t_lastError = inner_.GetLastError();
    lock_.Leave();
  }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;

 private:
  CallLock& lock_;
  Platform& inner_;
};

} // namespace

Handle LockedPlatform::CreateFileW(std::u16string_view path, std::uint32_t desiredAccess, std::uint32_t shareMode, std::uint32_t creationDisposition, std::uint32_t flags) {
  Hold hold(lock_, inner_);
  return inner_.CreateFileW(path, desiredAccess, shareMode, creationDisposition, flags);
}

bool LockedPlatform::CloseHandle(Handle handle) {
  Hold hold(lock_, inner_);
  return inner_.CloseHandle(handle);
}

bool LockedPlatform::DeviceIoControl(Handle handle, std::uint32_t code, const void* in, std::uint32_t inSize, void* out, std::uint32_t outSize, std::uint32_t* returned) {
  Hold hold(lock_, inner_);
  return inner_.DeviceIoControl(handle, code, in, inSize, out, outSize, returned);
}

bool LockedPlatform::SetFilePointerEx(Handle handle, std::int64_t distance, std::int64_t* newPosition, std::uint32_t moveMethod) {
  Hold hold(lock_, inner_);
  return inner_.SetFilePointerEx(handle, distance, newPosition, moveMethod);
}

bool LockedPlatform::WriteFile(Handle handle, const void* data, std::uint32_t size, std::uint32_t* written) {
  Hold hold(lock_, inner_);
  return inner_.WriteFile(handle, data, size, written);
}

bool LockedPlatform::ReadFile(Handle handle, void* data, std::uint32_t size, std::uint32_t* read) {
  Hold hold(lock_, inner_);
  return inner_.ReadFile(handle, data, size, read);
}

bool LockedPlatform::FlushFileBuffers(Handle handle) {
  Hold hold(lock_, inner_);
  return inner_.FlushFileBuffers(handle);
}

bool LockedPlatform::CancelSynchronousIo(Handle thread) {
  Hold hold(lock_, inner_);
  return inner_.CancelSynchronousIo(thread);
}

bool LockedPlatform::CreateDirectoryW(std::u16string_view path) {
  Hold hold(lock_, inner_);
  return inner_.CreateDirectoryW(path);
}

bool LockedPlatform::DeleteFileW(std::u16string_view path) {
  Hold hold(lock_, inner_);
  return inner_.DeleteFileW(path);
}

std::u16string LockedPlatform::GetFullPathNameW(std::u16string_view path) {
  Hold hold(lock_, inner_);
  return inner_.GetFullPathNameW(path);
}

std::u16string LockedPlatform::GetVolumePathNameW(std::u16string_view path) {
  Hold hold(lock_, inner_);
  return inner_.GetVolumePathNameW(path);
}

std::uint32_t LockedPlatform::GetFileAttributesW(std::u16string_view path) {
  Hold hold(lock_, inner_);
  return inner_.GetFileAttributesW(path);
}

std::u16string LockedPlatform::GetFileOwnerSid(std::u16string_view path) {
  Hold hold(lock_, inner_);
  return inner_.GetFileOwnerSid(path);
}

bool LockedPlatform::CreateDirectoryWithAccessW(std::u16string_view path, std::u16string_view sddl) {
  Hold hold(lock_, inner_);
  return inner_.CreateDirectoryWithAccessW(path, sddl);
}

std::u16string LockedPlatform::GetFinalPathNameByHandleW(Handle handle, std::uint32_t flags) {
  Hold hold(lock_, inner_);
  return inner_.GetFinalPathNameByHandleW(handle, flags);
}

std::u16string LockedPlatform::QueryDosDeviceW(std::u16string_view deviceName) {
  Hold hold(lock_, inner_);
  return inner_.QueryDosDeviceW(deviceName);
}

void* LockedPlatform::VirtualAlloc(std::size_t size) {
  Hold hold(lock_, inner_);
  return inner_.VirtualAlloc(size);
}

bool LockedPlatform::VirtualFree(void* memory) {
  Hold hold(lock_, inner_);
  return inner_.VirtualFree(memory);
}

std::uint32_t LockedPlatform::GetLastError() { return t_lastError; }

std::u16string LockedPlatform::SystemMessage(std::uint32_t code) {
  Hold hold(lock_, inner_);
  return inner_.SystemMessage(code);
}

std::uint32_t LockedPlatform::GetLogicalDriveStringsW(std::uint32_t bufferLength, char16_t* buffer) {
  Hold hold(lock_, inner_);
  return inner_.GetLogicalDriveStringsW(bufferLength, buffer);
}

Handle LockedPlatform::FindFirstVolumeW(char16_t* buffer, std::uint32_t bufferLength) {
  Hold hold(lock_, inner_);
  return inner_.FindFirstVolumeW(buffer, bufferLength);
}

bool LockedPlatform::FindNextVolumeW(Handle find, char16_t* buffer, std::uint32_t bufferLength) {
  Hold hold(lock_, inner_);
  return inner_.FindNextVolumeW(find, buffer, bufferLength);
}

bool LockedPlatform::FindVolumeClose(Handle find) {
  Hold hold(lock_, inner_);
  return inner_.FindVolumeClose(find);
}

bool LockedPlatform::GetVolumePathNamesForVolumeNameW(std::u16string_view volumeName, char16_t* buffer, std::uint32_t bufferLength, std::uint32_t* returnLength) {
  Hold hold(lock_, inner_);
  return inner_.GetVolumePathNamesForVolumeNameW(volumeName, buffer, bufferLength, returnLength);
}

std::uint32_t LockedPlatform::GetSystemDirectoryW(char16_t* buffer, std::uint32_t size) {
  Hold hold(lock_, inner_);
  return inner_.GetSystemDirectoryW(buffer, size);
}

std::uint32_t LockedPlatform::RegQueryLocalMachineValueW(std::u16string_view subKey, std::u16string_view valueName, std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) {
  Hold hold(lock_, inner_);
  return inner_.RegQueryLocalMachineValueW(subKey, valueName, type, data, dataSize);
}

bool LockedPlatform::QueryPerformanceFrequency(std::int64_t* frequency) {
  Hold hold(lock_, inner_);
  return inner_.QueryPerformanceFrequency(frequency);
}

bool LockedPlatform::QueryPerformanceCounter(std::int64_t* counter) {
  Hold hold(lock_, inner_);
  return inner_.QueryPerformanceCounter(counter);
}

void LockedPlatform::Sleep(std::uint32_t milliseconds) {
  Hold hold(lock_, inner_);
  inner_.Sleep(milliseconds);
}

std::uint32_t LockedPlatform::timeSetEvent(std::uint32_t delay, std::uint32_t resolution, TimerCallback callback, std::uintptr_t user, std::uint32_t flags) {
  Hold hold(lock_, inner_);
  return inner_.timeSetEvent(delay, resolution, callback, user, flags);
}

std::uint32_t LockedPlatform::timeKillEvent(std::uint32_t timerId) {
  Hold hold(lock_, inner_);
  return inner_.timeKillEvent(timerId);
}

std::int64_t LockedPlatform::WallClockMilliseconds() {
  Hold hold(lock_, inner_);
  return inner_.WallClockMilliseconds();
}

std::u16string LockedPlatform::DateTimeText() {
  Hold hold(lock_, inner_);
  return inner_.DateTimeText();
}

void LockedPlatform::GetLocalTime(std::span<std::uint8_t, 16> systemTime) {
  Hold hold(lock_, inner_);
  inner_.GetLocalTime(systemTime);
}

void LockedPlatform::GetSystemTime(std::span<std::uint8_t, 16> systemTime) {
  Hold hold(lock_, inner_);
  inner_.GetSystemTime(systemTime);
}

char16_t LockedPlatform::DecimalSeparator() {
  Hold hold(lock_, inner_);
  return inner_.DecimalSeparator();
}

bool LockedPlatform::GetVersionExW(std::span<std::uint8_t> info) {
  Hold hold(lock_, inner_);
  return inner_.GetVersionExW(info);
}

std::uint32_t LockedPlatform::RegOpenLocalMachineKeyW(std::u16string_view subKey) {
  Hold hold(lock_, inner_);
  return inner_.RegOpenLocalMachineKeyW(subKey);
}

bool LockedPlatform::RtlGetVersion(std::span<std::uint8_t> info) {
  Hold hold(lock_, inner_);
  return inner_.RtlGetVersion(info);
}

std::u16string LockedPlatform::GetModuleFileNameW() {
  Hold hold(lock_, inner_);
  return inner_.GetModuleFileNameW();
}

Module LockedPlatform::GetModuleHandleW(std::u16string_view name) {
  Hold hold(lock_, inner_);
  return inner_.GetModuleHandleW(name);
}

ProcAddress LockedPlatform::GetProcAddress(Module module, std::string_view name) {
  Hold hold(lock_, inner_);
  return inner_.GetProcAddress(module, name);
}

Module LockedPlatform::LoadLibraryW(std::u16string_view name) {
  Hold hold(lock_, inner_);
  return inner_.LoadLibraryW(name);
}

bool LockedPlatform::FreeLibrary(Module module) {
  Hold hold(lock_, inner_);
  return inner_.FreeLibrary(module);
}

Handle LockedPlatform::GetCurrentProcess() {
  Hold hold(lock_, inner_);
  return inner_.GetCurrentProcess();
}

bool LockedPlatform::CallIsWow64Process(ProcAddress entry, Handle process, std::int32_t* wow64) {
  Hold hold(lock_, inner_);
  return inner_.CallIsWow64Process(entry, process, wow64);
}

std::u16string LockedPlatform::LocalAppDataFolder() {
  Hold hold(lock_, inner_);
  return inner_.LocalAppDataFolder();
}

std::u16string LockedPlatform::CommonAppDataFolder() {
  Hold hold(lock_, inner_);
  return inner_.CommonAppDataFolder();
}

bool LockedPlatform::IsLocalSystem() {
  Hold hold(lock_, inner_);
  return inner_.IsLocalSystem();
}

bool LockedPlatform::GenRandom(std::span<std::uint8_t> data) {
  Hold hold(lock_, inner_);
  return inner_.GenRandom(data);
}

std::u16string LockedPlatform::GetComputerNameW() {
  Hold hold(lock_, inner_);
  return inner_.GetComputerNameW();
}

std::uint32_t LockedPlatform::SetThreadExecutionState(std::uint32_t flags) {
  Hold hold(lock_, inner_);
  return inner_.SetThreadExecutionState(flags);
}

std::uint32_t LockedPlatform::SetErrorMode(std::uint32_t mode) {
  Hold hold(lock_, inner_);
  return inner_.SetErrorMode(mode);
}

bool LockedPlatform::IsUserAnAdmin() {
  Hold hold(lock_, inner_);
  return inner_.IsUserAnAdmin();
}

bool LockedPlatform::CallSetProcessInformation(ProcAddress entry, Handle process, std::uint32_t infoClass, std::span<const std::uint8_t> info) {
  Hold hold(lock_, inner_);
  return inner_.CallSetProcessInformation(entry, process, infoClass, info);
}

std::u16string LockedPlatform::MultiByteToWideChar(std::uint32_t codePage, std::span<const std::uint8_t> bytes) {
  Hold hold(lock_, inner_);
  return inner_.MultiByteToWideChar(codePage, bytes);
}

bool LockedPlatform::SystemParametersInfoW(std::uint32_t action, std::uint32_t param, void* data, std::uint32_t winIni) {
  Hold hold(lock_, inner_);
  return inner_.SystemParametersInfoW(action, param, data, winIni);
}

std::uintptr_t LockedPlatform::CreateFontIndirectW(std::span<const std::uint8_t, 92> logFont) {
  Hold hold(lock_, inner_);
  return inner_.CreateFontIndirectW(logFont);
}

std::uintptr_t LockedPlatform::GetStockObject(int object) {
  Hold hold(lock_, inner_);
  return inner_.GetStockObject(object);
}

bool LockedPlatform::DeleteObject(std::uintptr_t object) {
  Hold hold(lock_, inner_);
  return inner_.DeleteObject(object);
}

std::uintptr_t LockedPlatform::LoadCursorW(int cursorId) {
  Hold hold(lock_, inner_);
  return inner_.LoadCursorW(cursorId);
}

bool LockedPlatform::IsFontInstalled(std::u16string_view face) {
  Hold hold(lock_, inner_);
  return inner_.IsFontInstalled(face);
}

std::uintptr_t LockedPlatform::ShellExecuteW(WindowHandle owner, std::u16string_view verb, std::u16string_view file, std::u16string_view parameters, std::u16string_view directory, int showCommand) {
  Hold hold(lock_, inner_);
  return inner_.ShellExecuteW(owner, verb, file, parameters, directory, showCommand);
}

} // namespace trv::win

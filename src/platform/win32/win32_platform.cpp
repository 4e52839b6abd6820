#include "platform/win32/win32_platform.h"

#include "platform/records.h"

// The core's copies of Windows constants, taken before <windows.h> turns their
// names into macros, to be checked against the system's values below.
namespace core_values {
constexpr std::uint32_t kGenericRead = trv::win::GENERIC_READ, kGenericWrite = trv::win::GENERIC_WRITE;
constexpr std::uint32_t kOpenExisting = trv::win::OPEN_EXISTING, kCreateAlways = trv::win::CREATE_ALWAYS;
constexpr std::uint32_t kCreateNew = trv::win::CREATE_NEW;
constexpr std::uint32_t kPathNotFound = trv::win::ERROR_PATH_NOT_FOUND, kFileExists = trv::win::ERROR_FILE_EXISTS;
constexpr std::uint32_t kAlreadyExists = trv::win::ERROR_ALREADY_EXISTS, kDiskFull = trv::win::ERROR_DISK_FULL;
constexpr std::uint32_t kFileShareRead = trv::win::FILE_SHARE_READ, kFileShareWrite = trv::win::FILE_SHARE_WRITE;
constexpr std::uint32_t kSharingViolation = trv::win::ERROR_SHARING_VIOLATION;
constexpr std::uint32_t kAccessDenied = trv::win::ERROR_ACCESS_DENIED;
constexpr std::uint32_t kInsufficientBuffer = trv::win::ERROR_INSUFFICIENT_BUFFER;
constexpr std::uint32_t kTimePeriodic = trv::win::TIME_PERIODIC;
constexpr std::uint32_t kIconTitleLogFont = trv::win::SPI_GETICONTITLELOGFONT;
constexpr std::uint32_t kIconInformation = trv::win::MB_ICONINFORMATION, kIconError = trv::win::MB_ICONERROR;
constexpr int kDefaultGuiFont = trv::win::DEFAULT_GUI_FONT, kHandCursor = trv::win::IDC_HAND;
constexpr std::uint32_t kPlatformNt = trv::win::VER_PLATFORM_WIN32_NT;
} // namespace core_values

#include "platform/win32/windows_headers.h"

#include <mmsystem.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

#include "platform/win32/system_library.h"
#include "platform/win32/wide.h"

namespace trv::win32 {

// The records the core builds byte by byte must match the system's.
static_assert(sizeof(OSVERSIONINFOW) == rec::kOsVersionInfoSize);
static_assert(sizeof(LOGFONTW) == rec::kLogFontSize);
static_assert(offsetof(LOGFONTW, lfFaceName) == rec::kLogFontFaceOffset);
static_assert(offsetof(OSVERSIONINFOW, szCSDVersion) == 20);
static_assert(sizeof(LARGE_INTEGER) == sizeof(std::int64_t));
static_assert(sizeof(HANDLE) == sizeof(win::Handle) && sizeof(HMODULE) == sizeof(win::Module) &&
              sizeof(HWND) == sizeof(win::WindowHandle) && sizeof(FARPROC) == sizeof(win::ProcAddress));
static_assert(core_values::kGenericRead == GENERIC_READ && core_values::kGenericWrite == GENERIC_WRITE);
static_assert(core_values::kOpenExisting == OPEN_EXISTING && core_values::kCreateAlways == CREATE_ALWAYS);
static_assert(core_values::kCreateNew == CREATE_NEW);
static_assert(core_values::kPathNotFound == ERROR_PATH_NOT_FOUND && core_values::kFileExists == ERROR_FILE_EXISTS);
static_assert(core_values::kAlreadyExists == ERROR_ALREADY_EXISTS && core_values::kDiskFull == ERROR_DISK_FULL);
static_assert(core_values::kFileShareRead == FILE_SHARE_READ && core_values::kFileShareWrite == FILE_SHARE_WRITE);
static_assert(core_values::kSharingViolation == ERROR_SHARING_VIOLATION && core_values::kAccessDenied == ERROR_ACCESS_DENIED);
static_assert(core_values::kInsufficientBuffer == ERROR_INSUFFICIENT_BUFFER);
static_assert(core_values::kTimePeriodic == TIME_PERIODIC && core_values::kIconTitleLogFont == SPI_GETICONTITLELOGFONT);
static_assert(core_values::kIconInformation == MB_ICONINFORMATION && core_values::kIconError == MB_ICONERROR);
static_assert(core_values::kDefaultGuiFont == DEFAULT_GUI_FONT && core_values::kHandCursor == 32649);
static_assert(core_values::kPlatformNt == VER_PLATFORM_WIN32_NT);

namespace {

HANDLE H(win::Handle h) { return reinterpret_cast<HANDLE>(h); }
HMODULE M(win::Module m) { return reinterpret_cast<HMODULE>(m); }

// The system's view of a multimedia timer callback, forwarded to the core's.
void CALLBACK TimerTrampoline(UINT id, UINT message, DWORD_PTR user, DWORD_PTR reserved1, DWORD_PTR reserved2) {
  const auto* binding = reinterpret_cast<const Win32Platform::TimerBinding*>(user);
  binding->callback(id, message, binding->user, reserved1, reserved2);
}

// SHGetFolderPathW's folder without a trailing backslash; empty when the system tells none.
std::u16string ShellFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  std::u16string folder = Narrow16(path);
  while (!folder.empty() && folder.back() == u'\\') folder.pop_back();
  return folder;
}

// Days from 1601-01-01 (FILETIME origin) to 1899-12-30 (the program's date origin).
constexpr std::int64_t kDaysFrom1601To1899 = 109205;
constexpr std::int64_t kMsPerDay = 86400000;

} // namespace

// winmm.dll is no KnownDLL: it is loaded from the system folder on first use
// rather than imported, so that a planted copy beside the program never loads.
struct Win32Platform::WinMm {
  HMODULE module = nullptr;
  decltype(&::timeSetEvent) timeSetEvent = nullptr;
  decltype(&::timeKillEvent) timeKillEvent = nullptr;
};

Win32Platform::Win32Platform() = default;

Win32Platform::~Win32Platform() {
  if (!winmm_) return;
  // Timers still running would tick into freed bindings.
  for (const auto& [id, binding] : timers_) winmm_->timeKillEvent(id);
  if (winmm_->module) ::FreeLibrary(winmm_->module);
}

const Win32Platform::WinMm& Win32Platform::MultimediaTimers() {
  if (!winmm_) {
    winmm_ = std::make_unique<WinMm>();
    if (const HMODULE module = LoadSystemLibrary(L"winmm.dll")) {
      const auto set = reinterpret_cast<decltype(&::timeSetEvent)>(
          reinterpret_cast<void*>(::GetProcAddress(module, "timeSetEvent")));
      const auto kill = reinterpret_cast<decltype(&::timeKillEvent)>(
          reinterpret_cast<void*>(::GetProcAddress(module, "timeKillEvent")));
      if (set && kill) *winmm_ = WinMm{module, set, kill};
      else ::FreeLibrary(module);
    }
  }
  return *winmm_;
}

// --- kernel32: files and devices ----------------------------------------------------------

win::Handle Win32Platform::CreateFileW(std::u16string_view path, std::uint32_t desiredAccess, std::uint32_t shareMode,
                                       std::uint32_t creationDisposition, std::uint32_t flags) {
  const std::wstring p = Wide(path);
  return reinterpret_cast<win::Handle>(
      ::CreateFileW(p.c_str(), desiredAccess, shareMode, nullptr, creationDisposition, flags, nullptr));
}

bool Win32Platform::CloseHandle(win::Handle handle) { return ::CloseHandle(H(handle)) != FALSE; }

bool Win32Platform::DeviceIoControl(win::Handle handle, std::uint32_t code, const void* in, std::uint32_t inSize,
                                    void* out, std::uint32_t outSize, std::uint32_t* returned) {
  DWORD got = 0;
  const BOOL ok = ::DeviceIoControl(H(handle), code, const_cast<void*>(in), inSize, out, outSize, &got, nullptr);
  if (returned) *returned = got;
  return ok != FALSE;
}

bool Win32Platform::SetFilePointerEx(win::Handle handle, std::int64_t distance, std::int64_t* newPosition,
                                     std::uint32_t moveMethod) {
  LARGE_INTEGER move, now;
  move.QuadPart = distance;
  now.QuadPart = 0;
  const BOOL ok = ::SetFilePointerEx(H(handle), move, &now, moveMethod);
  if (newPosition) *newPosition = now.QuadPart;
  return ok != FALSE;
}

bool Win32Platform::WriteFile(win::Handle handle, const void* data, std::uint32_t size, std::uint32_t* written) {
  DWORD done = 0;
  const BOOL ok = ::WriteFile(H(handle), data, size, &done, nullptr);
  if (written) *written = done;
  return ok != FALSE;
}

bool Win32Platform::ReadFile(win::Handle handle, void* data, std::uint32_t size, std::uint32_t* read) {
  DWORD done = 0;
  const BOOL ok = ::ReadFile(H(handle), data, size, &done, nullptr);
  if (read) *read = done;
  return ok != FALSE;
}

bool Win32Platform::FlushFileBuffers(win::Handle handle) { return ::FlushFileBuffers(H(handle)) != FALSE; }

bool Win32Platform::CreateDirectoryW(std::u16string_view path) {
  const std::wstring p = Wide(path);
  return ::CreateDirectoryW(p.c_str(), nullptr) != FALSE;
}

bool Win32Platform::DeleteFileW(std::u16string_view path) {
  const std::wstring p = Wide(path);
  return ::DeleteFileW(p.c_str()) != FALSE;
}

std::u16string Win32Platform::GetFullPathNameW(std::u16string_view path) {
  const std::wstring p = Wide(path);
  std::wstring buffer(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 3; ++attempt) {
    const DWORD n = ::GetFullPathNameW(p.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (n == 0) return {};
    // Too small: n is the size needed, its final NUL included.
    if (n < buffer.size()) return Narrow16(std::wstring_view(buffer.data(), n));
    buffer.resize(n);
  }
  ::SetLastError(ERROR_INSUFFICIENT_BUFFER);  // the current folder kept changing
  return {};
}

std::u16string Win32Platform::GetVolumePathNameW(std::u16string_view path) {
  const std::wstring p = Wide(path);
  // The volume's root is never longer than the path it holds, plus its backslash.
  std::wstring buffer(p.size() + 2 > MAX_PATH ? p.size() + 2 : MAX_PATH, L'\0');
  if (!::GetVolumePathNameW(p.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()))) return {};
  return Narrow16(buffer.c_str());
}

std::uint32_t Win32Platform::GetLastError() { return ::GetLastError(); }

std::u16string Win32Platform::SystemMessage(std::uint32_t code) {
  wchar_t* buffer = nullptr;
  const DWORD length =
      ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::u16string text;
  if (length != 0 && buffer) text = Narrow16(std::wstring_view(buffer, length));
  if (buffer) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n')) text.pop_back();
  return text;
}

std::uint32_t Win32Platform::GetLogicalDriveStringsW(std::uint32_t bufferLength, char16_t* buffer) {
  return ::GetLogicalDriveStringsW(bufferLength, reinterpret_cast<wchar_t*>(buffer));
}

win::Handle Win32Platform::FindFirstVolumeW(char16_t* buffer, std::uint32_t bufferLength) {
  return reinterpret_cast<win::Handle>(::FindFirstVolumeW(reinterpret_cast<wchar_t*>(buffer), bufferLength));
}

bool Win32Platform::FindNextVolumeW(win::Handle find, char16_t* buffer, std::uint32_t bufferLength) {
  return ::FindNextVolumeW(H(find), reinterpret_cast<wchar_t*>(buffer), bufferLength) != FALSE;
}

bool Win32Platform::FindVolumeClose(win::Handle find) { return ::FindVolumeClose(H(find)) != FALSE; }

bool Win32Platform::GetVolumePathNamesForVolumeNameW(std::u16string_view volumeName, char16_t* buffer,
                                                     std::uint32_t bufferLength, std::uint32_t* returnLength) {
  const std::wstring name = Wide(volumeName);
  DWORD length = 0;
  const BOOL ok =
      ::GetVolumePathNamesForVolumeNameW(name.c_str(), reinterpret_cast<wchar_t*>(buffer), bufferLength, &length);
  if (returnLength) *returnLength = length;
  return ok != FALSE;
}

std::uint32_t Win32Platform::GetSystemDirectoryW(char16_t* buffer, std::uint32_t size) {
  return ::GetSystemDirectoryW(reinterpret_cast<wchar_t*>(buffer), size);
}

std::uint32_t Win32Platform::RegQueryLocalMachineValueW(std::u16string_view subKey, std::u16string_view valueName,
                                                        std::uint32_t* type, std::uint8_t* data,
                                                        std::uint32_t* dataSize) {
  const std::wstring key = Wide(subKey), value = Wide(valueName);
  HKEY opened = nullptr;
  const LONG status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &opened);
  if (status != ERROR_SUCCESS) return static_cast<std::uint32_t>(status);
  DWORD kind = 0, size = dataSize ? *dataSize : 0;
  const LONG queried = ::RegQueryValueExW(opened, value.c_str(), nullptr, &kind, data, dataSize ? &size : nullptr);
  ::RegCloseKey(opened);
  if (type) *type = kind;
  if (dataSize) *dataSize = size;
  return static_cast<std::uint32_t>(queried);
}

std::uint32_t Win32Platform::RegOpenLocalMachineKeyW(std::u16string_view subKey) {
  const std::wstring key = Wide(subKey);
  HKEY opened = nullptr;
  const LONG status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &opened);
  if (status == ERROR_SUCCESS) ::RegCloseKey(opened);
  return static_cast<std::uint32_t>(status);
}

// --- kernel32 and winmm: time ---------------------------------------------------------------

bool Win32Platform::QueryPerformanceFrequency(std::int64_t* frequency) {
  LARGE_INTEGER f;
  f.QuadPart = 0;
  const BOOL ok = ::QueryPerformanceFrequency(&f);
  if (frequency) *frequency = f.QuadPart;
  return ok != FALSE;
}

bool Win32Platform::QueryPerformanceCounter(std::int64_t* counter) {
  LARGE_INTEGER c;
  c.QuadPart = 0;
  const BOOL ok = ::QueryPerformanceCounter(&c);
  if (counter) *counter = c.QuadPart;
  return ok != FALSE;
}

void Win32Platform::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

std::uint32_t Win32Platform::timeSetEvent(std::uint32_t delay, std::uint32_t resolution, win::TimerCallback callback,
                                          std::uintptr_t user, std::uint32_t flags) {
  const WinMm& winmm = MultimediaTimers();
  if (!winmm.timeSetEvent) return 0;
  auto binding = std::make_unique<TimerBinding>(TimerBinding{callback, user});
  // TIME_KILL_SYNCHRONOUS: once timeKillEvent returns, no tick runs any more, so
  // the program may free what its callback touches right after killing the timer,
  // and timeKillEvent frees the binding.
  const MMRESULT id = winmm.timeSetEvent(delay, resolution, &TimerTrampoline, reinterpret_cast<DWORD_PTR>(binding.get()),
                                     flags | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
  if (id != 0) timers_[id] = std::move(binding);
  return id;
}

std::uint32_t Win32Platform::timeKillEvent(std::uint32_t timerId) {
  const WinMm& winmm = MultimediaTimers();
  if (!winmm.timeKillEvent) return MMSYSERR_INVALPARAM;
  const MMRESULT result = winmm.timeKillEvent(timerId);
  // Killed from its own callback, the system does not wait for that tick to end;
  // the trampoline no longer reads the binding once it has called the program.
  if (result == TIMERR_NOERROR) timers_.erase(timerId);
  return result;
}

std::int64_t Win32Platform::WallClockMilliseconds() {
  SYSTEMTIME local;
  ::GetLocalTime(&local);
  FILETIME asFileTime;  // the local time read as if it were a file time: 100 ns units since 1601
  if (!::SystemTimeToFileTime(&local, &asFileTime)) return 0;
  const std::int64_t ticks =
      (static_cast<std::int64_t>(asFileTime.dwHighDateTime) << 32) | asFileTime.dwLowDateTime;
  return ticks / 10000 - kDaysFrom1601To1899 * kMsPerDay;
}

void Win32Platform::GetLocalTime(std::span<std::uint8_t, 16> systemTime) {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  std::memcpy(systemTime.data(), &now, sizeof now);
}

void Win32Platform::GetSystemTime(std::span<std::uint8_t, 16> systemTime) {
  SYSTEMTIME now;
  ::GetSystemTime(&now);
  std::memcpy(systemTime.data(), &now, sizeof now);
}

std::u16string Win32Platform::DateTimeText() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  wchar_t date[128] = {};
  wchar_t time[128] = {};
  if (::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 128) == 0) date[0] = 0;
  std::u16string text = Narrow16(date);
  const bool midnight = now.wHour == 0 && now.wMinute == 0 && now.wSecond == 0 && now.wMilliseconds == 0;
  if (!midnight) {
    if (::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &now, nullptr, time, 128) == 0) time[0] = 0;
    text += u' ';
    text += Narrow16(time);
  }
  return text;
}

char16_t Win32Platform::DecimalSeparator() {
  wchar_t buffer[8] = {};
  if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 8) == 0 || buffer[0] == 0) return u'.';
  return static_cast<char16_t>(buffer[0]);
}

// --- system, modules and processes ----------------------------------------------------------

bool Win32Platform::GetVersionExW(std::span<std::uint8_t> info) {
  // The caller's size field decides which record Windows fills; the caller's
  // buffer must hold that much.
  OSVERSIONINFOEXW record;
  std::memset(&record, 0, sizeof record);
  const std::uint32_t size = rec::U32(info, 0);
  if (size > sizeof record || size > info.size()) {
    ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  record.dwOSVersionInfoSize = size;
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
  const BOOL ok = ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&record));
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
  if (ok) std::memcpy(info.data(), &record, size);
  return ok != FALSE;
}

bool Win32Platform::RtlGetVersion(std::span<std::uint8_t> info) {
  // ntdll exports it from Windows 2000 on; its answer is never shimmed.
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  if (!ntdll) return false;
  const auto call = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
  if (!call || info.size() < sizeof(OSVERSIONINFOW) || rec::U32(info, 0) != sizeof(OSVERSIONINFOW)) return false;
  OSVERSIONINFOW record;
  std::memset(&record, 0, sizeof record);
  record.dwOSVersionInfoSize = sizeof record;
  if (call(&record) != 0) return false;  // STATUS_SUCCESS
  std::memcpy(info.data(), &record, sizeof record);
  return true;
}

std::u16string Win32Platform::GetModuleFileNameW() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return Narrow16(std::wstring_view(buffer.data(), n));
    buffer.resize(buffer.size() * 2);
  }
}

win::Module Win32Platform::GetModuleHandleW(std::u16string_view name) {
  const std::wstring n = Wide(name);
  return reinterpret_cast<win::Module>(::GetModuleHandleW(n.c_str()));
}

win::ProcAddress Win32Platform::GetProcAddress(win::Module module, std::string_view name) {
  const std::string n(name);
  return reinterpret_cast<win::ProcAddress>(::GetProcAddress(M(module), n.c_str()));
}

win::Module Win32Platform::LoadLibraryW(std::u16string_view name) {
  const std::wstring n = Wide(name);
  // The program loads system libraries by bare name; those come from the system
  // folder only. A full path is taken as it is.
  if (n.find_first_of(L"\\/") == std::wstring::npos)
    return reinterpret_cast<win::Module>(LoadSystemLibrary(n.c_str()));
  return reinterpret_cast<win::Module>(::LoadLibraryW(n.c_str()));
}

bool Win32Platform::FreeLibrary(win::Module module) { return ::FreeLibrary(M(module)) != FALSE; }

win::Handle Win32Platform::GetCurrentProcess() { return reinterpret_cast<win::Handle>(::GetCurrentProcess()); }

bool Win32Platform::CallIsWow64Process(win::ProcAddress entry, win::Handle process, std::int32_t* wow64) {
  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
  if (entry == 0) return false;
  BOOL flag = FALSE;
  const BOOL ok = reinterpret_cast<IsWow64ProcessFn>(entry)(H(process), &flag);
  if (wow64) *wow64 = flag;
  return ok != FALSE;
}

std::u16string Win32Platform::LocalAppDataFolder() { return ShellFolder(CSIDL_LOCAL_APPDATA); }

std::u16string Win32Platform::CommonAppDataFolder() { return ShellFolder(CSIDL_COMMON_APPDATA); }

bool Win32Platform::IsLocalSystem() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  // TOKEN_USER and the SID it points to, in one buffer aligned for the record.
  alignas(8) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
  DWORD length = 0;
  const BOOL ok = ::GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &length);
  ::CloseHandle(token);
  if (!ok) return false;
  const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer);
  return ::IsWellKnownSid(user->User.Sid, WinLocalSystemSid) != FALSE;
}

std::u16string Win32Platform::GetComputerNameW() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
  if (!::GetComputerNameW(name, &length)) return {};
  return Narrow16(std::wstring_view(name, length));
}

bool Win32Platform::IsUserAnAdmin() { return ::IsUserAnAdmin() != FALSE; }

std::uint32_t Win32Platform::SetThreadExecutionState(std::uint32_t flags) {
  return static_cast<std::uint32_t>(::SetThreadExecutionState(static_cast<EXECUTION_STATE>(flags)));
}

bool Win32Platform::CancelSynchronousIo(win::Handle thread) {
  // Vista and later: looked up, so that the program still loads on Windows XP.
  using CancelFn = BOOL(WINAPI*)(HANDLE);
  const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  const auto cancel =
      kernel32 ? reinterpret_cast<CancelFn>(reinterpret_cast<void*>(::GetProcAddress(kernel32, "CancelSynchronousIo")))
               : nullptr;
  if (!cancel) {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return false;
  }
  return cancel(reinterpret_cast<HANDLE>(thread)) != FALSE;
}

std::uint32_t Win32Platform::SetErrorMode(std::uint32_t mode) { return ::SetErrorMode(static_cast<UINT>(mode)); }

bool Win32Platform::CallSetProcessInformation(win::ProcAddress entry, win::Handle process, std::uint32_t infoClass,
                                              std::span<const std::uint8_t> info) {
  // Looked up at run time: Windows 8 and later only, with classes added since.
  using SetProcessInformationFn = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
  if (entry == 0) return false;
  // The system reads the record with its own alignment: an aligned copy.
  alignas(8) std::uint8_t record[64] = {};
  if (info.size() > sizeof record) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  std::memcpy(record, info.data(), info.size());
  const auto call = reinterpret_cast<SetProcessInformationFn>(entry);
  return call(H(process), static_cast<int>(infoClass), record, static_cast<DWORD>(info.size())) != FALSE;
}

std::u16string Win32Platform::MultiByteToWideChar(std::uint32_t codePage, std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return {};
  if (bytes.size() > 0x7FFFFFFF) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return {};
  }
  const auto* in = reinterpret_cast<const char*>(bytes.data());
  const int inLength = static_cast<int>(bytes.size());
  const int length = ::MultiByteToWideChar(codePage, 0, in, inLength, nullptr, 0);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length), L'\0');
  const int done = ::MultiByteToWideChar(codePage, 0, in, inLength, text.data(), length);
  text.resize(done > 0 ? static_cast<std::size_t>(done) : 0);
  return Narrow16(text);
}

// --- user32, gdi32, shell32 ----------------------------------------------------------------

bool Win32Platform::SystemParametersInfoW(std::uint32_t action, std::uint32_t param, void* data,
                                          std::uint32_t winIni) {
  if (action != SPI_GETICONTITLELOGFONT || !data) return ::SystemParametersInfoW(action, param, data, winIni) != FALSE;
  // The system's answer is in pixels of the dpi the program sees; the core's
  // fonts are in 96-dpi pixels. Newer systems give the 96-dpi record directly.
  using ForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
  if (const HMODULE user32 = ::GetModuleHandleW(L"user32.dll")) {
    const FARPROC entry = ::GetProcAddress(user32, "SystemParametersInfoForDpi");
    if (const auto forDpi = reinterpret_cast<ForDpiFn>(reinterpret_cast<void*>(entry)))
      return forDpi(action, param, data, winIni, 96) != FALSE;
  }
  if (!::SystemParametersInfoW(action, param, data, winIni)) return false;
  const HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ::ReleaseDC(nullptr, screen);
  if (dpi > 0 && dpi != 96) {
    LONG height;  // the caller's buffer is a byte record: no alignment to rely on
    std::memcpy(&height, data, sizeof height);
    height = ::MulDiv(height, 96, dpi);
    std::memcpy(data, &height, sizeof height);
  }
  return true;
}

std::uintptr_t Win32Platform::CreateFontIndirectW(std::span<const std::uint8_t, 92> logFont) {
  LOGFONTW record;
  std::memcpy(&record, logFont.data(), sizeof record);
  return reinterpret_cast<std::uintptr_t>(::CreateFontIndirectW(&record));
}

std::uintptr_t Win32Platform::GetStockObject(int object) {
  return reinterpret_cast<std::uintptr_t>(::GetStockObject(object));
}

bool Win32Platform::DeleteObject(std::uintptr_t object) {
  return ::DeleteObject(reinterpret_cast<HGDIOBJ>(object)) != FALSE;
}

std::uintptr_t Win32Platform::LoadCursorW(int cursorId) {
  return reinterpret_cast<std::uintptr_t>(::LoadCursorW(nullptr, MAKEINTRESOURCEW(cursorId)));
}

namespace {
int CALLBACK NoteFontFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;  // one is enough
}
} // namespace

bool Win32Platform::IsFontInstalled(std::u16string_view face) {
  if (face.empty() || face.size() >= LF_FACESIZE) return false;
  LOGFONTW query;
  std::memset(&query, 0, sizeof query);
  query.lfCharSet = DEFAULT_CHARSET;
  std::copy(face.begin(), face.end(), query.lfFaceName);
  HDC screen = ::GetDC(nullptr);
  bool found = false;
  ::EnumFontFamiliesExW(screen, &query, &NoteFontFamily, reinterpret_cast<LPARAM>(&found), 0);
  ::ReleaseDC(nullptr, screen);
  return found;
}

std::uintptr_t Win32Platform::ShellExecuteW(win::WindowHandle owner, std::u16string_view verb,
                                            std::u16string_view file, std::u16string_view parameters,
                                            std::u16string_view directory, int showCommand) {
  const std::wstring v = Wide(verb), f = Wide(file), p = Wide(parameters), d = Wide(directory);
  return reinterpret_cast<std::uintptr_t>(::ShellExecuteW(reinterpret_cast<HWND>(owner), v.empty() ? nullptr : v.c_str(),
                                                          f.c_str(), p.empty() ? nullptr : p.c_str(),
                                                          d.empty() ? nullptr : d.c_str(), showCommand));
}

} // namespace trv::win32

// Windows-shaped names and constants shared by the portable core and both backends.
// The values are the ones Windows uses, so records built from them can travel unchanged.
#pragma once
#include <cstddef>
#include <cstdint>

namespace trv::win {

using Handle = std::intptr_t;            // HANDLE
using Module = std::uintptr_t;           // HMODULE; 0 means none
using ProcAddress = std::uintptr_t;      // FARPROC; 0 means absent
using WindowHandle = std::uintptr_t;     // HWND; 0 means none

inline constexpr Handle kInvalidHandle = -1;  // INVALID_HANDLE_VALUE
inline constexpr Handle kCurrentProcess = -1; // GetCurrentProcess() pseudo handle

// Access, share and disposition values of CreateFileW.
inline constexpr std::uint32_t GENERIC_READ = 0x80000000u;
inline constexpr std::uint32_t GENERIC_WRITE = 0x40000000u;
inline constexpr std::uint32_t FILE_SHARE_READ = 1;
inline constexpr std::uint32_t FILE_SHARE_WRITE = 2;
inline constexpr std::uint32_t CREATE_NEW = 1;
inline constexpr std::uint32_t CREATE_ALWAYS = 2;
inline constexpr std::uint32_t OPEN_EXISTING = 3;
inline constexpr std::uint32_t FILE_BEGIN = 0;
// Folders on the way to a records folder: attributes, links, final paths.
inline constexpr std::uint32_t FILE_SHARE_DELETE = 4;
inline constexpr std::uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr std::uint32_t FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr std::uint32_t FILE_ATTRIBUTE_REPARSE_POINT = 0x400;
inline constexpr std::uint32_t INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
inline constexpr std::uint32_t FILE_FLAG_BACKUP_SEMANTICS = 0x02000000u;  // opens a folder
inline constexpr std::uint32_t VOLUME_NAME_DOS = 0;   // GetFinalPathNameByHandleW: \\?\E:\...
inline constexpr std::uint32_t VOLUME_NAME_GUID = 1;  // \\?\Volume{...}\...

// Error codes the program meets.
inline constexpr std::uint32_t ERROR_SUCCESS = 0;
inline constexpr std::uint32_t ERROR_INVALID_FUNCTION = 1;
inline constexpr std::uint32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr std::uint32_t ERROR_PATH_NOT_FOUND = 3;
inline constexpr std::uint32_t ERROR_ACCESS_DENIED = 5;
inline constexpr std::uint32_t ERROR_INVALID_HANDLE = 6;
inline constexpr std::uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr std::uint32_t ERROR_WRITE_PROTECT = 19;
inline constexpr std::uint32_t ERROR_NOT_READY = 21;
inline constexpr std::uint32_t ERROR_CRC = 23;
inline constexpr std::uint32_t ERROR_SHARING_VIOLATION = 32;
inline constexpr std::uint32_t ERROR_NOT_SUPPORTED = 50;
inline constexpr std::uint32_t ERROR_DEV_NOT_EXIST = 55;
inline constexpr std::uint32_t ERROR_FILE_EXISTS = 80;
inline constexpr std::uint32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr std::uint32_t ERROR_DISK_FULL = 112;
inline constexpr std::uint32_t ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr std::uint32_t ERROR_INVALID_NAME = 123;
inline constexpr std::uint32_t ERROR_MOD_NOT_FOUND = 126;
inline constexpr std::uint32_t ERROR_PROC_NOT_FOUND = 127;
inline constexpr std::uint32_t ERROR_ALREADY_EXISTS = 183;
inline constexpr std::uint32_t ERROR_SEM_TIMEOUT = 121;
inline constexpr std::uint32_t ERROR_NO_SUCH_DEVICE = 433;
inline constexpr std::uint32_t ERROR_DEVICE_HARDWARE_ERROR = 483;
inline constexpr std::uint32_t ERROR_OPERATION_ABORTED = 995;
inline constexpr std::uint32_t ERROR_NOT_FOUND = 1168;
inline constexpr std::uint32_t ERROR_NO_MEDIA_IN_DRIVE = 1112;
inline constexpr std::uint32_t ERROR_IO_DEVICE = 1117;
inline constexpr std::uint32_t ERROR_DEVICE_NOT_CONNECTED = 1167;

inline constexpr std::uint32_t VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr std::uint32_t VER_PLATFORM_WIN32_NT = 2;

// Message box flags and answers.
inline constexpr std::uint32_t MB_OK = 0x00;
inline constexpr std::uint32_t MB_ICONERROR = 0x10;
inline constexpr std::uint32_t MB_ICONQUESTION = 0x20;
inline constexpr std::uint32_t MB_ICONWARNING = 0x30;
inline constexpr std::uint32_t MB_ICONINFORMATION = 0x40;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

inline constexpr std::uint32_t SPI_GETICONTITLELOGFONT = 31;
inline constexpr int DEFAULT_GUI_FONT = 17;
inline constexpr int IDC_HAND = 32649;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOW = 5;
inline constexpr std::uint32_t TIME_PERIODIC = 1;
inline constexpr std::uint32_t CP_ACP = 0;
inline constexpr std::uint32_t ES_SYSTEM_REQUIRED = 0x00000001;
inline constexpr std::uint32_t ES_CONTINUOUS = 0x80000000u;
inline constexpr std::uint32_t SEM_FAILCRITICALERRORS = 0x0001;

// SetProcessInformation: the power throttling class and its record
// (PROCESS_POWER_THROTTLING_STATE: Version, ControlMask, StateMask).
inline constexpr std::uint32_t ProcessPowerThrottling = 4;
inline constexpr std::uint32_t PROCESS_POWER_THROTTLING_CURRENT_VERSION = 1;
inline constexpr std::uint32_t PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION = 4;
inline constexpr std::size_t kPowerThrottlingStateSize = 12;
inline constexpr int VK_RETURN = 13;
inline constexpr int VK_ESCAPE = 27;

} // namespace trv::win

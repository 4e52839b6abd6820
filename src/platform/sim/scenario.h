// A simulated Windows PC as a JSON scenario describes it. See docs/scenario.md.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/sim/sim_drive.h"
#include "platform/sim/sim_volume.h"

namespace trv::sim {

// A scenario that cannot be used; the text names the file, the field and the fault.
class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class ClockMode { Virtual, Real };
enum class Wow64Mode { Absent, Fails, Yes, No };
enum class SetupApiMode { Present, Missing, MissingEntryPoint };

struct Scenario {
  std::string name = "unnamed";

  // Operating system.
  std::uint32_t osMajor = 6, osMinor = 1, osBuild = 7601, platformId = 2;
  std::u16string csd = u"Service Pack 1";
  bool getVersionFails = false;
  // Windows PE: HKLM\SYSTEM\CurrentControlSet\Control\MiniNT exists.
  bool windowsPe = false;
  // What the storage driver fails an ATA command it blocks with (50 or 87), and
  // whether Windows 7's lets SANITIZE DEVICE through.
  std::uint32_t ataFilterError = 50;
  bool win7SanitizePasses = false;
  // What GetVersionExW answers a program the compatibility layer shims (Windows
  // 8.1 and later tell one without a manifest entry that it runs on 6.2);
  // RtlGetVersion answers the true version. None: both answer the same.
  struct ShimmedVersion {
    std::uint32_t major = 6, minor = 2, build = 9200;
  };
  std::optional<ShimmedVersion> shimmedAs;
  Wow64Mode wow64 = Wow64Mode::Yes;
  std::uint32_t ansiCodePage = 936;  // the system's ANSI code page (CP_ACP): 936 or 1252

  // Clocks.
  ClockMode clockMode = ClockMode::Virtual;
  std::int64_t clockStartMs = 0;  // local wall clock at start, ms since 1899-12-30
  struct ClockJump {
    std::int64_t afterMs = 0;  // machine uptime when the wall clock is changed
    std::int64_t byMs = 0;     // negative: set back
  };
  std::vector<ClockJump> clockJumps;
  std::int64_t utcOffsetMinutes = 480;  // local time minus UTC (China: +8 hours)
  std::int64_t counterFrequency = 3579545;
  bool frequencyFails = false;
  std::int64_t counterFailOnRead = 0;  // the n-th counter read fails (0: never)
  std::int64_t counterZeroOnRead = 0;  // the n-th counter read answers 0 (0: never)

  // The periodic timer.
  std::int64_t timerPeriodUs = 1000;
  int timerBadAttempts = 0;             // the first n timers run at badPeriod
  std::int64_t timerBadPeriodUs = 2000;
  bool timerNeverFires = false;
  bool timerCreateFails = false;
  // Windows 11: while no window of the program is visible, its timers run at
  // this coarse period unless it opted out of timer-resolution throttling.
  bool timerThrottledWhileHidden = false;
  std::int64_t timerThrottledPeriodUs = 15625;

  // Libraries, paths and desktop.
  SetupApiMode setupApi = SetupApiMode::Present;
  bool taskDialog = true;  // comctl32.dll exports TaskDialog
  std::u16string programPath = u"C:\\Program Files\\Trevasso\\trevasso.exe";
  // The program file's bytes at programPath (unless `files` gives them); none: there is no such file.
  std::optional<std::string> programFile = std::string("MZ simulated Trevasso program file\r\n");
  std::u16string localAppData = u"C:\\Users\\User\\AppData\\Local";
  std::u16string commonAppData = u"C:\\ProgramData";           // CSIDL_COMMON_APPDATA, %ProgramData%
  std::u16string currentDirectory = u"C:\\Users\\User";       // what relative paths start from
  bool localSystem = false;  // the program runs as the LocalSystem account (a service, an agent)
  std::u16string computerName = u"TREVASSO-PC";  // GetComputerNameW; empty: the call fails
  bool elevated = true;  // the program runs as an elevated administrator
  std::vector<std::u16string> fonts = {u"Tahoma", u"Courier New", u"Calibri", u"Segoe UI", u"SimSun"};
  std::optional<std::u16string> iconTitleFontFace = u"Microsoft YaHei UI";  // none: the query fails
  std::int32_t iconTitleFontHeight = -12;
  char16_t decimalSeparator = u'.';
  std::map<std::uint32_t, std::u16string> errorMessages;  // overrides of the system texts
  bool agreementAccepted = false;
  std::map<std::u16string, std::string> files;  // path -> content, present at start
  // Folders that exist but take no new file or folder (ERROR_ACCESS_DENIED).
  std::vector<std::u16string> readOnlyFolders;
  // Who owns folders, junctions and SUBST drives (sim_files_security.cpp).
  std::map<std::u16string, std::u16string> folderOwners;  // folder -> owner SID; the folder exists
  std::map<std::u16string, std::u16string> junctions;     // folder -> where it leads; the folder is a reparse point
  std::map<char16_t, std::u16string> substDrives;         // u'S' -> "E:\Data"

  std::vector<SimDrive> drives;
  std::vector<SimVolume> volumes;  // in the order the volume search and GetLogicalDriveStringsW list them
  std::optional<std::uint32_t> volumeSearchFails;  // FindFirstVolumeW fails with this error
  std::u16string systemDirectory = u"C:\\Windows\\system32";  // GetSystemDirectoryW
  // The memory manager's page-file values (REG_MULTI_SZ); none: the value is absent.
  // ExistingPageFiles exists from Vista (os 6.0) on.
  std::optional<std::vector<std::u16string>> pagingFiles = std::vector<std::u16string>{u"?:\\pagefile.sys"};
  std::optional<std::vector<std::u16string>> existingPageFiles =
      std::vector<std::u16string>{u"\\??\\C:\\pagefile.sys"};
};

// Reads folderOwners, junctions and substDrives of the scenario's root object.
void ParseFolderLinks(const nlohmann::json& root, const std::string& where, Scenario& sc);
// Parses scenario JSON text; `source` names the file in error messages.
Scenario ParseScenario(const std::string& jsonText, const std::string& source);
// Reads a regular file of at most kMostScenarioBytes; throws ScenarioError otherwise.
Scenario LoadScenarioFile(const std::string& path);
inline constexpr std::uintmax_t kMostScenarioBytes = 64ull << 20;
// The built-in default PC.
const std::string& DefaultScenarioJson();
Scenario DefaultScenario();
// Makes the machine's clock follow the host: real time, starting at the host's
// local time now (for demonstrations).
void FollowHostClock(Scenario& scenario);

} // namespace trv::sim

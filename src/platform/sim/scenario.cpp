#include "platform/sim/scenario.h"

#include <filesystem>
#include <ctime>
#include <fstream>
#include <sstream>

#include "platform/sim/code_pages.h"
#include "platform/sim/json_fields.h"
#include "platform/text.h"

namespace trv::sim {

using jf::json;

namespace {

// "YYYY-MM-DD HH:MM:SS" (or with a T) as milliseconds since 1899-12-30, the
// origin of the Windows local date-time number.
std::int64_t ParseStart(const std::string& text, const std::string& where) {
  int y, mo, d, h = 0, mi = 0, s = 0;
  char sep = ' ';
  const int n = std::sscanf(text.c_str(), "%d-%d-%d%c%d:%d:%d", &y, &mo, &d, &sep, &h, &mi, &s);
  if ((n != 3 && n != 7) || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59 || y < 1900 ||
      y > 9999)
    jf::Fail(where, "start", "expected a local time like \"2026-12-08 17:05:09\", got \"" + text + "\"");
  // Days from civil date (proleptic Gregorian), relative to 1899-12-30.
  const int yy = y - (mo <= 2);
  const int era = yy / 400;
  const int yoe = yy - era * 400;
  const int doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const std::int64_t daysSince1970 = static_cast<std::int64_t>(era) * 146097 + doe - 719468;
  const std::int64_t days = daysSince1970 + 25569;  // 1970-01-01 is day 25569
  return ((days * 24 + h) * 60 + mi) * 60000LL + s * 1000LL;
}

// The namespaces of one NVM subsystem share one sanitize: they must describe it alike.
void CheckSubsystems(const std::vector<SimDrive>& drives, const std::string& where) {
  for (std::size_t i = 0; i < drives.size(); ++i) {
    if (!drives[i].nvme || drives[i].nvme->subsystem.empty()) continue;
    for (std::size_t k = 0; k < i; ++k) {
      if (!drives[k].nvme || drives[k].nvme->subsystem != drives[i].nvme->subsystem) continue;
      if (!(drives[k].nvme->sanitize == drives[i].nvme->sanitize))
        jf::Fail(where + ": drives[" + std::to_string(i) + "]: nvme", "sanitize",
                 "differs from that of drives[" + std::to_string(k) + "], of the same subsystem \"" +
                     drives[i].nvme->subsystem + "\"");
      break;
    }
  }
}

} // namespace

Scenario ParseScenario(const std::string& jsonText, const std::string& source) {
  json root;
  try {
    root = json::parse(jsonText);
  } catch (const json::exception& e) {  // a syntax error, or a number too large for any type
    throw ScenarioError(source + ": not valid JSON: " + e.what());
  }
  Scenario sc;
  const std::string& w = source;
  jf::CheckKeys(root, w,
                {"name", "os", "wow64", "clock", "performanceCounter", "timer", "setupApi", "taskDialog", "programPath", "programFile",
                 "localAppData", "fonts", "iconTitleFont", "decimalSeparator", "errorMessages", "agreementAccepted",
                 "files", "drives", "volumes", "comment", "ansiCodePage", "computerName", "readOnlyFolders", "elevated",
                 "volumeSearchFails", "systemDirectory", "pagingFiles", "existingPageFiles",
                 "commonAppData", "currentDirectory", "localSystem", "folderOwners", "junctions", "substDrives"});
  sc.name = jf::Str(root, "name", w, sc.name);

  if (jf::Has(root, "os")) {
    const json& os = root["os"];
    const std::string ow = w + ": os";
    jf::CheckKeys(os, ow, {"major", "minor", "build", "csd", "platformId", "getVersionFails", "shimmedAs", "windowsPe",
                           "ataFilterError", "win7Sanitize"});
    sc.osMajor = static_cast<std::uint32_t>(jf::Int(os, "major", ow, sc.osMajor, 0, UINT32_MAX));
    sc.osMinor = static_cast<std::uint32_t>(jf::Int(os, "minor", ow, sc.osMinor, 0, UINT32_MAX));
    sc.osBuild = static_cast<std::uint32_t>(jf::Int(os, "build", ow, sc.osBuild, 0, UINT32_MAX));
    sc.platformId = static_cast<std::uint32_t>(jf::Int(os, "platformId", ow, sc.platformId, 0, UINT32_MAX));
    sc.csd = jf::Str16(os, "csd", ow, sc.csd);
    if (sc.csd.size() > 127) jf::Fail(ow, "csd", "longer than 127 characters");
    sc.getVersionFails = jf::Bool(os, "getVersionFails", ow, false);
    sc.windowsPe = jf::Bool(os, "windowsPe", ow, false);
    sc.ataFilterError = static_cast<std::uint32_t>(jf::Int(os, "ataFilterError", ow, 50, 0, UINT32_MAX));
    if (sc.ataFilterError != 50 && sc.ataFilterError != 87)
      jf::Fail(ow, "ataFilterError", "expected 50 (not supported) or 87 (invalid parameter)");
    const std::string win7 = jf::Str(os, "win7Sanitize", ow, "rejected");
    if (win7 != "rejected" && win7 != "passes") jf::Fail(ow, "win7Sanitize", "expected \"rejected\" or \"passes\", got \"" + win7 + "\"");
    sc.win7SanitizePasses = win7 == "passes";
    if (jf::Has(os, "shimmedAs")) {
      const json& shim = os["shimmedAs"];
      const std::string shw = ow + ": shimmedAs";
      jf::CheckKeys(shim, shw, {"major", "minor", "build"});
      Scenario::ShimmedVersion v;
      v.major = static_cast<std::uint32_t>(jf::Int(shim, "major", shw, v.major, 0, UINT32_MAX));
      v.minor = static_cast<std::uint32_t>(jf::Int(shim, "minor", shw, v.minor, 0, UINT32_MAX));
      v.build = static_cast<std::uint32_t>(jf::Int(shim, "build", shw, v.build, 0, UINT32_MAX));
      sc.shimmedAs = v;
    }
  }

  if (jf::Has(root, "wow64")) {
    const json& v = root["wow64"];
    if (v.is_boolean()) sc.wow64 = v.get<bool>() ? Wow64Mode::Yes : Wow64Mode::No;
    else if (v == "absent") sc.wow64 = Wow64Mode::Absent;
    else if (v == "fails") sc.wow64 = Wow64Mode::Fails;
    else jf::Fail(w, "wow64", "expected true, false, \"absent\" or \"fails\"");
  }

  sc.ansiCodePage = static_cast<std::uint32_t>(jf::Int(root, "ansiCodePage", w, sc.ansiCodePage, 0, UINT32_MAX));
  if (!KnownCodePage(sc.ansiCodePage)) jf::Fail(w, "ansiCodePage", "expected 936 or 1252");

  if (jf::Has(root, "clock")) {
    const json& c = root["clock"];
    const std::string cw = w + ": clock";
    jf::CheckKeys(c, cw, {"mode", "start", "jumps", "utcOffsetMinutes"});
    const std::string mode = jf::Str(c, "mode", cw, "virtual");
    if (mode == "virtual") sc.clockMode = ClockMode::Virtual;
    else if (mode == "real") sc.clockMode = ClockMode::Real;
    else jf::Fail(cw, "mode", "expected \"virtual\" or \"real\", got \"" + mode + "\"");
    if (jf::Has(c, "start")) sc.clockStartMs = ParseStart(jf::Str(c, "start", cw, {}), cw);
    // Time zones lie between UTC-12:00 and UTC+14:00.
    sc.utcOffsetMinutes = jf::Int(c, "utcOffsetMinutes", cw, sc.utcOffsetMinutes, -720, 840);
    if (jf::Has(c, "jumps")) {
      if (!c["jumps"].is_array()) jf::Fail(cw, "jumps", "expected a list");
      for (std::size_t i = 0; i < c["jumps"].size(); ++i) {
        const json& jump = c["jumps"][i];
        const std::string jw = cw + ": jumps[" + std::to_string(i) + "]";
        jf::CheckKeys(jump, jw, {"afterMilliseconds", "byMilliseconds"});
        sc.clockJumps.push_back({jf::Int(jump, "afterMilliseconds", jw, 0, 0, INT64_MAX / 1000),
                                 jf::Int(jump, "byMilliseconds", jw, 0, -1'000'000'000'000, 1'000'000'000'000)});
      }
    }
  }
  if (sc.clockStartMs == 0) sc.clockStartMs = ParseStart("2026-12-08 17:05:09", w);

  if (jf::Has(root, "performanceCounter")) {
    const json& c = root["performanceCounter"];
    const std::string cw = w + ": performanceCounter";
    jf::CheckKeys(c, cw, {"frequency", "frequencyFails", "failOnRead", "zeroOnRead"});
    sc.counterFrequency = jf::Int(c, "frequency", cw, sc.counterFrequency, 0, INT64_MAX);
    sc.frequencyFails = jf::Bool(c, "frequencyFails", cw, false);
    sc.counterFailOnRead = jf::Int(c, "failOnRead", cw, 0, 0, INT64_MAX);
    sc.counterZeroOnRead = jf::Int(c, "zeroOnRead", cw, 0, 0, INT64_MAX);
  }

  if (jf::Has(root, "timer")) {
    const json& t = root["timer"];
    const std::string tw = w + ": timer";
    jf::CheckKeys(t, tw, {"periodMicroseconds", "badAttempts", "badPeriodMicroseconds", "neverFires", "createFails",
                          "throttledWhileHidden", "throttledPeriodMicroseconds"});
    sc.timerPeriodUs = jf::Int(t, "periodMicroseconds", tw, sc.timerPeriodUs, 1, 10'000'000);
    sc.timerBadAttempts = static_cast<int>(jf::Int(t, "badAttempts", tw, 0, 0, 1000));
    sc.timerBadPeriodUs = jf::Int(t, "badPeriodMicroseconds", tw, sc.timerBadPeriodUs, 1, 10'000'000);
    sc.timerNeverFires = jf::Bool(t, "neverFires", tw, false);
    sc.timerCreateFails = jf::Bool(t, "createFails", tw, false);
    sc.timerThrottledWhileHidden = jf::Bool(t, "throttledWhileHidden", tw, false);
    sc.timerThrottledPeriodUs = jf::Int(t, "throttledPeriodMicroseconds", tw, sc.timerThrottledPeriodUs, 1, 10'000'000);
  }

  if (jf::Has(root, "setupApi")) {
    const std::string s = jf::Str(root, "setupApi", w, {});
    if (s == "present") sc.setupApi = SetupApiMode::Present;
    else if (s == "missing") sc.setupApi = SetupApiMode::Missing;
    else if (s == "missingEntryPoint") sc.setupApi = SetupApiMode::MissingEntryPoint;
    else jf::Fail(w, "setupApi", "expected \"present\", \"missing\" or \"missingEntryPoint\", got \"" + s + "\"");
  }
  sc.taskDialog = jf::Bool(root, "taskDialog", w, sc.taskDialog);
  sc.programPath = jf::Str16(root, "programPath", w, sc.programPath);
  if (jf::Has(root, "programFile")) {
    const json& file = root["programFile"];
    if (file.is_null()) sc.programFile.reset();
    else if (file.is_string()) sc.programFile = file.get<std::string>();
    else jf::Fail(w, "programFile", "expected the file's text or null");
  }
  sc.localAppData = jf::Str16(root, "localAppData", w, sc.localAppData);
  sc.computerName = jf::Str16(root, "computerName", w, sc.computerName);
  sc.elevated = jf::Bool(root, "elevated", w, sc.elevated);
  sc.commonAppData = jf::Str16(root, "commonAppData", w, sc.commonAppData);
  sc.currentDirectory = jf::Str16(root, "currentDirectory", w, sc.currentDirectory);
  sc.localSystem = jf::Bool(root, "localSystem", w, sc.localSystem);
  if (sc.currentDirectory.size() < 3 || sc.currentDirectory[1] != u':' || sc.currentDirectory[2] != u'\\')
    jf::Fail(w, "currentDirectory", "expected a folder path such as C:\\Users\\User");
  if (sc.computerName.size() > 15) jf::Fail(w, "computerName", "longer than 15 characters (MAX_COMPUTERNAME_LENGTH)");
  if (jf::Has(root, "readOnlyFolders")) {
    const json& folders = root["readOnlyFolders"];
    if (!folders.is_array()) jf::Fail(w, "readOnlyFolders", "expected a list of folder paths");
    for (const auto& f : folders) {
      if (!f.is_string() || f.get<std::string>().empty()) jf::Fail(w, "readOnlyFolders", "expected a list of folder paths");
      sc.readOnlyFolders.push_back(Utf8ToUtf16(f.get<std::string>()));
    }
  }
  ParseFolderLinks(root, w, sc);
  if (jf::Has(root, "fonts")) {
    if (!root["fonts"].is_array()) jf::Fail(w, "fonts", "expected a list of font names");
    sc.fonts.clear();
    for (const auto& f : root["fonts"]) {
      if (!f.is_string()) jf::Fail(w, "fonts", "expected a list of font names");
      sc.fonts.push_back(Utf8ToUtf16(f.get<std::string>()));
    }
  }
  if (jf::Has(root, "iconTitleFont")) {
    const json& f = root["iconTitleFont"];
    if (f.is_null() || f == false) {  // the system cannot tell its icon-title font
      sc.iconTitleFontFace.reset();
    } else {
      const std::string fw = w + ": iconTitleFont";
      jf::CheckKeys(f, fw, {"face", "height"});
      sc.iconTitleFontFace = jf::Str16(f, "face", fw, u"Segoe UI");
      if (sc.iconTitleFontFace->size() > 31) jf::Fail(fw, "face", "longer than 31 characters");
      sc.iconTitleFontHeight = static_cast<std::int32_t>(jf::Int(f, "height", fw, -12, -200, 200));
    }
  }
  if (jf::Has(root, "decimalSeparator")) {
    const std::u16string s = jf::Str16(root, "decimalSeparator", w, u".");
    if (s.size() != 1) jf::Fail(w, "decimalSeparator", "expected exactly one character");
    sc.decimalSeparator = s[0];
  }
  if (jf::Has(root, "errorMessages")) {
    const json& m = root["errorMessages"];
    jf::RequireObject(m, w + ": errorMessages");
    for (const auto& item : m.items()) {
      std::size_t used = 0;
      unsigned long code = 0;
      try {
        code = std::stoul(item.key(), &used, 0);
      } catch (const std::exception&) {
        used = 0;
      }
      if (used == 0 || used != item.key().size()) jf::Fail(w + ": errorMessages", item.key(), "expected an error code");
      if (!item.value().is_string()) jf::Fail(w + ": errorMessages", item.key(), "expected a text");
      sc.errorMessages[static_cast<std::uint32_t>(code)] = Utf8ToUtf16(item.value().get<std::string>());
    }
  }
  sc.agreementAccepted = jf::Bool(root, "agreementAccepted", w, false);
  if (jf::Has(root, "files")) {
    const json& files = root["files"];
    jf::RequireObject(files, w + ": files");
    for (const auto& item : files.items()) {
      if (!item.value().is_string()) jf::Fail(w + ": files", item.key(), "expected the file's text");
      sc.files[Utf8ToUtf16(item.key())] = item.value().get<std::string>();
    }
  }
  if (jf::Has(root, "drives")) {
    const json& drives = root["drives"];
    if (!drives.is_array()) jf::Fail(w, "drives", "expected a list of drives");
    for (std::size_t i = 0; i < drives.size(); ++i) {
      SimDrive d = ParseDrive(drives[i], w + ": drives[" + std::to_string(i) + "]",
                              std::filesystem::path(source).parent_path().string());
      for (const auto& other : sc.drives)
        if (other.number == d.number)
          jf::Fail(w + ": drives[" + std::to_string(i) + "]", "number", "drive " + std::to_string(d.number) + " is listed twice");
      sc.drives.push_back(std::move(d));
    }
    CheckSubsystems(sc.drives, w);
  }
  if (jf::Has(root, "volumes")) {
    const json& volumes = root["volumes"];
    if (!volumes.is_array()) jf::Fail(w, "volumes", "expected a list of volumes");
    for (std::size_t i = 0; i < volumes.size(); ++i) {
      const std::string vw = w + ": volumes[" + std::to_string(i) + "]";
      SimVolume v = ParseVolume(volumes[i], vw, i);
      for (const SimVolume& other : sc.volumes) {
        if (EqualsIgnoreAsciiCase(other.guid, v.guid)) jf::Fail(vw, "guid", "two volumes have this GUID");
        if (!v.root.empty() && EqualsIgnoreAsciiCase(other.root, v.root)) jf::Fail(vw, "letter", "two volumes have this root");
      }
      sc.volumes.push_back(std::move(v));
    }
  }
  if (jf::Has(root, "volumeSearchFails"))
    sc.volumeSearchFails = static_cast<std::uint32_t>(jf::Int(root, "volumeSearchFails", w, 0, 0, UINT32_MAX));
  sc.systemDirectory = jf::Str16(root, "systemDirectory", w, sc.systemDirectory);
  if (sc.systemDirectory.size() < 3 || sc.systemDirectory[1] != u':' || sc.systemDirectory[2] != u'\\')
    jf::Fail(w, "systemDirectory", "expected a folder path such as \"C:\\\\Windows\\\\system32\"");
  for (auto [key, value] : {std::pair{"pagingFiles", &sc.pagingFiles}, std::pair{"existingPageFiles", &sc.existingPageFiles}}) {
    if (!jf::Has(root, key)) continue;
    const json& list = root[key];
    if (list.is_null()) {
      value->reset();
      continue;
    }
    if (!list.is_array()) jf::Fail(w, key, "expected a list of texts, or null");
    value->emplace();
    for (const auto& entry : list) {
      if (!entry.is_string()) jf::Fail(w, key, "expected a list of texts, or null");
      (*value)->push_back(Utf8ToUtf16(entry.get<std::string>()));
    }
  }
  // The NVMe protocol-specific queries arrived with Windows 10, the disk
  // attributes (offline, read-only) with Windows 7.
  for (auto& d : sc.drives) {
    d.protocolQueries = sc.osMajor >= 10;
    d.diskAttributes = sc.osMajor > 6 || (sc.osMajor == 6 && sc.osMinor >= 1);
  }
  return sc;
}

Scenario LoadScenarioFile(const std::string& path) {
  // A device or a pipe (/dev/zero) would be read without end: only a file of a
  // scenario's size is read.
  std::error_code ec;
  if (path.empty()) throw ScenarioError("the scenario file's name is empty");
  if (!std::filesystem::exists(path, ec)) throw ScenarioError(path + ": cannot open the scenario file");
  if (!std::filesystem::is_regular_file(path, ec)) throw ScenarioError(path + ": not a scenario file (not a regular file)");
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec || size > kMostScenarioBytes)
    throw ScenarioError(path + ": too large for a scenario file (more than " + std::to_string(kMostScenarioBytes) + " bytes)");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ScenarioError(path + ": cannot open the scenario file");
  std::string text(static_cast<std::size_t>(size), '\0');
  in.read(text.data(), static_cast<std::streamsize>(size));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return ParseScenario(text, path);
}

void FollowHostClock(Scenario& scenario) {
  const std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);
  scenario.clockMode = ClockMode::Real;
  if (!local) return;
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
  scenario.clockStartMs = ParseStart(text, "host clock");
}

Scenario DefaultScenario() { return ParseScenario(DefaultScenarioJson(), "built-in default scenario"); }

} // namespace trv::sim

#include "cli/cli_list.h"

#include <algorithm>

#include "cli/cli_app.h"
#include "cli/cli_purge.h"
#include "device/drive_identity.h"
#include "device/enumeration.h"
#include "format/erase_record.h"
#include "format/same_disk.h"
#include "format/volume_lock.h"
#include "platform/text.h"
#include "report/number_text.h"

namespace trv::cli {

namespace {

using json = nlohmann::ordered_json;  // fields in the order docs/cli.md gives them

std::string U8(const std::u16string& s) { return Utf16ToUtf8(s); }

// What an erase of the disk would meet before anything is locked: the
// volumes on it, and every refusal its own checks give, the size first as the erase asks it.
struct DiskStanding {
  bool systemDisk = false;
  std::vector<const format::VolumeFacts*> volumes;
  std::vector<format::Refusal> refusals;
  std::optional<device::SanitizeStatus> sanitize;  // an NVMe disk's log 81h, where it could be read
  std::optional<PurgeOutlook> purge;               // none: the disk could not be opened for it
};

// The purge that would run on the disk here, through a shared open of its own.
std::optional<PurgeOutlook> OutlookOf(win::Platform& p, const device::TDeviceTable& entry, const std::u16string& folder) {
  const win::Handle h = p.CreateFileW(device::DevicePath(entry.DeviceNumber), win::GENERIC_READ | win::GENERIC_WRITE,
                                      win::FILE_SHARE_READ | win::FILE_SHARE_WRITE, win::OPEN_EXISTING, 0);
  if (h == win::kInvalidHandle) return std::nullopt;
  PurgeOutlook outlook = PurgeOutlookOf(p, h, entry, format::PurgeChoice::Best, folder);
  p.CloseHandle(h);
  return outlook;
}

// The table's Security column: an ATA disk's state word, and whether a password of ours is saved for it.
std::u16string SecurityColumn(const std::optional<PurgeOutlook>& outlook) {
  if (!outlook) return u"-";
  const json security = AtaSecurityJson(outlook->facts);
  if (security.is_null()) return u"-";
  std::u16string text = Utf8ToUtf16(security["state"].get<std::string>());
  if (security["count_expired"].get<bool>()) text += u", count expired";
  if (security["saved_password"].get<bool>()) text += u", password saved";
  return text;
}

// The table's Purge column: the method, or "none" and the refusal's code.
std::u16string PurgeColumn(const std::optional<PurgeOutlook>& outlook) {
  if (!outlook) return u"-";
  if (outlook->plan.Runs()) return format::PurgeMethodText(outlook->plan.method);
  return u"none: " + Utf8ToUtf16(outlook->plan.refusal.code);
}

DiskStanding StandingOf(win::Platform& p, const format::VolumeSurvey& survey, const device::TDeviceTable& entry,
                        const std::u16string& passwordFolder) {
  DiskStanding standing;
  standing.purge = OutlookOf(p, entry, passwordFolder);
  const std::uint32_t number = entry.DeviceNumber;
  if (auto size = SizeRefusal(entry, u"disk " + DecimalText(number))) standing.refusals.push_back(std::move(*size));
  for (format::Refusal& r : format::VolumesOfDisk(p, survey, number).refusals) standing.refusals.push_back(std::move(r));
  // A sanitize that runs or failed keeps every write away, as the erase finds after the volumes.
  standing.sanitize = SanitizeStatusOf(p, number, entry.IdentifyData.BusType);
  if (auto busy = format::ZeroFillRefusal(standing.sanitize)) standing.refusals.push_back(std::move(*busy));
  for (std::size_t i = 0; i < survey.volumes.size(); ++i)
    if (format::VolumeOnDisk(survey.volumes[i], number) == format::DiskMatch::Yes) {
      standing.volumes.push_back(&survey.volumes[i]);
      if (static_cast<std::ptrdiff_t>(i) == survey.systemVolume) standing.systemDisk = true;
    }
  return standing;
}

// "E:", "C:\Mount\Data\", or the GUID path of a volume with neither.
std::vector<std::u16string> VolumeNames(const format::VolumeFacts& v) {
  std::vector<std::u16string> names;
  for (const std::u16string& path : v.paths)
    names.push_back(path.size() == 3 && path[1] == u':' ? path.substr(0, 2) : path);
  if (names.empty()) names.push_back(v.guidPath);
  return names;
}

// "yes", or "no: " and the refusals' words as a person reads them ("no: system disk, page file").
std::u16string ErasableText(const std::vector<format::Refusal>& refusals) {
  if (refusals.empty()) return u"yes";
  std::vector<std::string> words;
  for (const format::Refusal& r : refusals)
    if (std::find(words.begin(), words.end(), r.code) == words.end()) words.push_back(r.code);
  std::u16string text = u"no: ";
  for (std::size_t i = 0; i < words.size(); ++i) {
    std::replace(words[i].begin(), words[i].end(), '-', ' ');
    text += (i ? u", " : u"") + Utf8ToUtf16(words[i]);
  }
  return text;
}

json StandingJson(const DiskStanding& standing) {
  json volumes = json::array(), refusals = json::array();
  for (const format::VolumeFacts* v : standing.volumes) {
    json paths = json::array();
    for (const std::u16string& path : v->paths) paths.push_back(U8(path));
    volumes.push_back({{"paths", paths}, {"guid_path", U8(v->guidPath)}});
  }
  for (const format::Refusal& r : standing.refusals) refusals.push_back({{"code", r.code}, {"text", U8(r.text)}});
  // Said only of a sanitize that runs or failed: the state a script must act on.
  const bool busy = standing.sanitize && format::ZeroFillRefusal(standing.sanitize);
  return {{"system_disk", standing.systemDisk},
          {"volumes", volumes},
          {"erasable", standing.refusals.empty()},
          {"refusals", refusals},
          {"sanitize", SanitizeStatusJson(busy ? standing.sanitize : std::nullopt)},
          {"purge", standing.purge ? PurgeJson(*standing.purge) : json(nullptr)}};
}

} // namespace

int ListDisks(win::Platform& p, CliHost& host, const ScannedDisks& disks, const UnreadableDisks& unreadable, bool asJson,
              const std::u16string& passwordFolder) {
  // The volumes are surveyed once for every disk, as an erase surveys them for its own.
  const format::VolumeSurvey survey = format::SurveyVolumes(p);
  struct Row {
    std::u16string number, bus, media, model, firmware, serial, sectors, sectorSize, capacity, windows, volumes, erasable,
        security, purge;
  };
  std::map<std::uint32_t, Row> rows;
  json disksJson = json::array(), unreadableJson = json::array();
  for (const auto& [number, e] : disks) {
    // Behind a USB bridge Windows names the bridge: the drive is asked for its own identity.
    const auto disk = format::IdentityOf(e, device::AskDrive(p, number, e.IdentifyData));
    const DiskStanding standing = StandingOf(p, survey, e, passwordFolder);
    json entry = format::DiskJson(disk);  // as an erase record names it, texts exactly
    entry["removable"] = e.IdentifyData.RemovableMedia;
    entry["confirm_serial"] = U8(ConfirmationsOf(disk).front());
    entry.update(StandingJson(standing));
    disksJson.push_back(entry);
    std::u16string volumes;
    for (const format::VolumeFacts* v : standing.volumes)
      for (const std::u16string& name : VolumeNames(*v)) volumes += (volumes.empty() ? u"" : u", ") + name;
    // A device's text may hold any character: a carriage return must not write over another disk's line.
    rows[number] = {DecimalText(number),
                    ControlPictures(disk.bus),
                    device::MediaText(disk.media),
                    ControlPictures(format::ShownModel(disk)),
                    ControlPictures(format::ShownFirmware(disk)),
                    ControlPictures(format::ShownSerial(disk)),
                    report::FormatThousands(disk.sectors),
                    DecimalText(disk.sectorSize),
                    report::CapacityToStr(disk.Capacity(), p.DecimalSeparator()),
                    ControlPictures(WindowsViewColumn(disk)),
                    volumes.empty() ? u"-" : ControlPictures(volumes),
                    ErasableText(standing.refusals),
                    SecurityColumn(standing.purge),
                    PurgeColumn(standing.purge)};
  }
  for (const auto& [number, u] : unreadable)
    unreadableJson.push_back({{"number", number}, {"code", kDiskUnreadable}, {"error", u.error}, {"reason", U8(u.reason)}});
  if (asJson) {
    host.Out(JsonText({{"disks", disksJson}, {"unreadable", unreadableJson}}));
    return kExitCompleted;
  }
  // Every column as wide as its widest text.
  Row header{u"Disk",    u"Bus",    u"Media",    u"Model",         u"Firmware", u"Serial",   u"Sectors",
             u"Sector",  u"Capacity", u"Windows shows", u"Volumes", u"Erasable", u"Security", u"Purge"};
  std::vector<std::u16string Row::*> columns = {&Row::number,   &Row::bus,      &Row::media,    &Row::model,
                                                &Row::firmware, &Row::serial,   &Row::sectors,  &Row::sectorSize,
                                                &Row::capacity, &Row::windows,  &Row::volumes,  &Row::erasable,
                                                &Row::security, &Row::purge};
  std::vector<std::size_t> widths;
  for (auto column : columns) {
    std::size_t w = (header.*column).size();
    for (const auto& [n, r] : rows) w = std::max(w, (r.*column).size());
    widths.push_back(w);
  }
  const auto line = [&](const Row& r) {
    std::u16string text;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      text += r.*columns[i];
      if (i + 1 < columns.size()) text += std::u16string(widths[i] - (r.*columns[i]).size() + 2, u' ');
    }
    return text + u"\n";
  };
  std::u16string text = line(header);
  // In number order, a disk that cannot be read with its reason in place of its details.
  for (std::uint32_t n = 0; n <= device::kHighestDeviceNumber; ++n) {
    if (const auto r = rows.find(n); r != rows.end()) text += line(r->second);
    if (const auto u = unreadable.find(n); u != unreadable.end())
      text += DecimalText(n) + std::u16string(widths[0] - DecimalText(n).size() + 2, u' ') +
              ControlPictures(u->second.reason) + u"\n";
  }
  host.Out(text);
  return kExitCompleted;
}

} // namespace trv::cli

#include "cli/cli_app.h"

#include <algorithm>
#include <map>

#include <nlohmann/json.hpp>

#include "app/product.h"
#include "cli/cli_health.h"
#include "cli/cli_options.h"
#include "cli/cli_progress.h"
#include "cli/console_erase.h"
#include "device/enumeration.h"
#include "format/format_command.h"
#include "format/hidden_range_text.h"
#include "format/records_folder.h"
#include "format/run_watch.h"
#include "format/same_disk.h"
#include "format/volume_lock.h"
#include "platform/sinks.h"
#include "platform/text.h"
#include "report/details_report.h"
#include "report/number_text.h"
#include "report/offered_erase.h"
#include "report/smart_report.h"

namespace trv::cli {

namespace {

using json = nlohmann::ordered_json;  // fields in the order docs/cli.md gives them

// The window program's selection dialog refuses smaller disks; so does the console.
constexpr std::int64_t kSmallestErasableSectors = 65535;

// A failure that ends the command with this exit code and message.
struct CliFailure {
  int code;
  std::u16string message;
};

// A disk's own query failed: that disk is unreadable, the others are not.
struct DiskQueryFailure {
  std::u16string message;
};

std::string U8(const std::u16string& s) { return Utf16ToUtf8(s); }

// Without the blanks a descriptor pads its texts with.
std::u16string Trimmed(const std::u16string& s) {
  const auto begin = s.find_first_not_of(u' ');
  if (begin == std::u16string::npos) return {};
  return s.substr(begin, s.find_last_not_of(u' ') - begin + 1);
}

std::u16string Number(std::uint32_t n) { return DecimalText(n); }

// A disk that answers the scan's open, or its queries, with an error.
struct UnreadableDisk {
  std::uint32_t error = 0;
  std::u16string reason;
};

class Cli {
 public:
  Cli(win::Platform& platform, CliHost& host, Options options) : p_(platform), host_(host), o_(std::move(options)) {}
  ~Cli() {
    if (dev_.DeviceHandle != win::kInvalidHandle) p_.CloseHandle(dev_.DeviceHandle);
  }
  Cli(const Cli&) = delete;
  Cli& operator=(const Cli&) = delete;

  int Run();

 private:
  // Scans one number; the disk goes to disks_ or unreadable_, or nowhere when absent.
  void ScanNumber(std::uint32_t number);
  // The scanned disk N, made the program's one selected device.
  const device::TDeviceTable& Choose(std::uint32_t number);
  void Open(std::uint32_t access, std::uint32_t share);
  int List();
  int Report();
  int Erase();
  void CheckErasable(const device::TDeviceTable& entry);
  std::u16string RecordsFolder(std::uint32_t number);
  // The text a disk without a serial must be confirmed with.
  static std::u16string ExpectedConfirmation(const device::TDeviceTable& entry);
  std::u16string DiskName() const { return u"disk " + Number(*o_.disk); }
  void Print(const std::u16string& text) { host_.Out(text); }
  // ASCII only, every other character escaped: a reader that decodes the
  // output with the wrong code page (a remote session) still gets every serial right.
  void PrintJson(const json& document) { Print(Utf8ToUtf16(document.dump(2, ' ', true)) + u"\n"); }

  win::Platform& p_;
  CliHost& host_;
  Options o_;
  std::map<std::uint32_t, device::TDeviceTable> disks_;
  std::map<std::uint32_t, UnreadableDisk> unreadable_;
  device::DeviceState dev_;
  LineList report_;  // the report's lines, printed when it ends
};

void Cli::ScanNumber(std::uint32_t number) {
  device::DeviceEnv env{p_, [](const std::u16string&) {},
                        [](const std::u16string& text, const std::u16string&) { throw DiskQueryFailure{text}; }};
  device::TIdentifyDeviceData data;
  device::DeviceProbe probe;
  try {
    probe = device::ProbeDevice(env, number, data);
  } catch (const DiskQueryFailure& f) {
    unreadable_[number] = {p_.GetLastError(), f.message};
    return;
  }
  if (probe.identified) {
    device::TDeviceTable entry;
    entry.DevicePath = device::DevicePath(number);
    entry.DeviceNumber = number;
    entry.IdentifyData = data;
    disks_[number] = entry;
  } else if (probe.opened) {
    const std::uint32_t error = p_.GetLastError();
    unreadable_[number] = {error, error ? u"not identified: " + p_.SystemMessage(error) : u"not identified"};
  } else if (probe.openError != win::ERROR_FILE_NOT_FOUND && probe.openError != win::ERROR_PATH_NOT_FOUND) {
    // There, but not ours to open (access denied, say): worth a line, unlike a free number.
    unreadable_[number] = {probe.openError, u"cannot be opened: " + p_.SystemMessage(probe.openError)};
  }
}

const device::TDeviceTable& Cli::Choose(std::uint32_t number) {
  ScanNumber(number);
  if (const auto bad = unreadable_.find(number); bad != unreadable_.end())
    throw CliFailure{kExitError, DiskName() + u" cannot be read: " + bad->second.reason};
  const auto found = disks_.find(number);
  if (found == disks_.end()) throw CliFailure{kExitError, u"no " + DiskName() + u" was found (see list)"};
  // The one device of this run, as the window program's selection makes it.
  dev_.Devices[1] = found->second;
  dev_.DeviceCount = 1;
  dev_.SelectedDevice = 1;
  dev_.DeviceTitle = report::GetDeviceDescription(dev_, 1, p_.DecimalSeparator());
  return dev_.Devices[1];
}

void Cli::Open(std::uint32_t access, std::uint32_t share) {
  dev_.DeviceHandle = p_.CreateFileW(dev_.Devices[1].DevicePath, access, share, win::OPEN_EXISTING, 0);
  if (dev_.DeviceHandle == win::kInvalidHandle)
    throw CliFailure{kExitError, u"Error opening " + DiskName() + u": " + p_.SystemMessage(p_.GetLastError())};
}

int Cli::List() {
  for (std::uint32_t n = 0; n <= device::kHighestDeviceNumber; ++n) ScanNumber(n);
  struct Row {
    std::u16string number, bus, model, firmware, serial, sectors, sectorSize, capacity;
  };
  std::map<std::uint32_t, Row> rows;
  json disks = json::array(), unreadable = json::array();
  for (const auto& [number, e] : disks_) {
    auto disk = format::IdentityOf(e);
    disk.model = Trimmed(disk.model);
    disk.firmware = Trimmed(disk.firmware);
    disk.serial = Trimmed(disk.serial);
    json entry = format::DiskJson(disk);  // as an erase record names it, texts exactly
    entry["removable"] = e.IdentifyData.RemovableMedia;
    entry["confirm_serial"] = U8(ExpectedConfirmation(e));
    disks.push_back(entry);
    // A device's text may hold any character: a carriage return must not write over another disk's line.
    rows[number] = {Number(number), ControlPictures(disk.bus), ControlPictures(disk.model), ControlPictures(disk.firmware),
                    ControlPictures(disk.serial), report::FormatThousands(disk.sectors), DecimalText(disk.sectorSize),
                    report::CapacityToStr(disk.Capacity(), p_.DecimalSeparator())};
  }
  for (const auto& [number, u] : unreadable_)
    unreadable.push_back({{"number", number}, {"error", u.error}, {"reason", U8(u.reason)}});
  if (o_.json) {
    PrintJson({{"disks", disks}, {"unreadable", unreadable}});
    return kExitCompleted;
  }
  // Every column as wide as its widest text.
  Row header{u"Disk", u"Bus", u"Model", u"Firmware", u"Serial", u"Sectors", u"Sector", u"Capacity"};
  std::vector<std::u16string Row::*> columns = {&Row::number, &Row::bus,     &Row::model,      &Row::firmware,
                                                &Row::serial, &Row::sectors, &Row::sectorSize, &Row::capacity};
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
    if (const auto u = unreadable_.find(n); u != unreadable_.end())
      text += Number(n) + std::u16string(widths[0] - Number(n).size() + 2, u' ') + ControlPictures(u->second.reason) + u"\n";
  }
  Print(text);
  return kExitCompleted;
}

int Cli::Report() {
  Choose(*o_.disk);
  // Shared: an inventory goes on while another program has the disk open. The
  // ATA and S.M.A.R.T. requests need a handle for reading and writing.
  Open(win::GENERIC_READ | win::GENERIC_WRITE, win::FILE_SHARE_READ | win::FILE_SHARE_WRITE);
  const bool details = o_.command == Command::Details;
  std::optional<report::SmartHealth> health;
  std::optional<device::EraseFeatures> erase;
  std::vector<device::HiddenRange> hidden;
  if (details) {
    report::DetailsContext ctx{p_, dev_, report_, app::kProductTitle, app::kProductWebAddress,
                               app::kSupportForumAddress, p_.DecimalSeparator()};
    ctx.eraseFeatures = &erase;
    ctx.hiddenRanges = &hidden;
    report::ShowDeviceDetails(ctx);
  } else {
    report::SmartContext ctx{p_, dev_, report_, app::kProductTitle, app::kProductWebAddress, p_.DecimalSeparator()};
    ctx.health = &health;
    report::ShowSmartData(ctx);
  }
  const auto& lines = report_.lines();
  if (o_.json) {
    json out = {{"disk", *o_.disk}, {"report", details ? "details" : "smart"}, {"lines", json::array()}};
    for (const auto& l : lines) out["lines"].push_back(U8(l));
    if (details) {
      out["erase_features"] = EraseFeaturesJson(erase);
      out["hidden_sectors"] = HiddenSectorsJson(hidden);
    }
    else out["health"] = HealthJson(health);
    PrintJson(out);
  } else {
    std::u16string text;
    for (const auto& l : lines) text += l + u"\n";
    Print(text);
  }
  return kExitCompleted;
}

std::u16string Cli::ExpectedConfirmation(const device::TDeviceTable& entry) {
  // The scan shows "000000" for a disk that gave no serial; such a disk is
  // confirmed by its size instead, so a script still names exactly one disk.
  const auto& id = entry.IdentifyData;
  if (id.SN == u"000000") return u"NONE-" + DecimalText(report::CapacityBytes(id.LBA, id.SectorSize));
  return Trimmed(id.SN);
}

void Cli::CheckErasable(const device::TDeviceTable& entry) {
  const std::u16string expected = ExpectedConfirmation(entry);
  if (Trimmed(*o_.confirmSerial) != expected) {
    const bool noSerial = expected.rfind(u"NONE-", 0) == 0;
    throw CliFailure{kExitRefused, u"refused: --confirm-serial \"" + ControlPictures(*o_.confirmSerial) +
                                       u"\" does not name " + DiskName() + u" (" + ControlPictures(dev_.DeviceTitle) + u")" +
                                       (noSerial ? u", which has no serial number: give --confirm-serial " + expected
                                                 : std::u16string()) +
                                       u"; nothing was written"};
  }
  const std::int64_t sectors = entry.IdentifyData.LBA;
  if (report::CapacityBytes(sectors, entry.IdentifyData.SectorSize) <= 0)
    throw CliFailure{kExitRefused, u"refused: " + DiskName() +
                                       u" reports no capacity (no medium in the reader?); there is nothing to erase"};
  if (sectors < kSmallestErasableSectors)
    throw CliFailure{kExitRefused, u"refused: " + DiskName() + u" has " + report::FormatThousands(sectors) +
                                       u" sectors, fewer than 65,535; the window program refuses it too, and so "
                                       u"does this one. Nothing was written"};
}

std::u16string Cli::RecordsFolder(std::uint32_t number) {
  const std::u16string given = o_.recordsFolder.empty() ? format::DefaultRecordsFolder(p_) : o_.recordsFolder;
  if (given.empty())
    throw CliFailure{kExitRecordsFolder, u"refused: the system tells no folder for the records; give --records DIR. "
                                         u"Nothing was written"};
  const format::RecordsFolder folder = format::PrepareRecordsFolder(p_, given, number);
  if (folder.refusal)
    throw CliFailure{kExitRecordsFolder,
                     u"refused: " + format::RefusalText(p_, *folder.refusal, DiskName()) +
                         (folder.refusal->why == format::FolderRefusal::Why::OnErasedDisk ? u"; give --records on another disk"
                                                                                          : u"") +
                         u". Nothing was written"};
  if (folder.failure)
    throw CliFailure{kExitRecordsFolder, u"refused: no record could be saved in " +
                                             (folder.folder.empty() ? given : folder.folder) + u": " +
                                             folder.failure->path + u": (" + DecimalText(folder.failure->error) + u") " +
                                             p_.SystemMessage(folder.failure->error) + u" Nothing was written"};
  return folder.folder;
}

namespace {

CliFailure VolumesRefused(const std::vector<std::u16string>& reasons) {
  std::u16string text;
  for (const std::u16string& reason : reasons) text += u" " + reason;
  return CliFailure{kExitRefused, u"refused: nothing was written." + text};
}

} // namespace

int Cli::Erase() {
  const auto& entry = Choose(*o_.disk);
  CheckErasable(entry);
  // A disk whose volumes may not be taken away is refused for that first: it
  // tells more than a records folder on it would.
  if (const auto reasons = format::VolumeRefusals(p_, entry.DeviceNumber); !reasons.empty())
    throw VolumesRefused(reasons);
  // Where the record goes is settled before anything is locked or written: an
  // erase whose proof cannot be kept does not start.
  const std::u16string recordsFolder = RecordsFolder(entry.DeviceNumber);
  // Exclusive, as the window program opens it: nobody else writes while we work.
  Open(win::GENERIC_READ | win::GENERIC_WRITE, 0);
  bool stop = false;
  std::vector<win::Handle> volumes;
  ConsoleProgress progress(host_, p_, stop);
  // Closing the console or the session's end, heard on the host's own thread,
  // stop the run and have its record saved, at the next pump or from the run's copy.
  format::RunWatch watch;
  std::function<void()> saveRecordNow;
  ConsoleErase end(p_, watch, host_.EraseThread());
  progress.WatchEnd(&end, &saveRecordNow);
  format::FormatContext ctx{p_, progress, false, stop, volumes, p_.DecimalSeparator(), &saveRecordNow, &watch};
  format::EraseRequest request;
  request.target = {dev_.DeviceHandle, entry.IdentifyData.LBA, entry.IdentifyData.SectorSize};
  request.deviceNumber = entry.DeviceNumber;
  request.deviceTitle = dev_.DeviceTitle;
  request.productLine = std::u16string(app::kProductTitle) + u"; " + app::kProductWebAddress;
  // Behind XP or a bridge limited to 32-bit addresses, Windows may show less
  // than the drive holds: the run then says which bytes it could not reach.
  // A host protected area or a device configuration overlay hides sectors past
  // that; they are named now and counted as unreachable by the run.
  request.statedBytes = report::StatedBytes(p_, dev_.DeviceHandle, entry.IdentifyData, &request.target.hidden);
  for (const device::HiddenRange& range : request.target.hidden)
    host_.Err(u"warning: on this disk " + format::HiddenRangeText(range) +
              u": these sectors cannot be reached and will not be erased.\n");
  request.quickWipe = o_.quick;
  request.verify = o_.verify;
  request.chosen = format::IdentityOf(entry);
  request.program = app::kProductName;
  request.version = app::kProductVersion;
  request.recordsFolder = recordsFolder;
  request.audit = {o_.operatorName, o_.asset, o_.ticket};
  request.offeredErase = report::OfferedEraseFeatures(p_, dev_.DeviceHandle, entry.IdentifyData);
  host_.SetErasing(&end);
  const format::EraseCommandResult result = format::EraseDevice(ctx, request);
  host_.SetErasing(nullptr);

  if (result.diskChanged)
    throw CliFailure{kExitRefused, u"refused: the disk was changed; nothing was written. Chosen: " +
                                       format::DescribeDiskInEnglish(*request.chosen) + u"; now: " +
                                       (result.found ? format::DescribeDiskInEnglish(*result.found)
                                                     : std::u16string(u"not identified"))};
  if (result.stoppedBeforeWrite)
    throw CliFailure{kExitCancelled, u"stopped: the check of the disk was cancelled; nothing was written"};
  if (result.notWritable != format::NotWritable::No)
    throw CliFailure{kExitRefused, u"refused: " + format::NotWritableEnglishText(result.notWritable)};
  if (!result.refusal.empty()) {
    std::u16string why = result.refusal;
    if (why[0] >= u'A' && why[0] <= u'Z') why[0] = static_cast<char16_t>(why[0] + 32);
    throw CliFailure{result.recordsFolderRefused ? kExitRecordsFolder : kExitRefused,
                     u"refused: " + why + u" Nothing was written"};
  }
  if (!result.volumeRefusals.empty()) throw VolumesRefused(result.volumeRefusals);
  if (!result.volumesLocked)
    throw CliFailure{kExitRefused, u"refused: a volume on the disk is in use (open files); nothing was written"};

  const std::u16string word = format::OutcomeWord(*result.record);
  int code = kExitCompleted;
  if (word == u"completed-with-errors") code = kExitCompletedWithErrors;
  else if (word == u"verify-failed") code = kExitVerifyFailed;
  else if (word == u"cancelled") code = kExitCancelled;
  else if (word == u"terminated") code = kExitTerminated;
  const bool saved = result.saved && result.saved->saved;
  if (code == kExitCompleted && !saved) code = kExitRecordNotSaved;
  if (o_.json) {
    PrintJson(json::parse(format::RecordJson(*result.record)));
  } else {
    Print(u"outcome: " + word + u"\n");
    if (saved) Print(u"record: " + result.saved->textPath + u"\nrecord: " + result.saved->jsonPath + u"\n");
  }
  if (!saved && result.saved)
    host_.Err(u"error: the erase record could not be saved to " + result.saved->failedPath + u": " +
              p_.SystemMessage(result.saved->error) + u"\n");
  return code;
}

int Cli::Run() {
  switch (o_.command) {
    case Command::Help:
      Print(HelpText());
      return kExitCompleted;
    case Command::Version:
      Print(std::u16string(app::kProductTitle) + u"\n");
      return kExitCompleted;
    default:
      break;
  }
  // A drive without media answers with an error, never a system dialog that
  // waits for a person at an unattended machine.
  win::FailCriticalErrorsQuietly(p_);
  if (!p_.IsUserAnAdmin())
    throw CliFailure{kExitNotElevated, u"run this from an elevated prompt (as administrator): disks are opened directly"};
  if (o_.command == Command::List) return List();
  if (o_.command == Command::Erase) return Erase();
  return Report();
}

// The JSON a refused or failed command prints with --json.
json FailureJson(const CliFailure& f) {
  const bool refused = f.code == kExitRefused || f.code == kExitRecordsFolder;
  const char* outcome = refused                      ? "refused"
                        : f.code == kExitNotElevated ? "not-elevated"
                        : f.code == kExitCancelled   ? "cancelled"
                                                     : "error";
  return {{"outcome", outcome},
          {"exit_code", f.code},
          {"message", U8(f.message)}};
}

} // namespace

int RunCli(win::Platform& platform, CliHost& host, const std::vector<std::u16string>& args) {
  Options options;
  try {
    options = ParseOptions(args);
  } catch (const UsageError& e) {
    host.Err(u"trevasso-cli: " + ControlPictures(e.message) + u"\n" + UsageText());
    return kExitUsage;
  }
  Cli cli(platform, host, options);
  try {
    const int code = cli.Run();
    return code;
  } catch (const CliFailure& f) {
    host.Err(u"trevasso-cli: " + f.message + u"\n");
    if (options.json) host.Out(Utf8ToUtf16(FailureJson(f).dump(2, ' ', true)) + u"\n");
    return f.code;
  } catch (const std::exception& e) {
    // Out of memory for the transfer buffer, say: an error, never a code a script reads otherwise.
    host.Err(u"trevasso-cli: " + Utf8ToUtf16(e.what()) + u"\n");
    return kExitError;
  } catch (...) {
    host.Err(u"trevasso-cli: unexpected failure\n");
    return kExitError;
  }
}

} // namespace trv::cli

#include "cli/cli_app.h"

#include <nlohmann/json.hpp>

#include "app/product.h"
#include "cli/cli_health.h"
#include "cli/cli_options.h"
#include "cli/cli_progress.h"
#include "device/enumeration.h"
#include "format/format_command.h"
#include "format/same_disk.h"
#include "platform/sinks.h"
#include "platform/text.h"
#include "report/details_report.h"
#include "report/number_text.h"
#include "report/smart_report.h"

namespace trv::cli {

namespace {

using json = nlohmann::ordered_json;  // fields in the order docs/cli.md gives them

// A failure that ends the command with this exit code and message.
struct CliFailure {
  int code;
  std::u16string message;
};

std::string U8(const std::u16string& s) { return Utf16ToUtf8(s); }

// Without the blanks a descriptor pads its texts with.
std::u16string Trimmed(const std::u16string& s) {
  const auto begin = s.find_first_not_of(u' ');
  if (begin == std::u16string::npos) return {};
  return s.substr(begin, s.find_last_not_of(u' ') - begin + 1);
}

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
  void Scan();
  const device::TDeviceTable& Entry(std::uint32_t number);
  void Open(std::uint32_t number);
  int List();
  int Report();
  int Erase();
  // The text a disk without a serial must be confirmed with.
  static std::u16string ExpectedConfirmation(const device::TDeviceTable& entry);
  void Print(const std::u16string& text) { host_.Out(text); }
  // ASCII only, every other character escaped: a reader that decodes the
  // output with the wrong code page (a remote session) still gets every serial right.
  void PrintJson(const json& document) { Print(Utf8ToUtf16(document.dump(2, ' ', true)) + u"\n"); }

  win::Platform& p_;
  CliHost& host_;
  Options o_;
  device::DeviceState dev_;
  StatusText scanStatus_;  // "Disks found: N", which the list says in its own way
  LineList report_;        // the report's lines, printed when it ends
};

void Cli::Scan() {
  device::DeviceEnv env{p_, [](const std::u16string&) {},
                        [](const std::u16string& text, const std::u16string&) { throw CliFailure{kExitError, text}; }};
  device::EnumerateDevices(env, dev_, scanStatus_);
}

const device::TDeviceTable& Cli::Entry(std::uint32_t number) {
  for (std::int64_t i = 1; i <= dev_.DeviceCount; ++i) {
    if (dev_.Devices[static_cast<std::size_t>(i)].DeviceNumber != number) continue;
    dev_.SelectedDevice = i;
    dev_.DeviceTitle = report::GetDeviceDescription(dev_, i, p_.DecimalSeparator());
    return dev_.Devices[static_cast<std::size_t>(i)];
  }
  throw CliFailure{kExitError, u"no disk " + DecimalText(static_cast<std::int64_t>(number)) + u" was found (see list)"};
}

void Cli::Open(std::uint32_t number) {
  const auto& entry = Entry(number);
  // Exclusive, as the window program opens it: nobody else writes while we work.
  dev_.DeviceHandle = p_.CreateFileW(entry.DevicePath, win::GENERIC_READ | win::GENERIC_WRITE, 0, win::OPEN_EXISTING, 0);
  if (dev_.DeviceHandle == win::kInvalidHandle)
    throw CliFailure{kExitError, u"Error opening device: " + p_.SystemMessage(p_.GetLastError())};
}

int Cli::List() {
  json disks = json::array();
  std::u16string text = u"Disk  Bus      Model                                     Firmware  Serial                Sectors          Sector  Capacity\n";
  auto pad = [](std::u16string s, std::size_t width) {
    if (s.size() < width) s += std::u16string(width - s.size(), u' ');
    return s + u" ";
  };
  for (std::int64_t i = 1; i <= dev_.DeviceCount; ++i) {
    const auto& e = dev_.Devices[static_cast<std::size_t>(i)];
    auto disk = format::IdentityOf(e);
    disk.model = Trimmed(disk.model);
    disk.firmware = Trimmed(disk.firmware);
    disk.serial = Trimmed(disk.serial);
    json entry = format::DiskJson(disk);  // as an erase record names it
    entry["removable"] = e.IdentifyData.RemovableMedia;
    entry["confirm_serial"] = U8(ExpectedConfirmation(e));
    disks.push_back(entry);
    text += pad(DecimalText(static_cast<std::int64_t>(disk.number)), 5) + pad(disk.bus, 8) + pad(disk.model, 41) +
            pad(disk.firmware, 9) + pad(disk.serial, 21) + pad(report::FormatThousands(disk.sectors), 16) +
            pad(DecimalText(disk.sectorSize), 7) + report::CapacityToStr(disk.Capacity(), p_.DecimalSeparator()) + u"\n";
  }
  if (o_.json) PrintJson({{"disks", disks}});
  else Print(text);
  return kExitCompleted;
}

int Cli::Report() {
  Open(*o_.disk);
  const bool details = o_.command == Command::Details;
  std::optional<report::SmartHealth> health;
  std::optional<device::EraseFeatures> erase;
  if (details) {
    report::DetailsContext ctx{p_, dev_, report_, app::kProductTitle, app::kProductWebAddress,
                               app::kSupportForumAddress, p_.DecimalSeparator()};
    ctx.eraseFeatures = &erase;
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
    if (details) out["erase_features"] = EraseFeaturesJson(erase);
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

int Cli::Erase() {
  const auto& entry = Entry(*o_.disk);
  const std::u16string expected = ExpectedConfirmation(entry);
  if (Trimmed(*o_.confirmSerial) != expected) {
    const bool noSerial = expected.rfind(u"NONE-", 0) == 0;
    throw CliFailure{kExitRefused, u"refused: --confirm-serial \"" + *o_.confirmSerial + u"\" does not name disk " +
                                       DecimalText(static_cast<std::int64_t>(*o_.disk)) + u" (" + dev_.DeviceTitle + u")" +
                                       (noSerial ? u", which has no serial number: give --confirm-serial " + expected
                                                 : std::u16string()) +
                                       u"; nothing was written"};
  }
  if (report::CapacityBytes(entry.IdentifyData.LBA, entry.IdentifyData.SectorSize) <= 0)
    throw CliFailure{kExitRefused, u"refused: disk " + DecimalText(static_cast<std::int64_t>(*o_.disk)) +
                                       u" reports no capacity (no medium in the reader?); there is nothing to erase"};
  Open(*o_.disk);
  bool stop = false;
  std::vector<win::Handle> volumes;
  ConsoleProgress progress(host_, p_, stop);
  format::FormatContext ctx{p_, progress, false, stop, volumes, p_.DecimalSeparator()};
  format::EraseRequest request;
  request.target = {dev_.DeviceHandle, entry.IdentifyData.LBA, entry.IdentifyData.SectorSize};
  request.deviceNumber = entry.DeviceNumber;
  request.deviceTitle = dev_.DeviceTitle;
  request.productLine = std::u16string(app::kProductTitle) + u"; " + app::kProductWebAddress;
  request.quickWipe = o_.quick;
  request.verify = o_.verify;
  request.chosen = format::IdentityOf(entry);
  request.program = app::kProductName;
  request.version = app::kProductVersion;
  request.recordsFolder = o_.recordsFolder;
  host_.SetStoppable(true);
  const format::EraseCommandResult result = format::EraseDevice(ctx, request);
  host_.SetStoppable(false);

  if (result.diskChanged)
    throw CliFailure{kExitRefused, u"refused: the disk was changed; nothing was written. Chosen: " +
                                       format::DescribeDisk(*request.chosen) + u"; now: " +
                                       (result.found ? format::DescribeDisk(*result.found) : std::u16string(u"none"))};
  if (result.notWritable != format::NotWritable::No)
    throw CliFailure{kExitRefused, u"refused: " + format::NotWritableText(result.notWritable)};
  if (!result.volumeRefusals.empty()) {
    std::u16string reasons;
    for (const std::u16string& reason : result.volumeRefusals) reasons += u" " + reason;
    throw CliFailure{kExitRefused, u"refused: nothing was written." + reasons};
  }
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
      Print(UsageText());
      return kExitCompleted;
    case Command::Version:
      Print(std::u16string(app::kProductTitle) + u"\n");
      return kExitCompleted;
    default:
      break;
  }
  if (!p_.IsUserAnAdmin())
    throw CliFailure{kExitNotElevated, u"run this from an elevated prompt (as administrator): disks are opened directly"};
  Scan();
  int code = kExitCompleted;
  if (o_.command == Command::List) code = List();
  else if (o_.command == Command::Erase) code = Erase();
  else code = Report();
  return code;
}

// The JSON a refused or failed command prints with --json.
json FailureJson(const CliFailure& f) {
  return {{"outcome", f.code == kExitRefused ? "refused" : f.code == kExitNotElevated ? "not-elevated" : "error"},
          {"exit_code", f.code},
          {"message", U8(f.message)}};
}

} // namespace

int RunCli(win::Platform& platform, CliHost& host, const std::vector<std::u16string>& args) {
  Options options;
  try {
    options = ParseOptions(args);
  } catch (const UsageError& e) {
    host.Err(u"trevasso-cli: " + e.message + u"\n" + UsageText());
    return kExitUsage;
  }
  win::FailCriticalErrorsQuietly(platform);
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

#include "cli/cli_app.h"

#include <algorithm>
#include <map>

#include <nlohmann/json.hpp>

#include "app/product.h"
#include "cli/cli_disks.h"
#include "cli/cli_health.h"
#include "cli/cli_list.h"
#include "cli/cli_options.h"
#include "cli/cli_progress.h"
#include "cli/cli_purge.h"
#include "cli/cli_smart_json.h"
#include "cli/console_erase.h"
#include "device/ata_security.h"
#include "device/drive_identity.h"
#include "device/enumeration.h"
#include "device/identify.h"
#include "format/ata_password_undo.h"
#include "format/erase_record_outcome.h"
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

// A failure that ends the command with this exit code and message, and the
// stable word a script reads in its JSON (docs/cli.md, "Refusal and failure codes").
struct CliFailure {
  int code;
  std::u16string message;
  std::string word;
};

// A disk's own query failed: that disk is unreadable, the others are not.
struct DiskQueryFailure {
  std::u16string message;
};

std::string U8(const std::u16string& s) { return Utf16ToUtf8(s); }

std::u16string Number(std::uint32_t n) { return DecimalText(n); }

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
  int Unlock();
  void CheckErasable(const device::TDeviceTable& entry, const device::DriveFacts& drive);
  // The purge asked for can run on this disk here, as far as its plan can tell before anything is locked.
  void CheckPurgeRuns(const device::TDeviceTable& entry);
  std::u16string RecordsFolder(std::uint32_t number);
  std::u16string DiskName() const { return u"disk " + Number(*o_.disk); }
  void Print(const std::u16string& text) { host_.Out(text); }
  void PrintJson(const json& document) { Print(JsonText(document)); }

  win::Platform& p_;
  CliHost& host_;
  Options o_;
  ScannedDisks disks_;
  UnreadableDisks unreadable_;
  device::DeviceState dev_;
  LineList report_;  // the report's lines, printed when it ends
  PurgeOutlook purge_;  // erase --purge: what its check found
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
    throw CliFailure{kExitError, DiskName() + u" cannot be read: " + bad->second.reason, kDiskUnreadable};
  const auto found = disks_.find(number);
  if (found == disks_.end()) throw CliFailure{kExitError, u"no " + DiskName() + u" was found (see list)", "no-such-disk"};
  // The one device of this run, as the window program's selection makes it.
  dev_.Devices[1] = found->second;
  dev_.DeviceCount = 1;
  dev_.SelectedDevice = 1;
  dev_.DeviceTitle = report::GetDeviceDescription(dev_, 1, p_.DecimalSeparator());
  return dev_.Devices[1];
}

void Cli::Open(std::uint32_t access, std::uint32_t share) {
  dev_.DeviceHandle = p_.CreateFileW(dev_.Devices[1].DevicePath, access, share, win::OPEN_EXISTING, 0);
  if (dev_.DeviceHandle == win::kInvalidHandle) {
    const std::uint32_t error = p_.GetLastError();
    // The exclusive open of an erase: another program has the disk open now, and may let go of it.
    if (error == win::ERROR_SHARING_VIOLATION)
      throw CliFailure{kExitInUse, u"in use: another program has " + DiskName() + u" open (" + p_.SystemMessage(error) +
                                       u"); close it and try again later. Nothing was written",
                       "disk-in-use"};
    throw CliFailure{kExitError, u"Error opening " + DiskName() + u": " + p_.SystemMessage(error), "open-failed"};
  }
}

int Cli::List() {
  for (std::uint32_t n = 0; n <= device::kHighestDeviceNumber; ++n) ScanNumber(n);
  return ListDisks(p_, host_, disks_, unreadable_, o_.json, PasswordFolder(p_, o_.recordsFolder));
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
  std::optional<report::DriveFacts> facts;
  device::DriveFacts drive;
  PurgeOutlook purge;  // the report's own facts and plan, for the JSON
  if (details) {
    report::DetailsContext ctx{p_, dev_, report_, app::kProductTitle, app::kProductWebAddress,
                               app::kSupportForumAddress, p_.DecimalSeparator()};
    ctx.eraseFeatures = &erase;
    ctx.hiddenRanges = &hidden;
    ctx.language = o_.language;
    ctx.facts = &facts;
    ctx.drive = &drive;
    ctx.purgeFacts = &purge.facts;
    ctx.purgePlan = &purge.plan;
    report::ShowDeviceDetails(ctx);
  } else {
    report::SmartContext ctx{p_, dev_, report_, app::kProductTitle, app::kProductWebAddress, p_.DecimalSeparator()};
    ctx.health = &health;
    ctx.language = o_.language;
    report::ShowSmartData(ctx);
  }
  const auto& lines = report_.lines();
  if (o_.json) {
    json out = {{"disk", *o_.disk}, {"report", details ? "details" : "smart"}, {"lines", json::array()}};
    for (const auto& l : lines) out["lines"].push_back(U8(l));
    if (details) {
      AddDriveFacts(out, facts);
      out["erase_features"] = EraseFeaturesJson(erase);
      out["hidden_sectors"] = HiddenSectorsJson(hidden);
      out["media"] = device::MediaWord(drive.media);
      // The report's facts, with this program's saved password looked up.
      out["purge"] = PurgeJson(
          PurgeOutlookFrom(p_, purge.facts, format::PurgeChoice::Best, PasswordFolder(p_, o_.recordsFolder)));
    } else {
      out["health"] = HealthJson(health, o_.language);
      AddSmartValues(out, health, o_.language);
    }
    PrintJson(out);
  } else {
    std::u16string text;
    for (const auto& l : lines) text += l + u"\n";
    Print(text);
  }
  return kExitCompleted;
}

void Cli::CheckErasable(const device::TDeviceTable& entry, const device::DriveFacts& drive) {
  const format::DiskIdentity disk = format::IdentityOf(entry, drive);
  const std::vector<std::u16string> accepted = ConfirmationsOf(disk);
  if (std::find(accepted.begin(), accepted.end(), TrimControl(*o_.confirmSerial)) == accepted.end()) {
    const std::u16string& expected = accepted.front();
    const bool noSerial = expected.rfind(u"NONE-", 0) == 0;
    // Behind a USB bridge the label's serial and Windows' differ: either names the disk.
    const std::u16string both = accepted.size() > 1 ? u": the drive's own serial is " + ControlPictures(accepted[0]) +
                                                          u", Windows shows " + ControlPictures(accepted[1]) +
                                                          u"; either names it"
                                                    : std::u16string();
    throw CliFailure{kExitRefused, u"refused: --confirm-serial \"" + ControlPictures(*o_.confirmSerial) +
                                       u"\" does not name " + DiskName() + u" (" + ControlPictures(dev_.DeviceTitle) + u")" +
                                       (noSerial ? u", which has no serial number: give --confirm-serial " + expected
                                                 : both) +
                                       u"; nothing was written",
                     "serial-mismatch"};
  }
  // `list` asks the same, so that it never calls erasable a disk refused here.
  if (const auto size = SizeRefusal(entry, DiskName()))
    throw CliFailure{kExitRefused,
                     u"refused: " + size->text +
                         (size->code == kNoCapacity ? u"; there is nothing to erase"
                                                    : u"; the window program refuses it too, and so does this one. "
                                                      u"Nothing was written"),
                     size->code};
}

std::u16string Cli::RecordsFolder(std::uint32_t number) {
  const std::u16string given = o_.recordsFolder.empty() ? format::DefaultRecordsFolder(p_) : o_.recordsFolder;
  if (given.empty())
    throw CliFailure{kExitRecordsFolder,
                     u"refused: the system tells no folder for the records; give --records DIR. Nothing was written",
                     format::kRecordsFolderUnusable};
  const format::RecordsFolder folder = format::PrepareRecordsFolder(p_, given, number);
  if (folder.refusal)
    throw CliFailure{kExitRecordsFolder,
                     u"refused: " + format::RefusalText(p_, *folder.refusal, DiskName()) +
                         (folder.refusal->why == format::FolderRefusal::Why::OnErasedDisk ? u"; give --records on another disk"
                                                                                          : u"") +
                         u". Nothing was written",
                     format::RefusalCode(*folder.refusal)};
  if (folder.failure)
    throw CliFailure{kExitRecordsFolder, u"refused: no record could be saved in " +
                                             (folder.folder.empty() ? given : folder.folder) + u": " +
                                             folder.failure->path + u": (" + DecimalText(folder.failure->error) + u") " +
                                             p_.SystemMessage(folder.failure->error) + u" Nothing was written",
                     format::kRecordsFolderUnusable};
  return folder.folder;
}

namespace {

// A volume of the disk that could not be taken away, named; in use (open
// files) is worth trying again later, anything else is a refusal.
CliFailure LockFailed(win::Platform& p, const std::optional<format::VolumeLockFailure>& failure) {
  if (!failure) return CliFailure{kExitRefused, u"refused: a volume on the disk could not be locked; nothing was written",
                                          "volume-lock-failed"};
  const std::u16string why = format::VolumeLockFailureText(p, *failure);
  if (failure->InUse())
    return CliFailure{kExitInUse, u"in use: " + why + u" Close its files and try again later. Nothing was written",
                      "volume-in-use"};
  return CliFailure{kExitRefused, u"refused: " + why + u" Nothing was written", "volume-lock-failed"};
}

// The purge asked for cannot run here: the reason and its code, nothing sent.
CliFailure PurgeUnavailable(const format::Refusal& why) {
  return CliFailure{kExitPurgeUnavailable,
                    u"not available here: the purge asked for cannot run on this disk: " + why.text + u" (" +
                        Utf8ToUtf16(why.code) + u"). Nothing was sent",
                    why.code};
}

// A zero fill's exit code, from its outcome word.
int EraseExitCode(const std::u16string& word) {
  if (word == u"completed-with-errors") return kExitCompletedWithErrors;
  if (word == u"verify-failed") return kExitVerifyFailed;
  if (word == u"cancelled") return kExitCancelled;
  if (word == u"terminated" || word == u"erased-verify-terminated") return kExitTerminated;
  if (word == u"erased-verify-cancelled") return kExitErasedVerifyCancelled;
  return kExitCompleted;
}

// A purge's: purged, unverified, or failed (a lying drive, a stall, an interruption among them).
int PurgeExitCode(const format::PurgeResult& purge) {
  switch (purge.outcome) {
    case format::PurgeOutcome::Purged: return kExitCompleted;
    case format::PurgeOutcome::Unverified: return kExitPurgeUnverified;
    case format::PurgeOutcome::Failed: break;
  }
  return kExitPurgeFailed;
}

// Each volume's reason in the message; the first one's word in the JSON.
CliFailure VolumesRefused(const std::vector<format::Refusal>& reasons) {
  std::u16string text;
  for (const format::Refusal& reason : reasons) text += u" " + reason.text;
  return CliFailure{kExitRefused, u"refused: nothing was written." + text, reasons.front().code};
}

} // namespace

void Cli::CheckPurgeRuns(const device::TDeviceTable& entry) {
  // A shared open: the plan asks, and sends nothing that changes the disk
  // (ATA pass-through needs a handle for reading and writing).
  const win::Handle h = p_.CreateFileW(entry.DevicePath, win::GENERIC_READ | win::GENERIC_WRITE,
                                       win::FILE_SHARE_READ | win::FILE_SHARE_WRITE, win::OPEN_EXISTING, 0);
  if (h == win::kInvalidHandle)
    throw CliFailure{kExitError, u"Error opening " + DiskName() + u": " + p_.SystemMessage(p_.GetLastError()),
                     "open-failed"};
  purge_ = PurgeOutlookOf(p_, h, entry, *o_.purge, PasswordFolder(p_, o_.recordsFolder));
  p_.CloseHandle(h);
  if (!purge_.plan.Runs()) throw PurgeUnavailable(purge_.plan.refusal);
}

int Cli::Erase() {
  const auto& entry = Choose(*o_.disk);
  // Asked as the scan asks it: the erase's check compares the drive's own serial, too.
  const device::DriveFacts drive = device::AskDrive(p_, entry.DeviceNumber, entry.IdentifyData);
  CheckErasable(entry, drive);
  // A disk whose volumes may not be taken away is refused for that first: it
  // tells more than a records folder on it would.
  if (o_.purge) CheckPurgeRuns(entry);
  if (const auto reasons = format::VolumeRefusals(p_, entry.DeviceNumber); !reasons.empty())
    throw VolumesRefused(reasons);
  // A disk whose sanitize runs or failed takes no zero fill (list says so too).
  if (!o_.purge)
    if (const auto busy = format::ZeroFillRefusal(SanitizeStatusOf(p_, entry.DeviceNumber, entry.IdentifyData.BusType)))
      throw CliFailure{kExitRefused, u"refused: " + DiskName() + u": " + busy->text + u". Nothing was written",
                       busy->code};
  // Where the record goes is settled before anything is locked or written: an
  // erase whose proof cannot be kept does not start.
  const std::u16string recordsFolder = RecordsFolder(entry.DeviceNumber);
  // A security erase sets a password: where it is kept is said before it is set.
  if (o_.purge) host_.Err(SecurityEraseNote(purge_, recordsFolder, entry.DeviceNumber));
  // Exclusive, as the window program opens it: nobody else writes while we work.
  Open(win::GENERIC_READ | win::GENERIC_WRITE, 0);
  bool stop = false;
  std::vector<win::Handle> volumes;
  ConsoleProgress progress(host_, p_, stop);
  // Closing the console or the session's end, heard on the host's own thread,
  // stop the run and have its record saved, at the next pump or from the run's copy.
  format::RunWatch watch;
  std::function<void()> saveRecordNow;
  ConsoleErase end(p_, watch, host_.EraseThread(), o_.purge.has_value());
  progress.WatchEnd(&end, &saveRecordNow);
  format::FormatContext ctx{p_, progress, false, stop, volumes, p_.DecimalSeparator(), &saveRecordNow, &watch};
  ctx.language = o_.language;
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
  request.purge = o_.purge;
  request.verify = o_.verify;
  request.chosen = format::IdentityOf(entry, drive);
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
                                                     : std::u16string(u"not identified")),
                     "disk-changed"};
  if (result.stoppedBeforeWrite)
    throw CliFailure{kExitCancelled, u"stopped: the check of the disk was cancelled; nothing was written",
                     "check-cancelled"};
  if (result.notWritable != format::NotWritable::No)
    throw CliFailure{kExitRefused, u"refused: " + format::NotWritableEnglishText(result.notWritable), "not-writable"};
  if (!result.refusal.empty()) {
    std::u16string why = result.refusal;
    if (why[0] >= u'A' && why[0] <= u'Z') why[0] = static_cast<char16_t>(why[0] + 32);
    throw CliFailure{result.recordsFolderRefused ? kExitRecordsFolder : kExitRefused,
                     u"refused: " + why + u" Nothing was written", result.refusalCode};
  }
  if (result.purgeRefusal) throw PurgeUnavailable(*result.purgeRefusal);
  if (!result.volumeRefusals.empty()) throw VolumesRefused(result.volumeRefusals);
  if (!result.volumesLocked) throw LockFailed(p_, result.lockFailure);

  const std::u16string word = format::OutcomeWord(*result.record);
  const std::optional<format::PurgeResult>& purge = result.record->purge;
  int code = purge ? PurgeExitCode(*purge) : EraseExitCode(word);
  const bool saved = result.saved && result.saved->saved;
  if (code == kExitCompleted && !saved) code = kExitRecordNotSaved;
  if (o_.json) {
    PrintJson(json::parse(format::RecordJson(*result.record)));
  } else {
    Print(purge ? PurgeSummary(*purge) : u"outcome: " + word + u"\n");
    if (const std::string note = format::QuickWipeNote(*result.record); !note.empty())
      Print(u"note: " + Utf8ToUtf16(note) + u"\n");
    Print(CategoryLine(*result.record));
    if (saved) Print(u"record: " + result.saved->textPath + u"\nrecord: " + result.saved->jsonPath + u"\n");
  }
  if (!saved && result.saved)
    host_.Err(u"error: the erase record could not be saved to " + result.saved->failedPath + u": " +
              p_.SystemMessage(result.saved->error) + u"\n");
  return code;
}

namespace {

// The undo's outcome as a word, and its exit code.
const char* UndoWord(format::PasswordUndo::Outcome outcome) {
  switch (outcome) {
    case format::PasswordUndo::Outcome::Removed: return "removed";
    case format::PasswordUndo::Outcome::NotTried: return "not-tried";
    case format::PasswordUndo::Outcome::Refused: return "refused";
    case format::PasswordUndo::Outcome::Failed: break;
  }
  return "failed";
}

int UndoExitCode(format::PasswordUndo::Outcome outcome) {
  switch (outcome) {
    case format::PasswordUndo::Outcome::Removed: return kExitCompleted;
    case format::PasswordUndo::Outcome::NotTried: return kExitPasswordNotTried;
    case format::PasswordUndo::Outcome::Refused:
    case format::PasswordUndo::Outcome::Failed: break;
  }
  return kExitPasswordNotRemoved;
}

// Why a disk that FindStrandedDisk did not find has no password of ours to take away.
CliFailure NothingToUnlock(win::Platform& p, win::Handle h, const device::TDeviceTable& entry,
                           const std::u16string& disk, const std::u16string& folder) {
  const std::int64_t bus = entry.IdentifyData.BusType;
  if (bus != device::kAtaBus && bus != device::kSataBus)
    return CliFailure{kExitRefused,
                      u"refused: " + disk + u" is not on an ATA or SATA adapter: this program sets no password on it. "
                                            u"Nothing was sent",
                      "no-saved-password"};
  device::AtaBlock identify{};
  if (!device::ReadIdentifyPassThrough(p, h, identify) || !HasPassword(identify))
    return CliFailure{kExitRefused, u"refused: " + disk + u" has no password set: there is nothing to take away. Nothing was sent",
                      "no-password-set"};
  return CliFailure{kExitRefused,
                    u"refused: " + disk + u" has a password set, but no password file of this program's in " + folder +
                        u" matches its serial: it was not set by this program here (give --records with the folder "
                        u"the erase used). Nothing was sent",
                    "no-saved-password"};
}

} // namespace

int Cli::Unlock() {
  const auto& entry = Choose(*o_.disk);
  const std::u16string folder = PasswordFolder(p_, o_.recordsFolder);
  if (folder.empty())
    throw CliFailure{kExitRecordsFolder,
                     u"refused: the system tells no folder for the records; give --records DIR. Nothing was sent",
                     format::kRecordsFolderUnusable};
  // Shared, as the reports open it: the pass-through needs reading and writing.
  Open(win::GENERIC_READ | win::GENERIC_WRITE, win::FILE_SHARE_READ | win::FILE_SHARE_WRITE);
  const std::int64_t bus = entry.IdentifyData.BusType;
  std::optional<format::StrandedDisk> stranded;
  if (bus == device::kAtaBus || bus == device::kSataBus)
    stranded = format::FindStrandedDisk(p_, dev_.DeviceHandle, entry.DeviceNumber, folder);
  if (!stranded) throw NothingToUnlock(p_, dev_.DeviceHandle, entry, DiskName(), folder);
  const std::u16string state = Utf8ToUtf16(device::SecurityStateWord(stranded->state));
  format::PasswordUndo undo = format::UndoSavedPassword(p_, dev_.DeviceHandle, stranded->saved);
  const int code = UndoExitCode(undo.outcome);
  if (o_.json) {
    PrintJson({{"disk", *o_.disk},
               {"state", U8(state)},
               {"frozen", stranded->frozen},
               {"count_expired", stranded->countExpired},
               {"password_file", U8(stranded->saved.path)},
               {"set_at", stranded->saved.setAt},
               {"outcome", UndoWord(undo.outcome)},
               {"code", undo.code},
               {"text", U8(undo.text)},
               {"exit_code", code}});
  } else {
    Print(DiskName() + u": " + state + u", with the password this program saved in " + stranded->saved.path + u"\n" +
          u"outcome: " + Utf8ToUtf16(UndoWord(undo.outcome)) + u" (" + Utf8ToUtf16(undo.code) + u")\n" + undo.text +
          u"\n");
  }
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
    throw CliFailure{kExitNotElevated, u"run this from an elevated prompt (as administrator): disks are opened directly",
                     "not-elevated"};
  if (o_.command == Command::List) return List();
  if (o_.command == Command::Erase) return Erase();
  if (o_.command == Command::Unlock) return Unlock();
  return Report();
}

// The JSON a refused or failed command prints with --json.
json FailureJson(const CliFailure& f) {
  const bool refused = f.code == kExitRefused || f.code == kExitRecordsFolder || f.code == kExitPurgeUnavailable;
  const char* outcome = refused                      ? "refused"
                        : f.code == kExitNotElevated ? "not-elevated"
                        : f.code == kExitCancelled   ? "cancelled"
                        : f.code == kExitInUse       ? "in-use"
                                                     : "error";
  return {{"outcome", outcome},
          {"code", f.word},
          {"exit_code", f.code},
          {"message", U8(f.message)}};
}

// Says why the command ended on standard error and, with --json, as JSON; the exit code.
int Failed(CliHost& host, const CliFailure& f, bool asJson) {
  host.Err(u"trevasso-cli: " + f.message + u"\n");
  if (asJson) host.Out(JsonText(FailureJson(f)));
  return f.code;
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
    return Failed(host, f, options.json);
  } catch (const std::exception& e) {
    // Out of memory for the transfer buffer, say: an error, never a code a script reads otherwise.
    return Failed(host, CliFailure{kExitError, Utf8ToUtf16(e.what()), "unexpected-failure"}, options.json);
  } catch (...) {
    return Failed(host, CliFailure{kExitError, u"unexpected failure", "unexpected-failure"}, options.json);
  }
}

} // namespace trv::cli

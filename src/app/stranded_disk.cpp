// After the scan: a disk that an erase of this program left with a password
// (a security erase cut off by a power loss, refused after SET PASSWORD) is
// found by its serial's saved password file, and the user chooses to finish
// the erase, to take the password away, or to leave the disk as it is.
#include "app/app.h"
#include "app/logs.h"
#include "app/purge_tab.h"
#include "device/identify.h"
#include "format/ata_password_file.h"
#include "format/ata_password_undo.h"
#include "format/records_folder.h"
#include "platform/text.h"
#include "report/number_text.h"
#include "ui/vista_funcs.h"

namespace trv::app {

namespace {

// A shared open for reading and writing, as the pass-through needs; none when it fails.
win::Handle OpenShared(win::Platform& p, const std::u16string& path) {
  return p.CreateFileW(path, win::GENERIC_READ | win::GENERIC_WRITE, win::FILE_SHARE_READ | win::FILE_SHARE_WRITE,
                       win::OPEN_EXISTING, 0);
}

// Whether a password file is kept for the serial the scan read (Windows' view
// of the drive's own serial, as the erase names the file).
bool PasswordFileThere(win::Platform& p, const std::u16string& folder, const device::TDeviceTable& entry) {
  const std::u16string path =
      format::PathIn(folder, format::PasswordFileName(Utf16ToUtf8(TrimControl(entry.IdentifyData.SN))));
  const std::uint32_t attributes = p.GetFileAttributesW(path);
  return attributes != win::INVALID_FILE_ATTRIBUTES && (attributes & win::FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// UNLOCK then DISABLE PASSWORD with the saved password, once; the box says what was done.
void RemovePassword(App& app, const device::TDeviceTable& entry, format::StrandedDisk& disk) {
  auto& p = app.platform;
  const win::Handle h = OpenShared(p, entry.DevicePath);
  if (h == win::kInvalidHandle) {
    app.ui.MessageBox(app.FmMain.handle,
                      u"The disk could not be opened: " + p.SystemMessage(p.GetLastError()) + u" Nothing was sent.",
                      u"Password not removed", win::MB_ICONERROR | win::MB_OK);
    return;
  }
  const format::PasswordUndo undo = format::UndoSavedPassword(p, h, disk.saved);
  p.CloseHandle(h);
  const bool removed = undo.outcome == format::PasswordUndo::Outcome::Removed;
  AddToLog(app, undo.text);
  app.ui.MessageBox(app.FmMain.handle, undo.text, removed ? u"Password removed" : u"Password not removed",
                    (removed ? win::MB_ICONINFORMATION : win::MB_ICONERROR) | win::MB_OK);
}

} // namespace

std::int64_t TFmMain::OfferStrandedDisks() {
  App& app = app_;
  auto& p = app.platform;
  const std::u16string folder = PasswordFolder(p);
  if (folder.empty()) return 0;
  for (std::int64_t i = 1; i <= app.dev.DeviceCount && i <= device::kDeviceTableSlots; ++i) {
    const device::TDeviceTable& entry = app.dev.Devices[static_cast<std::size_t>(i)];
    // Only a disk on an ATA or SATA adapter ever gets a password of ours.
    if (entry.IdentifyData.BusType != device::kAtaBus && entry.IdentifyData.BusType != device::kSataBus) continue;
    // Opened only when a password file for the serial the scan read is there:
    // the start of the program sends no disk anything more than its scan.
    if (!PasswordFileThere(p, folder, entry)) continue;
    const win::Handle h = OpenShared(p, entry.DevicePath);
    if (h == win::kInvalidHandle) continue;
    std::optional<format::StrandedDisk> stranded = format::FindStrandedDisk(p, h, entry.DeviceNumber, folder);
    p.CloseHandle(h);
    if (!stranded) continue;
    const std::u16string title =
        u"Disk " + DecimalText(entry.DeviceNumber) + u": " + report::GetDeviceDescription(app.dev, i, p.DecimalSeparator());
    const int answer = ui::ShowTaskDialog(p, app.ui, handle, kStrandedCaption, kStrandedInstruction,
                                          StrandedDiskText(title, *stranded), ui::kTdWarningIcon,
                                          ui::kTdYes | ui::kTdNo | ui::kTdCancel);
    if (answer == win::IDYES) return i;
    if (answer == win::IDNO) RemovePassword(app, entry, *stranded);
  }
  return 0;
}

void TFmMain::FinishStrandedErase() {
  // The format tab as the user would set it: the purge box checked, then the
  // format command with its questions and its confirmation.
  pages.SetActivePage(1);
  if (!PurgeOffered()) {
    app_.ui.MessageBox(handle, u"The erase cannot be finished here: nothing was sent.\r\n\r\n" + PurgeChoiceText(*purgePlan_),
                       u"Purge refused", win::MB_ICONERROR | win::MB_OK);
    return;
  }
  cbPurge.SetChecked(true);
  cbQuickWipe.SetChecked(false);
  RunFormat();
}

} // namespace trv::app

// ATA commands carried to the disk through the S.M.A.R.T. and SCSI miniport
// control requests. Each returns only whether it worked.
#pragma once
#include <array>
#include <cstdint>
#include <span>

#include "platform/platform.h"

namespace trv::device {

using AtaBlock = std::array<std::uint8_t, 512>;

// The 512-byte IDENTIFY DEVICE block as the device sent it; `block` untouched on failure.
bool ReadIdentify(win::Platform& platform, win::Handle handle, std::uint8_t drive, AtaBlock& block);
// The 512-byte SMART READ DATA block; `block` untouched on failure.
bool ReadSmartData(win::Platform& platform, win::Handle handle, std::uint8_t drive, AtaBlock& block);

// How a 512-byte S.M.A.R.T. read came out. A driver that reports between 512 and
// 527 bytes has not returned the whole SENDCMDOUTPARAMS record: its last 512
// bytes would be the block shifted, so that answer is a failure of its own.
struct SmartRead {
  enum class Outcome { Ok, Failed, Short };
  Outcome outcome = Outcome::Failed;
  std::uint32_t bytes = 0;  // what the short answer reported
  bool ok() const { return outcome == Outcome::Ok; }
};
// SMART READ DATA (D0h) and SMART READ THRESHOLDS (D1h): SMART_RCV_DRIVE_DATA,
// then SMART_SEND_DRIVE_COMMAND; `block` untouched unless the outcome is Ok.
SmartRead ReadSmartDataChecked(win::Platform& platform, win::Handle handle, std::uint8_t drive, AtaBlock& block);
SmartRead ReadSmartThresholds(win::Platform& platform, win::Handle handle, std::uint8_t drive, AtaBlock& block);

// SMART RETURN STATUS (DAh) through SMART_SEND_DRIVE_COMMAND: the drive's own
// verdict in the returned cylinder registers, 4Fh/C2h good and F4h/2Ch failing.
// Unknown when the request worked but the registers hold neither pair (drivers
// that do not pass them back); NotRead when the request failed. NotPassed only
// over a USB bridge (see ReadSmartStatusAnyPath): the bridge ran the command
// but returns no registers, a limit of the bridge and not a failure to read.
enum class SmartStatus { NotRead, Good, Failing, Unknown, NotPassed };
SmartStatus ReadSmartStatus(win::Platform& platform, win::Handle handle, std::uint8_t drive);
bool SmartEnable(win::Platform& platform, win::Handle handle, std::uint8_t drive);
bool SmartDisable(win::Platform& platform, win::Handle handle, std::uint8_t drive);

} // namespace trv::device

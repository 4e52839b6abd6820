// The guard against erasing a disk other than the one the user saw: between
// the scan and the erase a removable disk can be pulled and another one take
// its number. Before the first write the opened handle is identified again,
// the same way the scan identified the chosen entry, and the two must agree.
#pragma once
#include <optional>
#include <string>

#include "device/device_records.h"
#include "format/disk_identity.h"
#include "platform/platform.h"

namespace trv::format {

// The identity of a scanned entry, with what its drive said of itself.
DiskIdentity IdentityOf(const device::TDeviceTable& entry, const device::DriveFacts& drive = {});

// Who the disk behind `handle` is now; none when it does not answer.
// `askDrive`: the drive itself is asked too (the chosen disk's drive answered at the scan).
std::optional<DiskIdentity> ReadDiskIdentity(win::Platform& platform, win::Handle handle, std::uint32_t number,
                                             bool askDrive = false);

// Windows' model, serial and capacity agree; and where the drive named itself
// at the scan, it names itself the same now. Two drives in one USB dock share
// the bridge's serial: only the drive's own tells them apart.
bool SameDisk(const DiskIdentity& chosen, const DiskIdentity& now);

// "model, 序列号 serial, N 字节" for log lines and the error box: Windows' view, as the window always showed it.
std::u16string DescribeDisk(const DiskIdentity& disk);
// "model, serial S, N bytes", for the console program: the drive's own, with
// Windows' view beside it where that differs.
std::u16string DescribeDiskInEnglish(const DiskIdentity& disk);

} // namespace trv::format

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

// The identity of a scanned entry.
DiskIdentity IdentityOf(const device::TDeviceTable& entry);

// Who the disk behind `handle` is now; none when it does not answer.
std::optional<DiskIdentity> ReadDiskIdentity(win::Platform& platform, win::Handle handle, std::uint32_t number);

// Model, serial and capacity agree.
bool SameDisk(const DiskIdentity& chosen, const DiskIdentity& now);

// "model, 序列号 serial, N 字节" for log lines and the error box.
std::u16string DescribeDisk(const DiskIdentity& disk);
// "model, serial S, N bytes", for the console program.
std::u16string DescribeDiskInEnglish(const DiskIdentity& disk);

} // namespace trv::format

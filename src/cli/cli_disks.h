// What the console's commands share about the scanned disks: the ones that
// could not be read, how a disk is confirmed, and whether its size lets it be
// erased (asked alike by `list` and `erase`, so the two never disagree).
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "device/device_records.h"
#include "format/disk_identity.h"
#include "format/refusal.h"

namespace trv::cli {

// A disk that answers the scan's open, or its queries, with an error.
struct UnreadableDisk {
  std::uint32_t error = 0;
  std::u16string reason;
};

// Its code, in `list --json` and in a command's failure.
inline constexpr char kDiskUnreadable[] = "disk-unreadable";

using ScannedDisks = std::map<std::uint32_t, device::TDeviceTable>;
using UnreadableDisks = std::map<std::uint32_t, UnreadableDisk>;

// What --confirm-serial may be for a disk, the label's serial first: the
// drive's own serial and Windows' (behind a USB bridge, the bridge's). A disk
// with neither is confirmed by its size instead ("NONE-<bytes>"), so a script
// still names exactly one disk.
std::vector<std::u16string> ConfirmationsOf(const format::DiskIdentity& disk);

// The list's "Windows shows" column: Windows' model and serial where they
// differ from the drive's own, else "same".
std::u16string WindowsViewColumn(const format::DiskIdentity& disk);

// The window program's selection dialog refuses smaller disks; so does the console.
inline constexpr std::int64_t kSmallestErasableSectors = 65535;
inline constexpr char kNoCapacity[] = "no-capacity";
inline constexpr char kTooSmall[] = "too-small";
// Why the disk's size alone refuses an erase, starting with `diskName`
// ("disk 1 has 65,534 sectors, fewer than 65,535"); none when it does not.
std::optional<format::Refusal> SizeRefusal(const device::TDeviceTable& entry, const std::u16string& diskName);

// ASCII only, every other character escaped: a reader that decodes the
// output with the wrong code page (a remote session) still gets every serial right.
std::u16string JsonText(const nlohmann::ordered_json& document);

} // namespace trv::cli

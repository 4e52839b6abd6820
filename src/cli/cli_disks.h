// What the console's commands share about the scanned disks: the ones that
// could not be read, how a disk is confirmed, and whether its size lets it be
// erased (asked alike by `list` and `erase`, so the two never disagree).
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "device/device_records.h"
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

// Without the blanks a descriptor pads its texts with.
std::u16string Trimmed(const std::u16string& s);

// The text `--confirm-serial` must give for the disk.
std::u16string ExpectedConfirmation(const device::TDeviceTable& entry);

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

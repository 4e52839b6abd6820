// NVMe data read through the storage stack's protocol-specific queries: the
// Identify Controller and Identify Namespace blocks and the SMART / Health
// Information log. Windows 7 and 8 know none of these queries; there every read
// simply fails.
#pragma once
#include <array>
#include <cstdint>
#include <span>

#include "platform/platform.h"

namespace trv::device {

inline constexpr std::int64_t kNvmeBus = 17;  // the storage bus type of NVMe disks

using NvmeIdentifyBlock = std::array<std::uint8_t, 4096>;
using NvmeLogBlock = std::array<std::uint8_t, 512>;

// Each returns whether the whole block arrived; `block` is untouched on failure.
bool ReadNvmeIdentifyController(win::Platform& platform, win::Handle handle, NvmeIdentifyBlock& block);
// The namespace of the disk `handle` is open on (see IOCTL_SCSI_GET_ADDRESS).
std::uint32_t NvmeNamespaceId(win::Platform& platform, win::Handle handle);
bool ReadNvmeIdentifyNamespace(win::Platform& platform, win::Handle handle, NvmeIdentifyBlock& block);
// Log page 02h for the whole controller (all namespaces).
bool ReadNvmeHealthLog(win::Platform& platform, win::Handle handle, NvmeLogBlock& block);
// Any 512-byte log page of the controller (81h: Sanitize Status).
bool ReadNvmeLogPage(win::Platform& platform, win::Handle handle, std::uint32_t page, NvmeLogBlock& block);

// The data of one answer: `answer` is the output buffer, `returned` the count
// the driver reported. Every length and offset the answer gives is checked
// before the data is read; a short answer, or one pointing outside itself,
// gives false and leaves `data` untouched.
bool TakeNvmeData(std::span<const std::uint8_t> answer, std::uint32_t returned, std::span<std::uint8_t> data);

} // namespace trv::device

// The memory the disk I/O reads into and writes from: whole pages from
// VirtualAlloc, zero-filled and page-aligned, as a raw disk's driver may
// require; and the check, once before a run, that the disk's adapter asks for
// no stricter alignment than that.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace trv::format {

// What every buffer's address is a multiple of: a page.
inline constexpr std::uint32_t kIoBufferAlignment = 4096;

class IoBuffer {
 public:
  IoBuffer() = default;
  // Throws std::bad_alloc when the system has no memory for it, as the heap would.
  IoBuffer(win::Platform& platform, std::size_t size);
  ~IoBuffer() { reset(); }
  IoBuffer(IoBuffer&& other) noexcept;
  IoBuffer& operator=(IoBuffer&& other) noexcept;
  IoBuffer(const IoBuffer&) = delete;
  IoBuffer& operator=(const IoBuffer&) = delete;

  std::uint8_t* get() const { return data_; }
  // Gives the memory back (VirtualFree).
  void reset();

 private:
  win::Platform* platform_ = nullptr;
  std::uint8_t* data_ = nullptr;
};

// The adapter's alignment mask (IOCTL_STORAGE_QUERY_PROPERTY,
// StorageAdapterProperty: STORAGE_ADAPTER_DESCRIPTOR.AlignmentMask); none when
// the adapter does not say.
std::optional<std::uint32_t> AdapterAlignmentMask(win::Platform& platform, win::Handle disk);
// Why a run may not use the program's buffers on this disk (a mask that asks
// for more than page alignment); empty when it may.
std::u16string AlignmentRefusal(std::optional<std::uint32_t> mask);

} // namespace trv::format

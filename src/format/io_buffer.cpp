#include "format/io_buffer.h"

#include <array>
#include <new>

#include "device/storage_records.h"
#include "platform/records.h"
#include "platform/text.h"

namespace trv::format {

namespace storage = device::storage;

namespace {

// "0x1FFF", as the driver's documentation writes a mask.
std::u16string MaskText(std::uint32_t mask) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), u"0123456789ABCDEF"[mask & 0xF]);
    mask >>= 4;
  } while (mask != 0);
  return u"0x" + digits;
}

} // namespace

IoBuffer::IoBuffer(win::Platform& platform, std::size_t size)
    : platform_(&platform), data_(static_cast<std::uint8_t*>(platform.VirtualAlloc(size))) {
  if (!data_) throw std::bad_alloc();
}

IoBuffer::IoBuffer(IoBuffer&& other) noexcept : platform_(other.platform_), data_(other.data_) { other.data_ = nullptr; }

IoBuffer& IoBuffer::operator=(IoBuffer&& other) noexcept {
  if (this != &other) {
    reset();
    platform_ = other.platform_;
    data_ = other.data_;
    other.data_ = nullptr;
  }
  return *this;
}

void IoBuffer::reset() {
  if (data_) platform_->VirtualFree(data_);
  data_ = nullptr;
}

std::optional<std::uint32_t> AdapterAlignmentMask(win::Platform& p, win::Handle disk) {
  std::array<std::uint8_t, storage::kPropertyQuerySize> query{};
  rec::Put32(query, storage::kQueryPropertyId, storage::StorageAdapterProperty);
  rec::Put32(query, storage::kQueryType, storage::PropertyStandardQuery);
  std::array<std::uint8_t, storage::kAdapterDescriptorSize> answer{};
  std::uint32_t returned = 0;
  // An answer too short to hold the mask says nothing about it.
  if (!p.DeviceIoControl(disk, storage::IOCTL_STORAGE_QUERY_PROPERTY, query.data(), storage::kPropertyQuerySize,
                         answer.data(), storage::kAdapterDescriptorSize, &returned) ||
      returned < storage::kAdapterAlignmentMask + 4)
    return std::nullopt;
  return rec::U32(answer, storage::kAdapterAlignmentMask);
}

std::u16string AlignmentRefusal(std::optional<std::uint32_t> mask) {
  // Every transfer starts at a buffer's start or 64 KiB into it: page-aligned.
  if (!mask || (*mask & ~(kIoBufferAlignment - 1)) == 0) return {};
  return u"The disk's adapter asks for transfer buffers aligned to " + DecimalText(static_cast<std::uint64_t>(*mask) + 1) +
         u" bytes (alignment mask " + MaskText(*mask) + u"), more than the " + DecimalText(kIoBufferAlignment) +
         u" bytes this program's buffers are aligned to: the disk cannot be erased with them.";
}

} // namespace trv::format

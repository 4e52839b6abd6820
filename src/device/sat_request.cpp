#include "device/sat_request.h"

#include <algorithm>

#include "platform/records.h"

namespace trv::device::sat {

void PutRecord(std::span<std::uint8_t> buffer, const Cdb& cdb, std::uint8_t dataIn, std::uint32_t transfer) {
  rec::Put16(buffer, kSptLength, kSptSize);
  rec::Put8(buffer, kSptCdbLength, kCdbLength);
  rec::Put8(buffer, kSptSenseInfoLength, kSenseLength);
  rec::Put8(buffer, kSptDataIn, dataIn);
  rec::Put32(buffer, kSptDataTransferLength, transfer);
  rec::Put32(buffer, kSptTimeOutValue, kTimeoutSeconds);
  const std::uint64_t dataAt = transfer ? kDataOffset : 0;
  if constexpr (kSpt.dataBufferOffsetSize == 8) rec::Put64(buffer, kSptDataBufferOffset, dataAt);
  else rec::Put32(buffer, kSptDataBufferOffset, static_cast<std::uint32_t>(dataAt));
  rec::Put32(buffer, kSptSenseInfoOffset, kSenseOffset);
  for (std::size_t i = 0; i < kCdbLength; ++i) rec::Put8(buffer, kSptCdb + i, cdb[i]);
}

std::uint8_t SenseKey(std::span<const std::uint8_t> sense, std::size_t length) {
  if (length == 0) return kSenseNoSense;
  const std::uint8_t response = rec::U8(sense, 0) & 0x7F;
  const std::size_t at = (response == 0x72 || response == 0x73) ? 1 : 2;
  return at < length ? (rec::U8(sense, at) & 0x0F) : kSenseNoSense;
}

std::size_t SenseLength(std::span<const std::uint8_t> answer) {
  return std::min<std::size_t>(rec::U8(answer, kSptSenseInfoLength), kSenseLength);
}

} // namespace trv::device::sat

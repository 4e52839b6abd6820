// The fuzzer's bytes read as a stream of small decisions, numbers and chunks.
// Reading past the end gives zeros and empty chunks, so every input is usable.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace trv::fuzz {

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool Empty() const { return pos_ >= size_; }
  std::uint8_t Byte() { return Empty() ? std::uint8_t{0} : data_[pos_++]; }
  // `bytes` bytes, low byte first.
  std::uint64_t Number(std::size_t bytes) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < bytes; ++i) v |= std::uint64_t{Byte()} << (8 * i);
    return v;
  }
  std::uint16_t U16() { return static_cast<std::uint16_t>(Number(2)); }
  std::uint32_t U32() { return static_cast<std::uint32_t>(Number(4)); }
  // Up to `n` bytes: fewer when the input ends first.
  std::vector<std::uint8_t> Bytes(std::size_t n) {
    const std::size_t take = std::min(n, size_ - std::min(pos_, size_));
    std::vector<std::uint8_t> out(data_ + pos_, data_ + pos_ + take);
    pos_ += take;
    return out;
  }
  // A chunk whose length (at most `max`) comes first, as two bytes.
  std::vector<std::uint8_t> Chunk(std::size_t max) { return Bytes(U16() % (max + 1)); }
  std::vector<std::uint8_t> Rest() { return Bytes(size_); }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

} // namespace trv::fuzz

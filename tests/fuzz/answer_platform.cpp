#include "answer_platform.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/win_types.h"

namespace trv::fuzz {

namespace {
constexpr std::uint8_t kScribble = 0xEE;
}

AnswerPlatform::AnswerPlatform(FuzzInput input, Beyond beyond, sim::Scenario scenario)
    : sim::SimPlatform(std::move(scenario)), input_(input), beyond_(beyond) {}

bool AnswerPlatform::DeviceIoControl(win::Handle handle, std::uint32_t code, const void* in, std::uint32_t inSize,
                                     void* out, std::uint32_t outSize, std::uint32_t* returned) {
  (void)handle, (void)in, (void)inSize;
  codes_.push_back(code);
  if (returned) *returned = 0;
  auto* bytes = static_cast<std::uint8_t*>(out);
  const std::uint32_t room = bytes ? outSize : 0;
  const bool ended = input_.Empty();
  const std::uint8_t outcome = static_cast<std::uint8_t>(input_.Byte() & 3);
  std::uint32_t written = 0;
  bool ok = false;
  if (ended || outcome == 2) {
    lastError_ = win::ERROR_INVALID_FUNCTION;
  } else if (outcome == 1) {
    lastError_ = 0;
  } else {
    const std::uint32_t reported = input_.U16();
    const std::vector<std::uint8_t> answer = input_.Bytes(std::min(reported, room));
    std::copy(answer.begin(), answer.end(), bytes);
    written = static_cast<std::uint32_t>(answer.size());
    // A count the input could not fill still counts: the bytes were "written" as zeros.
    if (written < std::min(reported, room)) {
      std::fill(bytes + written, bytes + std::min(reported, room), std::uint8_t{0});
      written = std::min(reported, room);
    }
    if (returned) *returned = reported;
    lastError_ = 0;
    ok = true;
  }
  if (beyond_ == Beyond::Scribbled && room > written) std::memset(bytes + written, kScribble, room - written);
  return ok;
}

win::Handle OpenDiskZero(sim::SimPlatform& pc, std::uint32_t access) {
  const std::uint32_t share = (access & win::GENERIC_WRITE) ? 0 : win::FILE_SHARE_READ | win::FILE_SHARE_WRITE;
  const win::Handle handle = pc.CreateFileW(u"\\\\.\\PhysicalDrive0", access, share, win::OPEN_EXISTING, 0);
  Require(handle != win::kInvalidHandle, "the simulated disk opens");
  return handle;
}

void Require(bool holds, const std::string& what) {
  if (holds) return;
  std::fprintf(stderr, "fuzz property broken: %s\n", what.c_str());
  std::abort();
}

} // namespace trv::fuzz

#include "device/nvme_sanitize.h"

#include "platform/records.h"

namespace trv::device {

SanitizeStatus::State SanitizeStatus::StateOf() const {
  const unsigned value = sstat & 0x7u;
  return value <= 4 ? static_cast<State>(value) : State::Other;
}

const char* SanitizeStateWord(SanitizeStatus::State state) {
  using State = SanitizeStatus::State;
  switch (state) {
    case State::Never: return "never";
    case State::Succeeded: return "succeeded";
    case State::InProgress: return "in-progress";
    case State::Failed: return "failed";
    case State::SucceededNoDeallocate: return "succeeded-no-deallocate";
    case State::Other: break;
  }
  return "other";
}

SanitizeStatus ParseSanitizeStatus(const NvmeLogBlock& log) {
  SanitizeStatus s;
  s.sprog = rec::U16(log, 0);
  s.sstat = rec::U16(log, 2);
  s.scdw10 = rec::U32(log, 4);
  s.overwriteTime = rec::U32(log, 8);
  s.blockEraseTime = rec::U32(log, 12);
  s.cryptoEraseTime = rec::U32(log, 16);
  s.overwriteNoDeallocateTime = rec::U32(log, 20);
  s.blockEraseNoDeallocateTime = rec::U32(log, 24);
  s.cryptoEraseNoDeallocateTime = rec::U32(log, 28);
  return s;
}

bool ReadNvmeSanitizeStatus(win::Platform& platform, win::Handle handle, SanitizeStatus& status) {
  NvmeLogBlock log{};
  if (!ReadNvmeLogPage(platform, handle, kSanitizeStatusLogPage, log)) return false;
  status = ParseSanitizeStatus(log);
  return true;
}

std::array<std::uint8_t, kReinitializeMediaSize> ReinitializeMediaInput(std::uint32_t timeoutSeconds,
                                                                       SanitizeMethod method,
                                                                       bool disallowUnrestrictedSanitizeExit) {
  std::array<std::uint8_t, kReinitializeMediaSize> input{};
  rec::Put32(input, 0, kReinitializeMediaSize);  // Version: the structure's size
  rec::Put32(input, 4, kReinitializeMediaSize);  // Size
  rec::Put32(input, 8, timeoutSeconds);
  const std::uint32_t options =
      (static_cast<std::uint32_t>(method) & 0xFu) | (disallowUnrestrictedSanitizeExit ? 0x10u : 0u);
  rec::Put32(input, 12, options);
  return input;
}

} // namespace trv::device

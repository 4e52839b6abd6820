// The libFuzzer entry of one harness; TREVASSO_FUZZ_TARGET names its target.
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return trv::fuzz::TREVASSO_FUZZ_TARGET(data, size);
}

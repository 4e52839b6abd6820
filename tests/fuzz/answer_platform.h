// A PC whose devices answer every control request with bytes from the fuzzer:
// the simulated PC of the tests, except that DeviceIoControl takes its outcome,
// its reported byte count and its bytes from the input, whatever was asked.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "platform/sim/sim_platform.h"

namespace trv::fuzz {

// What happens past the bytes a request reports: left as the caller had them,
// or overwritten, as by a driver that writes more than it says.
enum class Beyond { Untouched, Scribbled };

class AnswerPlatform : public sim::SimPlatform {
 public:
  // Each request takes from `input`: one byte of outcome (bits 0-1: 1 fails
  // with last error 0, 2 fails with ERROR_INVALID_FUNCTION, else it succeeds),
  // two bytes of reported count (which may exceed the output), then as many
  // bytes of answer as the output holds and the count covers. An empty input
  // fails every request.
  // The rest of the PC (volumes, for instance) is `scenario`'s.
  AnswerPlatform(FuzzInput input, Beyond beyond, sim::Scenario scenario = {});

  bool DeviceIoControl(win::Handle handle, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                       std::uint32_t outSize, std::uint32_t* returned) override;
  std::uint32_t GetLastError() override { return lastError_; }

  // The control codes asked, in order.
  const std::vector<std::uint32_t>& codes() const { return codes_; }

 private:
  FuzzInput input_;
  Beyond beyond_;
  std::uint32_t lastError_ = 0;
  std::vector<std::uint32_t> codes_;
};

// Stops the run with a message when a property every answer must keep is broken.
void Require(bool holds, const std::string& what);

// Opens \\.\PhysicalDrive0 of a simulated PC with this access, as the program does.
win::Handle OpenDiskZero(sim::SimPlatform& pc, std::uint32_t access);

// The two ways a device target reads its input: byte 0 odd, the rest are answers
// taken straight (`straight(data, size)`); even, the rest describes a simulated
// drive (`simulated(FuzzInput&)`).
template <typename Straight, typename Simulated>
int EitherWay(const std::uint8_t* data, std::size_t size, Straight straight, Simulated simulated) {
  if (size == 0) return 0;
  if (data[0] & 1) {
    straight(data[0], data + 1, size - 1);
  } else {
    FuzzInput in(data + 1, size - 1);
    simulated(in);
  }
  return 0;
}

} // namespace trv::fuzz

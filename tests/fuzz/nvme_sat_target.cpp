// The answers of NVMe disks and USB bridges as far as the two reports: the
// protocol-specific identify and health-log queries of a disk on bus 17, and
// the ATA pass-through of a disk on bus 7 whose ordinary ATA paths fail. Every
// answer (descriptor, data offset and length, sense data, transfer count) comes
// from the input.
#include "answer_platform.h"
#include "fuzz_targets.h"
#include "report_run.h"

namespace trv::fuzz {

namespace {

constexpr win::Handle kAnswerHandle = 1;

} // namespace

int NvmeAndBridgeAnswers(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::int64_t bus = (data[0] & 1) ? 17 : 7;
  AnswerPlatform plain(FuzzInput(data + 1, size - 1), Beyond::Untouched);
  AnswerPlatform scribbled(FuzzInput(data + 1, size - 1), Beyond::Scribbled);
  const Reports a = RunReports(plain, kAnswerHandle, bus, 0);
  const Reports b = RunReports(scribbled, kAnswerHandle, bus, 0);
  CheckReports(a);
  Require(a.details == b.details && a.smart == b.smart, "only the bytes an answer reports count");
  return 0;
}

} // namespace trv::fuzz

// The ATA answers of the chosen disk as far as the two reports: IDENTIFY DEVICE
// (S.M.A.R.T. path and miniport path) decoded into the details report, and
// SMART READ DATA tabulated into the S.M.A.R.T. report. Either through a
// simulated drive with fuzzed blocks, failures and answer sizes, or with every
// answer (SENDCMDOUTPARAMS, miniport buffer, any length) taken from the input.
#include <algorithm>

#include "answer_platform.h"
#include "fuzz_targets.h"
#include "report_run.h"

namespace trv::fuzz {

namespace {

constexpr win::Handle kAnswerHandle = 1;

std::optional<sim::Block512> MaybeBlock(FuzzInput& in, bool present) {
  if (!present) return std::nullopt;
  sim::Block512 b{};
  const std::vector<std::uint8_t> bytes = in.Bytes(512);
  std::copy(bytes.begin(), bytes.end(), b.begin());
  return b;
}

void ThroughSimulatedDrive(FuzzInput& in) {
  const std::uint8_t flags = in.Byte();
  const std::uint8_t fails = in.Byte();
  sim::SimDrive drive;
  drive.number = 0;
  drive.slave = (flags & 1) != 0;
  const std::int64_t bus = (flags & 2) ? 3 : 11;
  sim::SimAta ata;
  ata.receiveAnswerBytes = in.U16();
  ata.sendAnswerBytes = in.U16();
  ata.miniportAnswerBytes = in.U16();
  ata.smartEnableWorks = (flags & 4) == 0;
  ata.smartDisableWorks = (flags & 8) == 0;
  ata.sendCarriesReads = (flags & 16) != 0;
  ata.identifyFailures = (fails >> 4) & 3;
  const sim::DriveRequest failable[] = {sim::DriveRequest::SmartVersion, sim::DriveRequest::SmartReceive,
                                        sim::DriveRequest::SmartSend, sim::DriveRequest::Miniport};
  for (std::size_t k = 0; k < 4; ++k)
    if (fails & (1u << k)) drive.failWith[static_cast<std::size_t>(failable[k])] = (flags & 128) ? 0u : 31u;
  ata.identify = MaybeBlock(in, (flags & 32) == 0);
  ata.smartData = MaybeBlock(in, (flags & 64) == 0);
  drive.smartVersion = std::vector<std::uint8_t>(24, 0);
  drive.ata = ata;

  sim::Scenario scenario;
  scenario.drives.push_back(std::move(drive));
  sim::SimPlatform pc(std::move(scenario));
  const sim::SimDrive& d = pc.scenario().drives[0];
  // The feature set as the drive has it before the report (see the simulated drive).
  const bool onBefore = !d.ata->identify || ((*d.ata->identify)[2 * 85] & 1) != 0;
  const win::Handle handle = OpenDiskZero(pc, win::GENERIC_READ | win::GENERIC_WRITE);
  CheckReports(RunReports(pc, handle, bus, d.slave ? 1 : 0));
  const bool onAfter = d.runtime.smartEnabled.value_or(onBefore);
  Require(!onBefore || onAfter, "a drive with S.M.A.R.T. on is left with it on");
  pc.CloseHandle(handle);
}

void ThroughAnswers(std::uint8_t flags, const std::uint8_t* data, std::size_t size) {
  const std::int64_t bus = (flags & 2) ? 3 : 11;
  const std::uint8_t drive = (flags & 4) ? 1 : 0;
  AnswerPlatform plain(FuzzInput(data, size), Beyond::Untouched);
  AnswerPlatform scribbled(FuzzInput(data, size), Beyond::Scribbled);
  const Reports a = RunReports(plain, kAnswerHandle, bus, drive);
  const Reports b = RunReports(scribbled, kAnswerHandle, bus, drive);
  CheckReports(a);
  Require(a.details == b.details && a.smart == b.smart, "only the bytes an answer reports count");
}

} // namespace

int AtaAnswers(const std::uint8_t* data, std::size_t size) {
  return EitherWay(data, size, ThroughAnswers, ThroughSimulatedDrive);
}

} // namespace trv::fuzz

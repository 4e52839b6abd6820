// The ATA answers of the chosen disk as far as the two reports: IDENTIFY DEVICE
// (S.M.A.R.T. path and miniport path) decoded into the details report, and
// SMART READ DATA tabulated into the S.M.A.R.T. report. Either through a
// simulated drive with fuzzed blocks, failures and answer sizes, or with every
// answer (SENDCMDOUTPARAMS, miniport buffer, any length) taken from the input.
#include <algorithm>

#include "answer_platform.h"
#include "fuzz_targets.h"
#include "report/details_report.h"
#include "report/smart_report.h"
#include "ui/form.h"

namespace trv::fuzz {

namespace {

constexpr win::Handle kAnswerHandle = 1;

struct Reports {
  std::vector<std::u16string> details, smart;
};

// Both reports for disk 1 of a table whose only entry has this bus and drive number.
Reports Run(win::Platform& p, win::Handle handle, std::int64_t bus, std::uint8_t drive) {
  device::DeviceState dev;
  dev.DeviceCount = 1;
  dev.SelectedDevice = 1;
  dev.DeviceHandle = handle;
  dev.Devices[1].IdentifyData.BusType = bus;
  dev.Devices[1].IdentifyData.IsIDESlave = drive;
  dev.Devices[1].IdentifyData.SectorSize = 512;
  ui::Form form("FmMain", 640, 480);
  ui::Memo details(form, ui::ControlKind::Memo, "Log_Details", nullptr);
  ui::Memo smart(form, ui::ControlKind::Memo, "Log_Smart", nullptr);
  report::DetailsContext dc{p, dev, details, u"Trevasso 4.12", u"web", u"forum"};
  report::ShowDeviceDetails(dc);
  report::SmartContext sc{p, dev, smart, u"Trevasso 4.12", u"web"};
  report::ShowSmartData(sc);
  return {details.lines(), smart.lines()};
}

void CheckReports(const Reports& r) {
  Require(r.details.size() >= 6 && r.details.size() <= 64, "the details report has its header and at most its lines");
  // Header, column titles, rule, at most 30 attributes, closing line.
  Require(r.smart.size() >= 6 && r.smart.size() <= 5 + 3 + 30, "the S.M.A.R.T. report has at most 30 attributes");
}

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
  CheckReports(Run(pc, handle, bus, d.slave ? 1 : 0));
  const bool onAfter = d.runtime.smartEnabled.value_or(onBefore);
  Require(!onBefore || onAfter, "a drive with S.M.A.R.T. on is left with it on");
  pc.CloseHandle(handle);
}

void ThroughAnswers(std::uint8_t flags, const std::uint8_t* data, std::size_t size) {
  const std::int64_t bus = (flags & 2) ? 3 : 11;
  const std::uint8_t drive = (flags & 4) ? 1 : 0;
  AnswerPlatform plain(FuzzInput(data, size), Beyond::Untouched);
  AnswerPlatform scribbled(FuzzInput(data, size), Beyond::Scribbled);
  const Reports a = Run(plain, kAnswerHandle, bus, drive);
  const Reports b = Run(scribbled, kAnswerHandle, bus, drive);
  CheckReports(a);
  Require(a.details == b.details && a.smart == b.smart, "only the bytes an answer reports count");
}

} // namespace

int AtaAnswers(const std::uint8_t* data, std::size_t size) {
  return EitherWay(data, size, ThroughAnswers, ThroughSimulatedDrive);
}

} // namespace trv::fuzz

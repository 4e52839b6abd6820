// The answers of NVMe disks and USB bridges as far as the two reports: the
// protocol-specific identify and health-log queries of a disk on bus 17, and
// the ATA pass-through of a disk on bus 7 whose ordinary ATA paths fail. Every
// answer (descriptor, data offset and length, sense data, transfer count) comes
// from the input.
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

Reports Run(win::Platform& p, std::int64_t bus) {
  device::DeviceState dev;
  dev.DeviceCount = 1;
  dev.SelectedDevice = 1;
  dev.DeviceHandle = kAnswerHandle;
  dev.Devices[1].IdentifyData.BusType = bus;
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

} // namespace

int NvmeAndBridgeAnswers(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::int64_t bus = (data[0] & 1) ? 17 : 7;
  AnswerPlatform plain(FuzzInput(data + 1, size - 1), Beyond::Untouched);
  AnswerPlatform scribbled(FuzzInput(data + 1, size - 1), Beyond::Scribbled);
  const Reports a = Run(plain, bus);
  const Reports b = Run(scribbled, bus);
  Require(a.details.size() >= 6 && a.details.size() <= 64, "the details report has its header and at most its lines");
  Require(a.smart.size() >= 6 && a.smart.size() <= 5 + 3 + 30, "the S.M.A.R.T. tab has a bounded report");
  Require(a.details == b.details && a.smart == b.smart, "only the bytes an answer reports count");
  return 0;
}

} // namespace trv::fuzz

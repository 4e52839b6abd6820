#include "report_run.h"

#include <algorithm>

#include "answer_platform.h"
#include "report/details_report.h"
#include "report/smart_report.h"
#include "ui/form.h"

namespace trv::fuzz {

Reports RunReports(win::Platform& p, win::Handle handle, std::int64_t bus, std::uint8_t drive) {
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
  // Header, column titles, rule, at most 30 attributes, closing line; then the
  // health section: its verdict, at most one reason or note per rule (the
  // drive's status, the two checksums or missing thresholds, 30 attributes,
  // three sector counts), the advice line and a closing line.
  const auto verdict = std::find_if(r.smart.begin(), r.smart.end(),
                                    [](const std::u16string& line) { return line.starts_with(u"健康评估: "); });
  const auto table = static_cast<std::size_t>(verdict - r.smart.begin());
  const auto health = static_cast<std::size_t>(r.smart.end() - verdict);
  Require(r.smart.size() >= 6 && table <= 5 + 3 + 30 + 1, "the S.M.A.R.T. report has at most 30 attributes");
  Require(health <= 1 + 3 + 30 + 3 + 1 + 1, "the health section gives at most one reason per rule");
}

} // namespace trv::fuzz

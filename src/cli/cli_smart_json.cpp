#include "cli/cli_smart_json.h"

#include <limits>

#include "platform/text.h"
#include "report/counter_text.h"
#include "report/smart_attributes.h"
#include "report/smart_names.h"

namespace trv::cli {

namespace {

using json = nlohmann::ordered_json;

constexpr int kKelvinAtZeroCelsius = 273;
constexpr int kHighestPlausibleKelvin = 400;  // as the health table judges it

// Without the blanks a name or a descriptor is padded with.
std::string Trimmed(const std::u16string& s) {
  const auto begin = s.find_first_not_of(u' ');
  if (begin == std::u16string::npos) return {};
  return Utf16ToUtf8(s.substr(begin, s.find_last_not_of(u' ') - begin + 1));
}

std::string HexBytes(const std::array<std::uint8_t, 6>& bytes) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string text;
  for (std::uint8_t b : bytes) {
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text;
}

// A 128-bit counter: an integer below 2^64, else its exact decimal text.
json Counter(const device::Counter128& c) {
  if (c.high == 0) return c.low;
  std::u16string text = report::CounterThousands(c);
  std::erase(text, u',');
  return Utf16ToUtf8(text);
}

json Kelvin(std::uint16_t kelvin) { return kelvin == 0 ? json(nullptr) : json(kelvin); }

json Attributes(const std::vector<report::SmartAttribute>& attributes, report::Language language) {
  json list = json::array();
  for (const report::SmartAttribute& a : attributes)
    list.push_back({{"id", a.id},
                    {"name", Trimmed(report::GetSmartAttributeName(a.id, language))},
                    {"flags", a.flags},
                    {"prefailure", (a.flags & 1) != 0},
                    {"current", a.current},
                    {"worst", a.worst},
                    {"threshold", a.threshold ? json(*a.threshold) : json(nullptr)},
                    {"raw", a.raw},
                    {"raw_bytes", HexBytes(a.rawBytes)}});
  return list;
}

json NvmeLog(const device::NvmeHealth& h) {
  json sensors = json::array();
  for (std::uint16_t k : h.sensorKelvin) sensors.push_back(Kelvin(k));
  return {{"critical_warning", h.criticalWarning},
          {"endurance_group_warning", h.enduranceGroupWarning},
          {"temperature_kelvin", h.temperatureKelvin},
          {"sensor_kelvin", sensors},
          {"available_spare", h.availableSpare},
          {"spare_threshold", h.spareThreshold},
          {"percentage_used", h.percentageUsed},
          {"data_units_read", Counter(h.dataUnitsRead)},
          {"data_units_written", Counter(h.dataUnitsWritten)},
          {"host_read_commands", Counter(h.hostReadCommands)},
          {"host_write_commands", Counter(h.hostWriteCommands)},
          {"controller_busy_minutes", Counter(h.controllerBusyMinutes)},
          {"power_cycles", Counter(h.powerCycles)},
          {"power_on_hours", Counter(h.powerOnHours)},
          {"unsafe_shutdowns", Counter(h.unsafeShutdowns)},
          {"media_errors", Counter(h.mediaErrors)},
          {"error_log_entries", Counter(h.errorLogEntries)},
          {"warning_temperature_minutes", h.warningTemperatureMinutes},
          {"critical_temperature_minutes", h.criticalTemperatureMinutes}};
}

} // namespace

void AddSmartValues(json& out, const std::optional<report::SmartHealth>& health, report::Language language) {
  out["attributes"] = nullptr;
  out["nvme_health_log"] = nullptr;
  out["power_on_hours"] = nullptr;
  out["temperature_celsius"] = nullptr;
  if (!health) return;
  if (health->nvmeLog) {
    const device::NvmeHealth& log = *health->nvmeLog;
    out["nvme_health_log"] = NvmeLog(log);
    if (log.powerOnHours.high == 0) out["power_on_hours"] = log.powerOnHours.low;
    if (log.temperatureKelvin != 0 && log.temperatureKelvin <= kHighestPlausibleKelvin)
      out["temperature_celsius"] = int{log.temperatureKelvin} - kKelvinAtZeroCelsius;
    return;
  }
  const auto attributes = report::SmartAttributes(health->data, health->thresholds);
  out["attributes"] = Attributes(attributes, language);
  if (const auto hours = report::PowerOnHours(attributes)) out["power_on_hours"] = *hours;
  if (const auto celsius = report::TemperatureCelsius(attributes)) out["temperature_celsius"] = *celsius;
}

void AddDriveFacts(json& out, const std::optional<report::DriveFacts>& drive) {
  const auto text = [&](std::u16string report::DriveFacts::*field) {
    return drive ? json(Trimmed((*drive).*field)) : json(nullptr);
  };
  out["model"] = text(&report::DriveFacts::model);
  out["firmware"] = text(&report::DriveFacts::firmware);
  out["serial"] = text(&report::DriveFacts::serial);
  // Plain values, -1 where not read (GCC's -O3 misreads optionals here as uninitialized).
  const std::int64_t sectors = drive && drive->sectors ? *drive->sectors : -1;
  const std::int64_t sectorSize = drive && drive->sectorSize ? *drive->sectorSize : -1;
  const auto orNull = [](std::int64_t v) { return v >= 0 ? json(v) : json(nullptr); };
  out["sectors"] = orNull(sectors);
  out["sector_size"] = orNull(sectorSize);
  // The product where it fits: a broken size is no capacity.
  const bool fits = sectors >= 0 && sectorSize > 0 && sectors <= std::numeric_limits<std::int64_t>::max() / sectorSize;
  out["capacity_bytes"] = fits ? json(sectors * sectorSize) : json(nullptr);
}

} // namespace trv::cli

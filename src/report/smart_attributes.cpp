#include "report/smart_attributes.h"

#include "platform/records.h"

namespace trv::report {

namespace {

constexpr std::size_t kFirstEntry = 2, kEntrySize = 12, kEntries = 30;
constexpr std::uint8_t kPowerOnHours = 0x09, kTemperature = 0xC2, kAirflowTemperature = 0xBE;

const SmartAttribute* Find(const std::vector<SmartAttribute>& attributes, std::uint8_t id) {
  for (const SmartAttribute& a : attributes)
    if (a.id == id) return &a;
  return nullptr;
}

} // namespace

std::optional<std::uint8_t> ThresholdOf(const device::AtaBlock& thresholds, std::uint8_t id) {
  for (std::size_t k = 0; k < kEntries; ++k) {
    const std::size_t at = kFirstEntry + k * kEntrySize;
    if (thresholds[at] == id) return thresholds[at + 1];
  }
  return std::nullopt;
}

std::vector<SmartAttribute> SmartAttributes(const device::AtaBlock& data, const std::optional<device::AtaBlock>& thresholds) {
  std::vector<SmartAttribute> out;
  for (std::size_t k = 0; k < kEntries; ++k) {
    const std::size_t at = kFirstEntry + k * kEntrySize;
    SmartAttribute a;
    a.id = data[at];
    if (a.id == 0) continue;  // an unused entry; later ones may be used
    a.flags = rec::U16(data, at + 1);
    a.current = data[at + 3];
    a.worst = data[at + 4];
    if (thresholds) a.threshold = ThresholdOf(*thresholds, a.id);
    a.raw = rec::GetLE(data, at + 5, a.rawBytes.size());
    for (std::size_t i = 0; i < a.rawBytes.size(); ++i) a.rawBytes[i] = data[at + 5 + i];
    out.push_back(a);
  }
  return out;
}

std::optional<std::uint64_t> PowerOnHours(const std::vector<SmartAttribute>& attributes) {
  const SmartAttribute* a = Find(attributes, kPowerOnHours);
  if (!a) return std::nullopt;
  return a->raw & 0xFFFF'FFFF;
}

std::optional<int> TemperatureCelsius(const std::vector<SmartAttribute>& attributes) {
  for (std::uint8_t id : {kTemperature, kAirflowTemperature}) {
    const SmartAttribute* a = Find(attributes, id);
    if (a && a->rawBytes[0] >= 1 && a->rawBytes[0] <= 127) return a->rawBytes[0];
  }
  return std::nullopt;
}

} // namespace trv::report

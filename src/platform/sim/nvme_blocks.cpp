#include "platform/sim/nvme_blocks.h"

#include <bit>

#include "platform/records.h"
#include "platform/sim/json_fields.h"

namespace trv::sim {

using jf::json;

namespace {

constexpr std::size_t kIdentifySize = 4096, kLogSize = 512;

// An ASCII text field padded with blanks, as NVMe stores it.
void PutText(std::vector<std::uint8_t>& b, std::size_t at, std::size_t width, const json& j, const char* key,
             const std::string& where, const std::string& fallback) {
  const std::string text = jf::Str(j, key, where, fallback);
  if (text.size() > width) jf::Fail(where, key, "longer than " + std::to_string(width) + " characters");
  for (std::size_t i = 0; i < width; ++i) b[at + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : ' ';
}

std::uint64_t Number(const json& j, const char* key, const std::string& where, std::int64_t fallback,
                     std::int64_t max = INT64_MAX) {
  return static_cast<std::uint64_t>(jf::Int(j, key, where, fallback, 0, max));
}

std::vector<std::uint8_t> Controller(const json& j, const std::string& where) {
  jf::CheckKeys(j, where, {"model", "firmware", "serial", "vendorId", "subsystemVendorId", "version", "namespaces",
                           "oacs", "fna", "sanicap", "oncs", "vwc"});
  std::vector<std::uint8_t> b(kIdentifySize, 0);
  rec::Put16(b, 0, static_cast<std::uint16_t>(Number(j, "vendorId", where, 0, 0xFFFF)));
  rec::Put16(b, 2, static_cast<std::uint16_t>(Number(j, "subsystemVendorId", where, 0, 0xFFFF)));
  PutText(b, 4, 20, j, "serial", where, "");
  PutText(b, 24, 40, j, "model", where, "");
  PutText(b, 64, 8, j, "firmware", where, "");
  rec::Put32(b, 80, static_cast<std::uint32_t>(Number(j, "version", where, 0x10400, UINT32_MAX)));
  rec::Put16(b, 256, static_cast<std::uint16_t>(Number(j, "oacs", where, 0, 0xFFFF)));
  rec::Put32(b, 328, static_cast<std::uint32_t>(Number(j, "sanicap", where, 0, UINT32_MAX)));
  rec::Put32(b, 516, static_cast<std::uint32_t>(Number(j, "namespaces", where, 1, UINT32_MAX)));
  rec::Put16(b, 520, static_cast<std::uint16_t>(Number(j, "oncs", where, 0, 0xFFFF)));
  b[524] = static_cast<std::uint8_t>(Number(j, "fna", where, 0, 0xFF));
  b[525] = static_cast<std::uint8_t>(Number(j, "vwc", where, 0, 0xFF));
  return b;
}

std::vector<std::uint8_t> Namespace(const json& j, const std::string& where) {
  jf::CheckKeys(j, where, {"size", "capacity", "utilization", "formats", "formatInUse", "dlfeat"});
  std::vector<std::uint8_t> b(kIdentifySize, 0);
  const std::uint64_t size = Number(j, "size", where, 0);
  const std::uint64_t capacity = Number(j, "capacity", where, static_cast<std::int64_t>(size));
  rec::Put64(b, 0, size);
  rec::Put64(b, 8, capacity);
  rec::Put64(b, 16, Number(j, "utilization", where, static_cast<std::int64_t>(capacity)));
  json formats = jf::Has(j, "formats") ? j["formats"] : json::array({json{{"data", 512}}});
  if (!formats.is_array() || formats.empty() || formats.size() > 64)
    jf::Fail(where, "formats", "expected a list of 1 to 64 LBA formats");
  for (std::size_t i = 0; i < formats.size(); ++i) {
    const std::string fw = where + ": formats[" + std::to_string(i) + "]";
    jf::CheckKeys(formats[i], fw, {"data", "metadata", "performance"});
    const std::uint64_t data = Number(formats[i], "data", fw, 512, std::int64_t{1} << 31);
    if (!std::has_single_bit(data)) jf::Fail(fw, "data", "expected a power of two");
    const std::uint32_t entry = static_cast<std::uint32_t>(Number(formats[i], "metadata", fw, 0, 0xFFFF)) |
                                (static_cast<std::uint32_t>(std::countr_zero(data)) << 16) |
                                (static_cast<std::uint32_t>(Number(formats[i], "performance", fw, 0, 3)) << 24);
    rec::Put32(b, 128 + 4 * i, entry);
  }
  b[25] = static_cast<std::uint8_t>(formats.size() - 1);  // NLBAF counts from 0
  const std::uint64_t inUse = Number(j, "formatInUse", where, 0, 63);
  b[26] = static_cast<std::uint8_t>((inUse & 0x0F) | ((inUse & 0x30) << 1));
  b[33] = static_cast<std::uint8_t>(Number(j, "dlfeat", where, 0, 0xFF));  // what a deallocated block reads
  return b;
}

std::vector<std::uint8_t> HealthLog(const json& j, const std::string& where) {
  static const char* const kCounters[] = {"dataUnitsRead",  "dataUnitsWritten", "hostReadCommands", "hostWriteCommands",
                                          "controllerBusyTime", "powerCycles",   "powerOnHours",     "unsafeShutdowns",
                                          "mediaErrors",    "errorLogEntries"};
  jf::CheckKeys(j, where, {"criticalWarning", "temperature", "availableSpare", "spareThreshold", "percentageUsed",
                           "dataUnitsRead", "dataUnitsWritten", "hostReadCommands", "hostWriteCommands",
                           "controllerBusyTime", "powerCycles", "powerOnHours", "unsafeShutdowns", "mediaErrors",
                           "errorLogEntries", "warningTemperatureTime", "criticalTemperatureTime",
                           "enduranceGroupWarning", "sensors"});
  std::vector<std::uint8_t> b(kLogSize, 0);
  b[0] = static_cast<std::uint8_t>(Number(j, "criticalWarning", where, 0, 0xFF));
  rec::Put16(b, 1, static_cast<std::uint16_t>(Number(j, "temperature", where, 0, 0xFFFF)));
  b[3] = static_cast<std::uint8_t>(Number(j, "availableSpare", where, 100, 0xFF));
  b[4] = static_cast<std::uint8_t>(Number(j, "spareThreshold", where, 10, 0xFF));
  b[5] = static_cast<std::uint8_t>(Number(j, "percentageUsed", where, 0, 0xFF));
  b[6] = static_cast<std::uint8_t>(Number(j, "enduranceGroupWarning", where, 0, 0xFF));
  if (jf::Has(j, "sensors")) {
    const json& sensors = j["sensors"];
    if (!sensors.is_array() || sensors.size() > 8) jf::Fail(where, "sensors", "expected a list of at most 8 temperatures");
    for (std::size_t i = 0; i < sensors.size(); ++i) {
      if (!sensors[i].is_number_unsigned() || sensors[i].get<std::uint64_t>() > 0xFFFF)
        jf::Fail(where, "sensors", "expected kelvin from 0 to 65535");
      rec::Put16(b, 200 + 2 * i, static_cast<std::uint16_t>(sensors[i].get<std::uint64_t>()));
    }
  }
  // The 16-byte counters from byte 32; a field sets the low 8 bytes.
  for (std::size_t i = 0; i < std::size(kCounters); ++i) rec::Put64(b, 32 + 16 * i, Number(j, kCounters[i], where, 0));
  rec::Put32(b, 192, static_cast<std::uint32_t>(Number(j, "warningTemperatureTime", where, 0, UINT32_MAX)));
  rec::Put32(b, 196, static_cast<std::uint32_t>(Number(j, "criticalTemperatureTime", where, 0, UINT32_MAX)));
  return b;
}

// A block given as hex text of exactly `size` bytes, or built from fields.
template <typename Build>
std::vector<std::uint8_t> Block(const json& j, const char* key, const std::string& where, std::size_t size,
                                Build build) {
  if (!jf::Has(j, key)) return {};
  if (!j[key].is_string()) return build(j[key], where + ": " + key);
  std::vector<std::uint8_t> bytes = jf::Hex(j, key, where);
  if (bytes.size() != size)
    jf::Fail(where, key, "expected " + std::to_string(size) + " bytes, got " + std::to_string(bytes.size()));
  return bytes;
}

} // namespace

SimNvme ParseNvme(const json& j, const std::string& where) {
  jf::CheckKeys(j, where, {"identifyController", "identifyNamespace", "healthLog", "namespaceId", "answer", "sanitize",
                           "subsystem"});
  SimNvme n;
  n.controller = Block(j, "identifyController", where, kIdentifySize, Controller);
  n.ns = Block(j, "identifyNamespace", where, kIdentifySize, Namespace);
  n.healthLog = Block(j, "healthLog", where, kLogSize, HealthLog);
  n.namespaceId = static_cast<std::uint32_t>(jf::Int(j, "namespaceId", where, 1, 1, UINT32_MAX - 1));
  if (jf::Has(j, "answer")) {
    const json& a = j["answer"];
    const std::string aw = where + ": answer";
    jf::CheckKeys(a, aw, {"dataOffset", "dataLength", "bytes"});
    n.answerOffset = static_cast<std::uint32_t>(jf::Int(a, "dataOffset", aw, 0, 0, UINT32_MAX));
    n.answerLength = static_cast<std::uint32_t>(jf::Int(a, "dataLength", aw, 0, 0, UINT32_MAX));
    n.answerBytes = static_cast<std::uint32_t>(jf::Int(a, "bytes", aw, 0, 0, UINT32_MAX));
  }
  if (jf::Has(j, "sanitize")) {
    n.sanitize = ParseSanitize(j["sanitize"], where + ": sanitize");
  }
  n.subsystem = jf::Str(j, "subsystem", where, {});
  if (jf::Has(j, "subsystem") && n.subsystem.empty()) jf::Fail(where, "subsystem", "expected a name");
  return n;
}

} // namespace trv::sim

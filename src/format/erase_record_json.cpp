// The record for programs: one JSON object, its fields in docs/erase-record.md.
#include <nlohmann/json.hpp>

#include "format/erase_record.h"
#include "format/erase_record_words.h"
#include "platform/text.h"
#include "report/number_text.h"

namespace trv::format {

namespace {

using Json = nlohmann::ordered_json;  // the fields in the order the documentation gives them

Json Ranges(const std::vector<Span>& spans) {
  Json list = Json::array();
  for (const Span& s : spans) list.push_back({{"begin", s.begin}, {"end", s.end}});
  return list;
}

std::string U8(const std::u16string& s) { return Utf16ToUtf8(s); }

// The texts are well-formed UTF-8 already; replacing rather than throwing
// keeps a record that must be written from ever failing on one.
std::string Compact(const Json& value) { return value.dump(-1, ' ', false, Json::error_handler_t::replace); }

// Objects with a field a line, lists with an item (a range, a log line) a line.
void Write(const Json& value, const std::string& indent, std::string& out) {
  if (value.empty() || !value.is_structured()) {
    out += Compact(value);
    return;
  }
  const bool object = value.is_object();
  out += object ? "{\n" : "[\n";
  bool first = true;
  for (auto it = value.begin(); it != value.end(); ++it) {
    out += first ? "" : ",\n";
    first = false;
    out += indent + "  ";
    if (object) {
      out += Compact(it.key()) + ": ";
      Write(it.value(), indent + "  ", out);
    } else {
      out += Compact(*it);
    }
  }
  out += "\n" + indent + (object ? "}" : "]");
}

} // namespace

nlohmann::ordered_json DiskJson(const DiskIdentity& d) {
  return {{"number", d.number},
          {"bus_type", d.busType},
          {"bus", U8(d.bus)},
          {"model", U8(d.model)},
          {"firmware", U8(d.firmware)},
          {"serial", U8(d.serial)},
          {"sector_size", d.sectorSize},
          {"sectors", d.sectors},
          {"capacity_bytes", report::CapacityBytes(d.sectors, d.sectorSize)}};
}

namespace {

Json Verify(const std::optional<VerifyResult>& verify) {
  if (!verify) return nullptr;
  return {{"outcome", VerifyWord(verify->outcome)},
          {"bytes_read", verify->bytesRead},
          {"non_zero_bytes", verify->nonZeroBytes},
          {"unreadable_bytes", verify->unreadableBytes},
          {"failed_areas", Ranges(verify->failedAreas)}};
}

} // namespace

std::string RecordJson(const EraseRecord& r) {
  Json j;
  j["format"] = "trevasso-erase-record";
  j["format_version"] = 1;
  j["program"] = U8(r.program);
  j["program_version"] = U8(r.version);
  j["computer"] = U8(r.computer);
  AddAuditJson(r.audit, j);
  j["start_local"] = IsoTime(r.startLocal, false);
  j["start_utc"] = IsoTime(r.startUtc, true);
  j["end_local"] = IsoTime(r.endLocal, false);
  j["end_utc"] = IsoTime(r.endUtc, true);
  j["duration_ms"] = r.durationMs;
  j["duration_seconds"] = static_cast<double>(r.durationMs) / 1000.0;
  j["disk"] = DiskJson(r.disk);
  j["method"] = MethodWord(r);
  j["areas"] = Ranges(r.run.areas);
  j["written"] = Ranges(r.run.written);
  j["bytes_written"] = r.run.bytesWritten;
  j["unwritten"] = Ranges(r.run.unwritten);
  j["unwritten_bytes"] = SpanBytes(r.run.unwritten);
  j["flush_ok"] = r.run.flushed;
  j["flush_error"] = r.run.flushError;
  // Saved as the session ended while a write had not returned: where it was.
  j["pending_offset"] = r.run.pendingOffset >= 0 ? Json(r.run.pendingOffset) : Json(nullptr);
  j["verify"] = Verify(r.verify);
  j["outcome"] = U8(OutcomeWord(r));
  Json log = Json::array();
  for (const std::u16string& line : r.log) log.push_back(U8(line));
  j["log"] = std::move(log);
  std::string out;
  Write(j, "", out);
  return out + "\n";
}

} // namespace trv::format

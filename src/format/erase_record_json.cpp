// The record for programs: one JSON object, its fields in docs/erase-record.md.
#include <nlohmann/json.hpp>

#include "format/erase_record.h"
#include "format/erase_record_outcome.h"
#include "format/erase_record_purge.h"
#include "format/erase_record_words.h"
#include "format/same_disk.h"
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
  // The drive's own texts where it told them, Windows' view beside them.
  return {{"number", d.number},
          {"bus_type", d.busType},
          {"bus", U8(d.bus)},
          {"media", device::MediaWord(d.media)},
          {"model", U8(ShownModel(d))},
          {"firmware", U8(ShownFirmware(d))},
          {"serial", U8(ShownSerial(d))},
          {"identity_source", d.drive ? device::SourceWord(d.drive->source) : "windows"},
          {"windows", {{"model", U8(TrimControl(d.model))},
                       {"firmware", U8(TrimControl(d.firmware))},
                       {"serial", U8(TrimControl(d.serial))}}},
          {"sector_size", d.sectorSize},
          {"sectors", d.sectors},
          {"capacity_bytes", report::CapacityBytes(d.sectors, d.sectorSize)}};
}

namespace {

// Null only when no read-back was asked for; one that did not run says why.
Json Verify(const EraseRecord& r) {
  const VerifyNotRun why = WhyVerifyNotRun(r);
  if (!r.verify && why == VerifyNotRun::None) return nullptr;
  const VerifyResult verify = r.verify.value_or(VerifyResult{});
  const auto outcome = ReadBackOutcome(r);
  return {{"outcome", outcome ? VerifyWord(*outcome) : "not-run"},
          {"reason", why == VerifyNotRun::None ? Json(nullptr) : Json(VerifyNotRunWord(why))},
          {"bytes_read", verify.bytesRead},
          {"non_zero_bytes", verify.nonZeroBytes},
          {"unreadable_bytes", verify.unreadableBytes},
          {"failed_areas", Ranges(verify.failedAreas)}};
}

Json NotReachedJson(const std::vector<NotReached>& items) {
  Json list = Json::array();
  for (const NotReached& n : items) {
    Json item = {{"code", n.code}, {"text", U8(n.text)}};
    if (n.range) {
      item["begin"] = n.range->begin;
      item["end"] = n.range->end;
      item["bytes"] = n.range->Bytes();
    }
    list.push_back(std::move(item));
  }
  return list;
}

} // namespace

std::string RecordJson(const EraseRecord& r) {
  Json j;
  j["format"] = "trevasso-erase-record";
  j["format_version"] = 3;
  // First, so that nobody takes a quick wipe's record for proof of a sanitization.
  const NistCategory category = CategoryOf(r);
  j["sanitization"] = category != NistCategory::None;
  const std::string note = QuickWipeNote(r);
  j["sanitization_note"] = note.empty() ? Json(nullptr) : Json(note);
  j["nist_category"] = category == NistCategory::None ? Json(nullptr) : Json(CategoryWord(category));
  j["program"] = U8(r.program);
  j["program_version"] = U8(r.version);
  j["computer"] = U8(r.computer);
  AddAuditJson(r.audit, j);
  if (r.purge) j["firmware_erase"]["used"] = true;
  j["start_local"] = IsoTime(r.startLocal, false);
  j["start_utc"] = IsoTime(r.startUtc, true);
  j["end_local"] = IsoTime(r.endLocal, false);
  j["end_utc"] = IsoTime(r.endUtc, true);
  j["duration_ms"] = r.durationMs;
  j["duration_seconds"] = static_cast<double>(r.durationMs) / 1000.0;
  j["disk"] = DiskJson(r.disk);
  j["method"] = MethodWord(r);
  // A purge writes nothing through Windows: the zero fill's fields do not apply.
  const bool fill = !r.purge;
  const auto ifFill = [fill](Json value) { return fill ? value : Json(nullptr); };
  j["areas"] = ifFill(Ranges(r.run.areas));
  j["written"] = ifFill(Ranges(r.run.written));
  j["bytes_written"] = ifFill(r.run.bytesWritten);
  j["unwritten"] = ifFill(Ranges(r.run.unwritten));
  j["unwritten_bytes"] = ifFill(SpanBytes(r.run.unwritten));
  j["not_reached"] = NotReachedJson(r.notReached);
  j["flush_ok"] = ifFill(r.run.flushed);
  j["flush_error"] = ifFill(r.run.flushError);
  // Saved as the session ended while a write had not returned: where it was.
  j["pending_offset"] = r.run.pendingOffset >= 0 && fill ? Json(r.run.pendingOffset) : Json(nullptr);
  j["verify_requested"] = r.verifyRequested || r.verify.has_value();
  j["verify"] = Verify(r);
  j["purge"] = r.purge ? PurgeJson(*r.purge) : Json(nullptr);
  j["outcome"] = U8(OutcomeWord(r));
  Json log = Json::array();
  for (const std::u16string& line : r.log) log.push_back(U8(line));
  j["log"] = std::move(log);
  std::string out;
  Write(j, "", out);
  return out + "\n";
}

} // namespace trv::format

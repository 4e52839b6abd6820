// The record for people: aligned "Label: value" lines, then the activity log.
#include <algorithm>
#include <cstdio>

#include "format/erase_record.h"
#include "format/erase_record_outcome.h"
#include "format/erase_record_purge.h"
#include "format/erase_record_words.h"
#include "format/same_disk.h"
#include "platform/text.h"
#include "report/number_text.h"

namespace trv::format {

namespace {

constexpr std::size_t kLabelWidth = 20;

// Control characters would break or hide lines in a text file.
std::string Printable(std::u16string_view s) { return Utf16ToUtf8(ControlPictures(s)); }

// Drives pad their texts with blanks; people read them without.
std::string Unpadded(std::u16string_view s) { return Printable(TrimControl(s)); }

std::string Number(std::int64_t value) { return Utf16ToUtf8(report::FormatThousands(value)); }

class Lines {
 public:
  void Add(std::string_view label, const std::string& value) {
    std::string line(label);
    line += ':';
    line.resize(std::max(kLabelWidth, line.size() + 1), ' ');
    text_ += line + value + "\r\n";
  }
  // The first range on the labelled line, the others under it.
  void AddRanges(std::string_view label, const std::vector<Span>& spans) {
    if (spans.empty()) return Add(label, "none");
    for (std::size_t i = 0; i < spans.size(); ++i) {
      const Span& s = spans[i];
      const std::string value =
          Number(s.begin) + " to " + Number(s.end) + " (" + Number(s.Bytes()) + " bytes)";
      if (i == 0) Add(label, value);
      else text_ += std::string(kLabelWidth, ' ') + value + "\r\n";
    }
  }
  void Raw(const std::string& line) { text_ += line + "\r\n"; }
  std::string Take() { return std::move(text_); }

 private:
  std::string text_;
};

// "2026-12-08 17:05:09": the ISO text without its T and milliseconds, for people.
std::string PlainTime(const TimeStamp& t) {
  std::string iso = IsoTime(t, false);
  if (const auto dot = iso.rfind('.'); dot != std::string::npos) iso.resize(dot);
  if (const auto tee = iso.find('T'); tee != std::string::npos) iso[tee] = ' ';
  return iso;
}

std::string Seconds(std::int64_t ms) {
  const std::uint64_t magnitude = ms < 0 ? 0 - static_cast<std::uint64_t>(ms) : static_cast<std::uint64_t>(ms);
  char fraction[8];
  std::snprintf(fraction, sizeof fraction, ".%03u", static_cast<unsigned>(magnitude % 1000));
  return (ms < 0 ? "-" : "") + Utf16ToUtf8(DecimalText(magnitude / 1000)) + fraction + " seconds";
}

void AddVerify(Lines& lines, const EraseRecord& r) {
  const std::optional<VerifyResult>& verify = r.verify;
  const VerifyNotRun why = WhyVerifyNotRun(r);
  if (why != VerifyNotRun::None) {
    const auto outcome = ReadBackOutcome(r);
    return lines.Add("Verify", (outcome ? VerifyWord(*outcome) : "not run") + " (asked for; " + VerifyNotRunText(why) + ")");
  }
  if (!verify) return lines.Add("Verify", "not asked for");
  lines.Add("Verify", VerifyWord(verify->outcome));
  lines.Add("Bytes read", Number(verify->bytesRead));
  lines.Add("Non-zero bytes", Number(verify->nonZeroBytes));
  lines.Add("Unreadable bytes", Number(verify->unreadableBytes));
  lines.AddRanges("Failed areas", verify->failedAreas);
}

// One item a line: the range first where there is one, then what hides it.
void AddNotReached(Lines& lines, const std::vector<NotReached>& items) {
  if (items.empty()) return lines.Add("Not reached", "nothing known");
  for (std::size_t i = 0; i < items.size(); ++i) {
    const NotReached& n = items[i];
    std::string value = n.range ? Number(n.range->begin) + " to " + Number(n.range->end) + " (" +
                                      Number(n.range->Bytes()) + " bytes): "
                                : std::string();
    value += Printable(n.text) + " [" + n.code + "]";
    if (i == 0) lines.Add("Not reached", value);
    else lines.Raw(std::string(kLabelWidth, ' ') + value);
  }
}

// A firmware purge: what it sent, what the drive said, what the sample found.
void AddPurge(Lines& lines, const EraseRecord& r) {
  lines.Add("Method", "firmware purge, " + Printable(PurgeMethodText(r.purge->plan.method)) + " [" +
                          PurgeMethodWord(r.purge->plan.method) + "]");
  for (const auto& [label, value] : PurgeTextLines(*r.purge)) lines.Add(label, value);
  AddNotReached(lines, r.notReached);
}

void AddZeroFill(Lines& lines, const EraseRecord& r) {
  lines.Add("Method", r.quickWipe ? "quick wipe" : "full zero fill");
  lines.Add("Firmware erase", FirmwareEraseText(r.audit.firmware));
  lines.AddRanges("Areas", r.run.areas);
  lines.AddRanges("Written", r.run.written);
  lines.Add("Bytes written", Number(r.run.bytesWritten));
  lines.AddRanges("Unwritten", r.run.unwritten);
  lines.Add("Unwritten bytes", Number(SpanBytes(r.run.unwritten)));
  AddNotReached(lines, r.notReached);
  // A run that ended early may never have flushed: only a nonzero error says it failed.
  lines.Add("Flush", r.run.flushed       ? std::string("ok")
                     : r.run.flushError ? "failed, error " + std::to_string(r.run.flushError)
                                        : std::string("not confirmed"));
  if (r.run.pendingOffset >= 0)
    lines.Add("Pending write", "offset " + Number(r.run.pendingOffset) + " (had not returned when the record was saved)");
}

} // namespace

std::string RecordText(const EraseRecord& r) {
  Lines lines;
  lines.Raw("Erase record");
  lines.Raw("");
  // First, so that nobody takes a quick wipe's record for proof of a sanitization.
  if (const std::string note = QuickWipeNote(r); !note.empty()) {
    lines.Raw(note);
    lines.Raw("");
  }
  lines.Add("Outcome", Printable(OutcomeWord(r)));
  const std::string category = CategoryWord(CategoryOf(r));
  lines.Add("NIST SP 800-88 category", category.empty() ? "none" : category);
  lines.Add("Program", Printable(r.program) + " " + Printable(r.version));
  lines.Add("Computer", Printable(r.computer));
  for (const auto& [label, value] : AuditTextLines(r.audit)) lines.Add(label, value);
  lines.Add("Started", PlainTime(r.startLocal) + " local, " + PlainTime(r.startUtc) + " UTC");
  lines.Add("Ended", PlainTime(r.endLocal) + " local, " + PlainTime(r.endUtc) + " UTC");
  lines.Add("Duration", Seconds(r.durationMs));
  lines.Raw("");
  const DiskIdentity& d = r.disk;
  lines.Add("Disk", "\\\\.\\PhysicalDrive" + std::to_string(d.number));
  lines.Add("Bus", Printable(d.bus) + " (bus type " + std::to_string(d.busType) + ")");
  lines.Add("Media", Printable(device::MediaText(d.media)));
  lines.Add("Model", Printable(ShownModel(d)));
  lines.Add("Firmware", Printable(ShownFirmware(d)));
  lines.Add("Serial", Printable(ShownSerial(d)));
  lines.Add("Identity from", d.drive ? Printable(device::SourceText(d.drive->source))
                                     : std::string("Windows (the drive itself could not be asked)"));
  lines.Add("Windows shows", Unpadded(d.model) + ", firmware " + Unpadded(d.firmware) + ", serial " + Unpadded(d.serial));
  lines.Add("Sector size", Number(d.sectorSize) + " bytes");
  lines.Add("Sectors", Number(d.sectors));
  lines.Add("Capacity", Number(report::CapacityBytes(d.sectors, d.sectorSize)) + " bytes");
  lines.Raw("");
  if (r.purge) AddPurge(lines, r);
  else AddZeroFill(lines, r);
  AddVerify(lines, r);
  lines.Raw("");
  lines.Raw("Activity log:");
  for (const std::u16string& line : r.log) lines.Raw(Printable(line));
  return lines.Take();
}

} // namespace trv::format

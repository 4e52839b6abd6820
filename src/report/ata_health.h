// The disk's health at a glance: a verdict (good, caution, failing) and the
// reasons behind it, from the S.M.A.R.T. attribute values, their thresholds
// and the drive's own status. Pure functions of the blocks; docs/health.md
// gives the rules.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/ata.h"
#include "device/nvme_parse.h"
#include "report/health_codes.h"
#include "report/language.h"

namespace trv::report {

enum class Verdict { Good, Caution, Failing };

// One attribute compared with its threshold (only those with a threshold the
// rules use: 1 to 253).
struct AttributeCheck {
  std::uint8_t id = 0;
  bool prefailure = false;  // status flag bit 0
  std::uint8_t current = 0, worst = 0, threshold = 0;
  bool failingNow = false;     // current value at or below the threshold
  bool failedInPast = false;   // worst value at or below it
};

// A reason or a note: its kind's machine code and its text.
struct Finding {
  HealthCode code;
  std::u16string text;
  bool operator==(const Finding&) const = default;
};

struct HealthResult {
  Verdict verdict = Verdict::Good;
  // One line each: the drive's own reasons in the order the rules run, then
  // what the path to the drive could not read (never the drive's fault).
  std::vector<Finding> reasons;
  // Said under the reasons; they never raise the verdict (an advisory
  // attribute's past excursion, a raw count that cannot be a count).
  std::vector<Finding> notes;
  // What a caution asks to watch, named in the advice line.
  std::vector<std::u16string> watch;
  std::vector<AttributeCheck> attributes;
};

// The verdict becomes `v` unless it is already worse.
inline void Raise(HealthResult& r, Verdict v) {
  if (v > r.verdict) r.verdict = v;
}

// What the report could read besides the attribute block.
struct AtaHealthInput {
  const device::AtaBlock& data;
  std::optional<device::AtaBlock> thresholds;  // none: not read
  device::SmartStatus status = device::SmartStatus::NotRead;
  std::uint64_t sectors = 0;  // the disk's sector count; 0: not known, counts taken as they are
  Language language = Language::Chinese;  // of the reasons, notes and watch names
};

// The verdict a report showed, for the console program's JSON.
struct SmartHealth {
  HealthResult result;
  bool thresholdsRead = false;
  device::SmartStatus status = device::SmartStatus::NotRead;
  bool nvme = false;
  // What the verdict was made from, for the JSON's attributes and log fields.
  device::AtaBlock data{};
  std::optional<device::AtaBlock> thresholds;
  std::optional<device::NvmeHealth> nvmeLog;
};

// Byte 511 makes the 512 bytes of a data or threshold block add up to 0 (mod 256).
bool BlockChecksumOk(const device::AtaBlock& block);

HealthResult JudgeAtaHealth(const AtaHealthInput& input);

// The section below the table: "健康评估: …", the reasons ("  - …") and notes
// ("  备注: …"), one per line, and for caution or failing the advice line.
std::vector<std::u16string> HealthLines(const HealthResult& result, Language language = Language::Chinese);
// "建议: …": what to do; empty for a good verdict.
std::u16string AdviceText(const HealthResult& result, Language language = Language::Chinese);
// The advice's kind (replace-disk, back-up-and-watch); none for a good verdict.
std::optional<HealthCode> AdviceCode(const HealthResult& result);
std::u16string VerdictText(Verdict v, Language language = Language::Chinese);  // 良好, 警告, 故障
const char* VerdictWord(Verdict v);       // good, caution, failing (for scripts)

} // namespace trv::report

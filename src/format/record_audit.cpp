#include "format/record_audit.h"

#include <array>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "format/block_retry.h"
#include "format/sha256.h"
#include "platform/text.h"

namespace trv::format {

namespace {

constexpr std::uint32_t kHashPiece = 64 * 1024;

std::string FormatUuid(std::array<std::uint8_t, 16> b) {
  b[6] = static_cast<std::uint8_t>((b[6] & 0x0F) | 0x40);  // version 4
  b[8] = static_cast<std::uint8_t>((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
  std::string out;
  static constexpr char kHex[] = "0123456789abcdef";
  for (std::size_t i = 0; i < b.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
    out += kHex[b[i] >> 4];
    out += kHex[b[i] & 15];
  }
  return out;
}

std::u16string Failure(win::Platform& p, std::u16string_view step) {
  const std::uint32_t error = p.GetLastError();
  return std::u16string(step) + u": " + p.SystemMessage(error) + u" (" + DecimalText(error) + u")";
}

void AddOffered(std::vector<std::string>& out, bool offered, const char* word) {
  if (offered) out.push_back(word);
}

std::string Printable(std::u16string_view s) { return Utf16ToUtf8(ControlPictures(s)); }

nlohmann::ordered_json TextOrNull(const std::u16string& s) {
  return s.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(Utf16ToUtf8(s));
}

} // namespace

bool AuditFieldAcceptable(std::u16string_view text) {
  if (text.size() > kAuditFieldMaxLength) return false;
  for (char16_t c : text)
    if (c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x2028 || c == 0x2029) return false;
  return true;
}

std::string NewRecordId(win::Platform& p) {
  std::array<std::uint8_t, 16> bytes{};
  if (p.GenRandom(bytes)) return FormatUuid(bytes);
  // Without the system's random source the id is still unique in practice:
  // the hash of this computer, the time and the counter.
  Sha256 hash;
  const std::string seed = Utf16ToUtf8(p.GetComputerNameW()) + "|" + std::to_string(p.WallClockMilliseconds()) + "|" +
                           std::to_string(CounterMilliseconds(p));
  hash.Update(std::span(reinterpret_cast<const std::uint8_t*>(seed.data()), seed.size()));
  const Sha256::Digest digest = hash.Finish();
  std::copy_n(digest.begin(), bytes.size(), bytes.begin());
  return FormatUuid(bytes);
}

ProgramFileHash HashProgramFile(win::Platform& p) {
  ProgramFileHash out;
  out.path = p.GetModuleFileNameW();
  if (out.path.empty()) {
    out.error = Failure(p, u"the program file's name is not known");
    return out;
  }
  const win::Handle file = p.CreateFileW(out.path, win::GENERIC_READ, win::FILE_SHARE_READ, win::OPEN_EXISTING, 0);
  if (file == win::kInvalidHandle) {
    out.error = Failure(p, u"the program file cannot be opened");
    return out;
  }
  Sha256 hash;
  std::vector<std::uint8_t> piece(kHashPiece);
  for (;;) {
    std::uint32_t read = 0;
    if (!p.ReadFile(file, piece.data(), kHashPiece, &read)) {
      out.error = Failure(p, u"the program file cannot be read");
      break;
    }
    if (read == 0) break;
    hash.Update(std::span(piece.data(), std::min(read, kHashPiece)));
  }
  p.CloseHandle(file);
  if (out.error.empty()) out.sha256 = HexDigest(hash.Finish());
  return out;
}

FirmwareEraseNote FirmwareEraseNoteOf(const std::optional<device::EraseFeatures>& offered) {
  FirmwareEraseNote note;
  if (!offered) {
    note.code = "not-read";
    note.reason = "what the disk offers could not be read";
    return note;
  }
  note.known = true;
  const device::EraseFeatures& f = *offered;
  if (f.nvme) {
    AddOffered(note.offered, f.formatNvm, "nvme-format");
    AddOffered(note.offered, f.formatNvm && f.cryptoEraseOnFormat, "nvme-format-crypto");
    AddOffered(note.offered, f.sanitizeCrypto, "nvme-sanitize-crypto");
    AddOffered(note.offered, f.sanitizeBlock, "nvme-sanitize-block");
    AddOffered(note.offered, f.sanitizeOverwrite, "nvme-sanitize-overwrite");
  } else {
    AddOffered(note.offered, f.securitySupported, "ata-security-erase");
    AddOffered(note.offered, f.securitySupported && f.enhancedEraseSupported, "ata-enhanced-security-erase");
    AddOffered(note.offered, f.sanitizeSupported && f.cryptoScramble, "ata-sanitize-crypto-scramble");
    AddOffered(note.offered, f.sanitizeSupported && f.blockErase, "ata-sanitize-block-erase");
    AddOffered(note.offered, f.sanitizeSupported && f.overwrite, "ata-sanitize-overwrite");
  }
  if (note.offered.empty()) {
    note.code = "none-offered";
    note.reason = "the disk offers no firmware erase";
  } else if (f.nvme) {
    // This version purges NVMe disks where Windows allows it: the run chose not to.
    note.code = "zero-fill-chosen";
    note.reason = "a zero fill was chosen; a firmware purge may be asked for instead where Windows allows it";
  } else {
    // ATA disks: their purge is not in this version.
    note.code = "overwrite-only-version";
    note.reason = "this version offers only the overwrite; a firmware purge is planned";
  }
  return note;
}

RecordAudit BeginAudit(win::Platform& p, const AuditFields& fields, const std::optional<device::EraseFeatures>& offered) {
  RecordAudit audit;
  audit.id = NewRecordId(p);
  audit.fields = fields;
  audit.programFile = HashProgramFile(p);
  audit.firmware = FirmwareEraseNoteOf(offered);
  return audit;
}

void AddAuditJson(const RecordAudit& a, nlohmann::ordered_json& j) {
  using Json = nlohmann::ordered_json;
  j["record_id"] = a.id;
  j["operator"] = TextOrNull(a.fields.operatorName);
  j["asset"] = TextOrNull(a.fields.asset);
  j["ticket"] = TextOrNull(a.fields.ticket);
  j["program_file"] = {{"path", Utf16ToUtf8(a.programFile.path)},
                       {"sha256", a.programFile.sha256.empty() ? Json(nullptr) : Json(a.programFile.sha256)},
                       {"error", TextOrNull(a.programFile.error)}};
  Json offered = Json::array();
  for (const std::string& word : a.firmware.offered) offered.push_back(word);
  j["firmware_erase"] = {{"offered", a.firmware.known ? offered : Json(nullptr)},
                         {"used", false},
                         {"code", a.firmware.code},
                         {"reason", a.firmware.reason}};
}

std::vector<std::pair<std::string, std::string>> AuditTextLines(const RecordAudit& a) {
  auto given = [](const std::u16string& s) { return s.empty() ? std::string("not given") : Printable(s); };
  auto known = [](const std::string& s) { return s.empty() ? std::string("not known") : s; };
  return {{"Record id", known(a.id)},
          {"Operator", given(a.fields.operatorName)},
          {"Asset", given(a.fields.asset)},
          {"Ticket", given(a.fields.ticket)},
          {"Program file", known(Printable(a.programFile.path))},
          {"Program SHA-256",
           a.programFile.sha256.empty() ? "not known: " + Printable(a.programFile.error) : a.programFile.sha256}};
}

std::string FirmwareEraseText(const FirmwareEraseNote& note) {
  std::string offered;
  for (const std::string& word : note.offered) offered += (offered.empty() ? "" : ", ") + word;
  return "not used (" + note.code + "): " + note.reason + (offered.empty() ? "" : "; offered: " + offered);
}

} // namespace trv::format

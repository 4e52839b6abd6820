// What an erase record carries for an audit: who erased which asset under
// which ticket, the record's own id, the program file's SHA-256, and why no
// firmware erase was used where the disk offered one.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "device/erase_features.h"
#include "format/audit_fields.h"
#include "platform/platform.h"

namespace trv::format {

struct ProgramFileHash {
  std::u16string path;   // as GetModuleFileNameW tells it
  std::string sha256;    // 64 hex digits; empty: the file could not be read
  std::u16string error;  // why not, when it could not
};

struct FirmwareEraseNote {
  bool known = false;                // what the disk offers could be read
  std::vector<std::string> offered;  // "ata-security-erase", "nvme-sanitize-crypto", ...
  std::string code;                  // why none was used, as a machine code
  std::string reason;                // the same for people
};

struct RecordAudit {
  std::string id;  // a random UUID (version 4), lowercase
  AuditFields fields;
  ProgramFileHash programFile;
  FirmwareEraseNote firmware;
};

// All of it, as a run starts: never fails, a part it cannot get says why.
RecordAudit BeginAudit(win::Platform& platform, const AuditFields& fields,
                       const std::optional<device::EraseFeatures>& offered);

std::string NewRecordId(win::Platform& platform);
ProgramFileHash HashProgramFile(win::Platform& platform);
FirmwareEraseNote FirmwareEraseNoteOf(const std::optional<device::EraseFeatures>& offered);

// The record's fields: JSON members and text lines (label, value), printable.
void AddAuditJson(const RecordAudit& audit, nlohmann::ordered_json& record);
std::vector<std::pair<std::string, std::string>> AuditTextLines(const RecordAudit& audit);
std::string FirmwareEraseText(const FirmwareEraseNote& note);

} // namespace trv::format

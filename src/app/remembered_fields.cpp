#include "app/remembered_fields.h"

#include <nlohmann/json.hpp>

#include "format/records_folder.h"
#include "platform/text.h"

namespace trv::app {

namespace {
// Three fields of at most 128 characters, as JSON escapes at worst: far below this.
constexpr std::uint32_t kMostFileBytes = 16 * 1024;

std::u16string FieldOf(const nlohmann::json& file, const char* name) {
  const auto it = file.find(name);
  if (it == file.end() || !it->is_string()) return {};
  std::u16string value = Utf8ToUtf16(it->get<std::string>());
  return format::AuditFieldAcceptable(value) ? value : std::u16string();
}
} // namespace

std::u16string RememberedFieldsPath(win::Platform& platform) {
  const std::u16string base = platform.LocalAppDataFolder();
  return base.empty() ? std::u16string() : base + u"\\Trevasso\\record-fields.json";
}

format::AuditFields LoadRememberedFields(win::Platform& platform) {
  const std::u16string path = RememberedFieldsPath(platform);
  if (path.empty()) return {};
  const win::Handle h = platform.CreateFileW(path, win::GENERIC_READ, win::FILE_SHARE_READ, win::OPEN_EXISTING, 0);
  if (h == win::kInvalidHandle) return {};
  std::string bytes(kMostFileBytes + 1, '\0');
  std::uint32_t got = 0;
  const bool read = platform.ReadFile(h, bytes.data(), kMostFileBytes + 1, &got);
  platform.CloseHandle(h);
  if (!read || got > kMostFileBytes) return {};
  bytes.resize(got);
  const nlohmann::json file = nlohmann::json::parse(bytes, nullptr, false);
  if (!file.is_object()) return {};  // also what a parse error gives
  return {FieldOf(file, "operator"), FieldOf(file, "asset"), FieldOf(file, "ticket")};
}

bool RememberFields(win::Platform& platform, const format::AuditFields& fields) {
  const std::u16string path = RememberedFieldsPath(platform);
  if (path.empty() || format::MakeFolders(platform, path.substr(0, path.rfind(u'\\')))) return false;
  const std::string text = nlohmann::ordered_json{{"operator", Utf16ToUtf8(fields.operatorName)},
                                                  {"asset", Utf16ToUtf8(fields.asset)},
                                                  {"ticket", Utf16ToUtf8(fields.ticket)}}
                               .dump(2, ' ', false, nlohmann::json::error_handler_t::replace) +
                           "\n";
  const win::Handle h = platform.CreateFileW(path, win::GENERIC_WRITE, 0, win::CREATE_ALWAYS, 0);
  if (h == win::kInvalidHandle) return false;
  std::uint32_t written = 0;
  const bool ok = platform.WriteFile(h, text.data(), static_cast<std::uint32_t>(text.size()), &written) &&
                  written == text.size();
  platform.CloseHandle(h);
  return ok;
}

} // namespace trv::app

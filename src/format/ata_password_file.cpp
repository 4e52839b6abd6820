// The saved password of a security erase: a small JSON file in the records
// folder, written whole and flushed before the drive gets the password, read
// back only when every field is there and of its kind.
#include "format/ata_password_file.h"

#include <algorithm>
#include <vector>

#include <nlohmann/json.hpp>

#include "format/block_retry.h"
#include "format/erase_record.h"
#include "format/erase_record_words.h"
#include "format/records_folder.h"
#include "platform/text.h"

namespace trv::format {

namespace {

using Json = nlohmann::ordered_json;

constexpr char kKind[] = "trevasso-ata-password";
constexpr int kVersion = 1;
constexpr std::uint32_t kMostFileBytes = 65'536;  // a real file is a few hundred bytes
constexpr std::int64_t kMinuteMs = 60'000;

std::string FileText(const SavedPassword& s) {
  const Json j = {{"kind", kKind},
                  {"version", kVersion},
                  {"note", "The temporary user password of an ATA security erase by Trevasso. Keep this file until "
                           "the drive shows no password: it is how the drive is unlocked again."},
                  {"serial", s.serial},
                  {"model", s.model},
                  {"password", s.password},
                  {"windows_pe_password", s.pePassword},
                  {"set_at", s.setAt},
                  {"refused", s.refused},
                  {"undo_tried_boot", s.undoTriedBoot}};
  return j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

// Writes `bytes` as the whole file (made anew), flushed and closed; 0 or the
// error of the step that failed. A new file left half-written is removed (an
// update's is left: it may still be read by hand).
std::uint32_t WriteWhole(win::Platform& p, const std::u16string& path, const std::string& bytes, bool isNew) {
  const win::Handle h = p.CreateFileW(path, win::GENERIC_WRITE, 0, win::CREATE_ALWAYS, 0);
  if (h == win::kInvalidHandle) return p.GetLastError();
  std::uint32_t error = 0;
  for (std::size_t done = 0; done < bytes.size() && !error;) {
    std::uint32_t written = 0;
    if (!p.WriteFile(h, bytes.data() + done, static_cast<std::uint32_t>(bytes.size() - done), &written))
      error = p.GetLastError();
    else if (written == 0) error = win::ERROR_DISK_FULL;  // never loop for ever
    done += written;
  }
  if (!error && !p.FlushFileBuffers(h)) error = p.GetLastError();
  if (!p.CloseHandle(h) && !error) error = p.GetLastError();
  if (error && isNew) p.DeleteFileW(path);
  return error;
}

// The file's bytes; none when it cannot be opened or read, or is too big to be ours.
std::optional<std::string> ReadWhole(win::Platform& p, const std::u16string& path) {
  const win::Handle h = p.CreateFileW(path, win::GENERIC_READ, win::FILE_SHARE_READ, win::OPEN_EXISTING, 0);
  if (h == win::kInvalidHandle) return std::nullopt;
  std::string bytes;
  std::vector<char> piece(4096);
  bool ok = true;
  for (;;) {
    std::uint32_t read = 0;
    if (!p.ReadFile(h, piece.data(), static_cast<std::uint32_t>(piece.size()), &read)) {
      ok = false;
      break;
    }
    if (read == 0) break;
    bytes.append(piece.data(), std::min<std::size_t>(read, piece.size()));
    if (bytes.size() > kMostFileBytes) {
      ok = false;
      break;
    }
  }
  p.CloseHandle(h);
  if (!ok) return std::nullopt;
  return bytes;
}

// One of IDENTIFY's text fields: words `first` to `last`, each word's high byte
// first; anything but printable ASCII as '?', blanks and NULs trimmed.
std::string AtaText(const device::AtaBlock& b, std::size_t first, std::size_t last) {
  std::string text;
  for (std::size_t w = first; w <= last; ++w)
    for (const std::uint8_t c : {b[2 * w + 1], b[2 * w]}) text += c == 0 ? ' ' : c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
  const auto begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return {};
  return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

} // namespace

std::u16string PasswordFileName(const std::string& serial) {
  std::u16string name = u"ata-password-";
  for (const char c : serial) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                       c == '_' || c == '.';
    name += plain ? static_cast<char16_t>(c) : u'_';
  }
  return name + u".json";
}

bool SavePasswordFile(win::Platform& platform, const std::u16string& folder, SavedPassword& saved,
                      std::uint32_t& error) {
  error = 0;
  // Without a serial no drive could be matched to the file again.
  if (saved.serial.empty() || saved.password.empty()) {
    error = win::ERROR_INVALID_PARAMETER;
    return false;
  }
  const std::u16string plain = PlainFolderPath(folder);
  if (const auto failure = MakeFolders(platform, plain)) {
    error = failure->error;
    return false;
  }
  saved.path = PathIn(plain, PasswordFileName(saved.serial));
  if (saved.setAt.empty()) saved.setAt = IsoTime(UtcTimeNow(platform), true);
  try {
    error = WriteWhole(platform, saved.path, FileText(saved), true);
  } catch (...) {
    error = win::ERROR_NOT_ENOUGH_MEMORY;
  }
  return error == 0;
}

std::optional<SavedPassword> ReadPasswordFile(win::Platform& platform, const std::u16string& folder,
                                              const std::string& serial) {
  if (serial.empty()) return std::nullopt;
  const std::u16string path = PathIn(PlainFolderPath(folder), PasswordFileName(serial));
  const std::optional<std::string> bytes = ReadWhole(platform, path);
  if (!bytes) return std::nullopt;
  try {
    const Json j = Json::parse(*bytes);
    SavedPassword s;
    if (!j.is_object() || j.at("kind") != kKind || j.at("version") != kVersion) return std::nullopt;
    s.serial = j.at("serial").get<std::string>();
    s.model = j.at("model").get<std::string>();
    s.password = j.at("password").get<std::string>();
    s.pePassword = j.at("windows_pe_password").get<bool>();
    s.setAt = j.at("set_at").get<std::string>();
    s.refused = j.at("refused").get<bool>();
    if (!j.at("undo_tried_boot").is_number_integer()) return std::nullopt;
    s.undoTriedBoot = j.at("undo_tried_boot").get<std::int64_t>();
    // Another drive's file under a name that happens to match, or a password
    // that cannot be the one sent: never guessed at.
    if (s.serial != serial || s.password.empty() || s.password.size() > 32) return std::nullopt;
    s.path = path;
    return s;
  } catch (...) {
    return std::nullopt;  // broken, cut short, a field missing or of the wrong kind
  }
}

bool UpdatePasswordFile(win::Platform& platform, const SavedPassword& saved) {
  if (saved.path.empty()) return false;
  try {
    return WriteWhole(platform, saved.path, FileText(saved), false) == 0;
  } catch (...) {
    return false;
  }
}

bool RemovePasswordFile(win::Platform& platform, const SavedPassword& saved) {
  if (saved.path.empty()) return false;
  return platform.DeleteFileW(saved.path) || platform.GetLastError() == win::ERROR_FILE_NOT_FOUND;
}

std::int64_t CurrentBoot(win::Platform& platform) {
  const std::int64_t sinceStart = CounterMilliseconds(platform);
  if (sinceStart < 0) return 0;
  const std::int64_t boot = platform.WallClockMilliseconds() - sinceStart;
  // Rounded to the minute: the two clocks are read a moment apart.
  const std::int64_t minutes = (boot + kMinuteMs / 2) / kMinuteMs;
  return minutes == 0 ? kMinuteMs : minutes * kMinuteMs;  // 0 means "never tried"
}

std::string AtaSerial(const device::AtaBlock& identify) { return AtaText(identify, 10, 19); }
std::string AtaModel(const device::AtaBlock& identify) { return AtaText(identify, 27, 46); }

} // namespace trv::format

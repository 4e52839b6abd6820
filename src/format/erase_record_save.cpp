// Saving a record: the folder chain, two new files side by side, every byte
// written and flushed. Any failure is reported with the step's error, never thrown.
#include <algorithm>
#include <optional>
#include <string>

#include "format/erase_record.h"
#include "format/records_folder.h"
#include "platform/text.h"

namespace trv::format {

namespace {

// Never loop for ever on names taken: records of one disk in one second are few.
constexpr int kMostNames = 1000;

// A file the save opened; closed however the save ends.
class OpenFile {
 public:
  explicit OpenFile(win::Platform& platform) : p_(platform) {}
  ~OpenFile() {
    if (h_ != win::kInvalidHandle) p_.CloseHandle(h_);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;

  // 0 when made; ERROR_FILE_EXISTS (or ERROR_ALREADY_EXISTS) when the name is taken.
  std::uint32_t CreateNew(const std::u16string& path) {
    h_ = p_.CreateFileW(path, win::GENERIC_WRITE, 0, win::CREATE_NEW, 0);
    return h_ == win::kInvalidHandle ? p_.GetLastError() : 0;
  }
  // Writes every byte, flushes and closes; the error of the step that failed, or 0.
  std::uint32_t WriteAllAndClose(const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
      const auto piece = static_cast<std::uint32_t>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
      std::uint32_t written = 0;
      if (!p_.WriteFile(h_, bytes.data() + done, piece, &written)) return p_.GetLastError();
      // A write that succeeds and moves nothing would loop for ever.
      if (written == 0) return win::ERROR_DISK_FULL;
      done += written;
    }
    if (!p_.FlushFileBuffers(h_)) return p_.GetLastError();
    const win::Handle h = h_;
    h_ = win::kInvalidHandle;
    return p_.CloseHandle(h) ? 0 : p_.GetLastError();
  }

 private:
  win::Platform& p_;
  win::Handle h_ = win::kInvalidHandle;
};

bool Taken(std::uint32_t error) { return error == win::ERROR_FILE_EXISTS || error == win::ERROR_ALREADY_EXISTS; }

// Whether a file of this name exists. A name that cannot be looked at counts as
// free: creating it then tells what is wrong with it.
bool Exists(win::Platform& platform, const std::u16string& path) {
  const win::Handle h =
      platform.CreateFileW(path, 0, win::FILE_SHARE_READ | win::FILE_SHARE_WRITE, win::OPEN_EXISTING, 0);
  if (h == win::kInvalidHandle) return false;
  platform.CloseHandle(h);
  return true;
}

SavedRecord Failed(FolderFailure failure) {
  SavedRecord out;
  out.error = failure.error;
  out.failedPath = std::move(failure.path);
  return out;
}

SavedRecord Save(win::Platform& platform, std::u16string_view folderPath, const EraseRecord& record) {
  const std::string text = RecordText(record), json = RecordJson(record);
  const std::u16string folder = PlainFolderPath(folderPath);
  // Checked before the run, and again now that hours may have passed: a link
  // made since must not steer the files.
  if (auto refusal = CheckFolderWay(platform, folder)) return Failed({win::ERROR_ACCESS_DENIED, std::move(refusal->path)});
  if (auto failure = MakeFolders(platform, folder)) return Failed(std::move(*failure));

  const std::u16string stem = PathIn(folder, RecordFileStem(record));
  for (int n = 1; n <= kMostNames; ++n) {
    const std::u16string name = n == 1 ? stem : stem + u"_" + DecimalText(n);
    const std::u16string textPath = name + u".txt", jsonPath = name + u".json";
    // Both names must be free: a record's two files share their name.
    if (Exists(platform, textPath) || Exists(platform, jsonPath)) continue;
    OpenFile textFile(platform), jsonFile(platform);
    std::uint32_t error = textFile.CreateNew(textPath);
    if (Taken(error)) continue;
    if (error) return Failed({error, textPath});
    // Taken since the look: the text file stays behind empty, but nothing is overwritten.
    error = jsonFile.CreateNew(jsonPath);
    if (Taken(error)) continue;
    if (error) return Failed({error, jsonPath});
    if ((error = textFile.WriteAllAndClose(text))) return Failed({error, textPath});
    if ((error = jsonFile.WriteAllAndClose(json))) return Failed({error, jsonPath});
    SavedRecord out;
    out.saved = true;
    out.textPath = textPath;
    out.jsonPath = jsonPath;
    return out;
  }
  return Failed({win::ERROR_FILE_EXISTS, stem + u".txt"});
}

} // namespace

SavedRecord SaveRecord(win::Platform& platform, std::u16string_view folder, const EraseRecord& record) {
  try {
    return Save(platform, folder, record);
  } catch (...) {
    // Only memory can run out here; the open files are closed by then.
    SavedRecord out;
    out.error = win::ERROR_NOT_ENOUGH_MEMORY;
    return out;
  }
}

} // namespace trv::format

#include "format/records_folder.h"

#include <algorithm>

#include "platform/text.h"

namespace trv::format {

namespace {

// Names a probe may take before the folder counts as unusable.
constexpr int kProbeNames = 20;

// Makes a new file in the folder and removes it again; the failure of the step that failed.
std::optional<FolderFailure> ProbeWrite(win::Platform& p, const std::u16string& folder) {
  for (int n = 1; n <= kProbeNames; ++n) {
    const std::u16string path =
        PathIn(folder, u"trevasso-write-test" + (n == 1 ? std::u16string() : u"_" + DecimalText(n)) + u".tmp");
    const win::Handle h = p.CreateFileW(path, win::GENERIC_WRITE, 0, win::CREATE_NEW, 0);
    if (h == win::kInvalidHandle) {
      const std::uint32_t error = p.GetLastError();
      if (error == win::ERROR_FILE_EXISTS || error == win::ERROR_ALREADY_EXISTS) continue;
      return FolderFailure{error, path};
    }
    p.CloseHandle(h);
    if (!p.DeleteFileW(path)) return FolderFailure{p.GetLastError(), path};
    return std::nullopt;
  }
  return FolderFailure{win::ERROR_FILE_EXISTS, PathIn(folder, u"trevasso-write-test.tmp")};
}

// One folder, with the program's access list when it is one of the program's under %ProgramData%.
bool MakeFolder(win::Platform& p, const std::u16string& folder, const std::u16string& programFolder) {
  if (!programFolder.empty() && AtOrBelow(folder, programFolder)) return p.CreateDirectoryWithAccessW(folder, kProgramFolderAccess);
  return p.CreateDirectoryW(folder);
}

} // namespace

std::size_t RootLength(std::u16string_view path) {
  const auto afterNames = [&](std::size_t from, int names) {
    std::size_t at = from;
    for (int i = 0; i < names; ++i) {
      const std::size_t slash = path.find(u'\\', at);
      if (slash == std::u16string_view::npos) return path.size();
      at = slash + 1;
    }
    return at - 1;
  };
  if (path.starts_with(u"\\\\?\\UNC\\")) return afterNames(8, 2);
  if (path.starts_with(u"\\\\?\\Volume{")) return std::min(path.find(u'}'), path.size() - 1) + 1;  // \\?\Volume{...}
  if (path.starts_with(u"\\\\?\\")) return std::min<std::size_t>(path.size(), 6);  // \\?\C:
  if (path.starts_with(u"\\\\")) return afterNames(2, 2);                           // \\server\share
  if (path.size() >= 2 && path[1] == u':') return 2;
  return 0;
}

std::u16string PlainFolderPath(std::u16string_view path) {
  std::u16string folder(path);
  std::replace(folder.begin(), folder.end(), u'/', u'\\');
  while (folder.size() > RootLength(folder) + 1 && folder.back() == u'\\') folder.pop_back();
  return folder;
}

std::u16string PathIn(std::u16string_view folder, std::u16string_view name) {
  std::u16string path(folder);
  if (path.empty() || path.back() != u'\\') path += u'\\';
  return path + std::u16string(name);
}

// A folder above the last may exist behind an access check that answers
// something other than ERROR_ALREADY_EXISTS, so only the last folder's answer
// decides; when a missing parent is why it failed, that parent's own failure is
// the one told. A root is never created: whether it takes files is the save's to find.
std::optional<FolderFailure> MakeFolders(win::Platform& platform, const std::u16string& folder) {
  if (folder.empty()) return FolderFailure{win::ERROR_PATH_NOT_FOUND, folder};
  const std::size_t root = RootLength(folder);
  if (folder.size() <= root + 1 && root > 0) return std::nullopt;
  std::optional<FolderFailure> parentFailure;
  const std::u16string programFolder = ProgramDataFolder(platform);
  // From past the root's own backslash (the one after C:), to each backslash that ends a folder name.
  for (std::size_t at = root + 1; at < folder.size(); ++at) {
    if (folder[at] != u'\\' || folder[at - 1] == u'\\') continue;
    const std::u16string parent = folder.substr(0, at);
    if (MakeFolder(platform, parent, programFolder)) continue;
    const std::uint32_t error = platform.GetLastError();
    if (error != win::ERROR_ALREADY_EXISTS && error != win::ERROR_PATH_NOT_FOUND) parentFailure = FolderFailure{error, parent};
  }
  if (MakeFolder(platform, folder, programFolder)) return std::nullopt;
  const std::uint32_t error = platform.GetLastError();
  if (error == win::ERROR_ALREADY_EXISTS) return std::nullopt;
  if (error == win::ERROR_PATH_NOT_FOUND && parentFailure) return parentFailure;
  return FolderFailure{error, folder};
}

RecordsFolder PrepareRecordsFolder(win::Platform& platform, std::u16string_view folderPath, std::uint32_t deviceNumber) {
  RecordsFolder out;
  const std::u16string given = PlainFolderPath(folderPath);
  if (given.empty()) {
    out.failure = FolderFailure{win::ERROR_PATH_NOT_FOUND, given};
    return out;
  }
  const std::u16string full = platform.GetFullPathNameW(given);
  if (full.empty()) {
    out.failure = FolderFailure{platform.GetLastError(), given};
    return out;
  }
  out.folder = PlainFolderPath(full);
  out.refusal = RecordsFolderRefusal(platform, out.folder, deviceNumber);
  if (out.refusal) return out;  // nothing made on the disk to be erased, nor through a link
  out.failure = MakeFolders(platform, out.folder);
  if (!out.failure) out.failure = ProbeWrite(platform, out.folder);
  return out;
}

} // namespace trv::format

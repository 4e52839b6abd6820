// The simulated PC's folders as a records folder's guard sees them: owners,
// access lists, junctions, SUBST drives, final paths, and the memory of the
// disk I/O. See docs/scenario.md, "Owners, junctions and SUBST drives".
#include <algorithm>
#include <cstring>

#include <nlohmann/json.hpp>

#include "platform/sim/json_fields.h"
#include "platform/sim/sim_paths.h"
#include "platform/sim/sim_platform.h"

namespace trv::sim {

namespace {

constexpr char16_t kAdministratorsSid[] = u"S-1-5-32-544";
constexpr int kMostLinksInARow = 8;  // Windows stops a longer chain too

bool IsAbsolute(std::u16string_view path) {
  return (path.size() >= 3 && path[1] == u':' && path[2] == u'\\') || path.starts_with(u"\\\\");
}

std::u16string WithoutTrailingBackslash(std::u16string path) {
  while (path.size() > 3 && path.back() == u'\\') path.pop_back();
  return path;
}

// `path` with the folder `from` in front of it replaced by `to`.
std::u16string Moved(const std::u16string& path, std::size_t fromLength, const std::u16string& to) {
  return WithoutTrailingBackslash(to) + path.substr(std::min(fromLength, path.size()));
}

} // namespace

void ParseFolderLinks(const nlohmann::json& root, const std::string& w, Scenario& sc) {
  const auto each = [&](const char* field, const char* expected, auto put) {
    if (!jf::Has(root, field)) return;
    const nlohmann::json& map = root[field];
    jf::RequireObject(map, w + ": " + field);
    for (const auto& item : map.items()) {
      if (!item.value().is_string()) jf::Fail(w + ": " + field, item.key(), expected);
      if (!put(Utf8ToUtf16(item.key()), Utf8ToUtf16(item.value().get<std::string>())))
        jf::Fail(w + ": " + field, item.key(), expected);
    }
  };
  each("folderOwners", "expected an absolute folder path and a SID such as \"S-1-5-32-544\"",
       [&](const std::u16string& folder, const std::u16string& sid) {
         sc.folderOwners[folder] = sid;
         return IsAbsolute(folder) && sid.starts_with(u"S-1-");
       });
  each("junctions", "expected an absolute folder path and the absolute folder it leads to",
       [&](const std::u16string& folder, const std::u16string& target) {
         sc.junctions[folder] = target;
         return IsAbsolute(folder) && FolderKey(folder).size() > 2 && IsAbsolute(target);
       });
  each("substDrives", "expected a drive letter and the absolute folder it stands for, such as \"E:\\\\Data\"",
       [&](const std::u16string& letter, const std::u16string& target) {
         const char16_t drive = letter.empty() ? u'?' : AsciiUpper(letter)[0];
         if (letter.size() != 1 || drive < u'A' || drive > u'Z') return false;
         sc.substDrives[drive] = target;
         return IsAbsolute(target);
       });
}

std::u16string SimPlatform::Linked(std::u16string_view path) const {
  // Without links a path is kept as the program wrote it, as it always was.
  if (sc_.junctions.empty() && sc_.substDrives.empty()) return std::u16string(path);
  // A bare drive ("C:") is its root here, never the drive's current folder.
  std::u16string p = path.size() == 2 && path[1] == u':' ? std::u16string(path) + u"\\" : FullPath(path);
  for (int hop = 0; hop < kMostLinksInARow; ++hop) {
    if (p.size() >= 2 && p[1] == u':') {
      const auto drive = sc_.substDrives.find(AsciiUpper(p.substr(0, 1))[0]);
      if (drive != sc_.substDrives.end()) {
        p = Moved(p, 2, drive->second);
        continue;
      }
    }
    const std::u16string key = FolderKey(p);
    const std::pair<const std::u16string, std::u16string>* deepest = nullptr;
    for (const auto& junction : sc_.junctions) {
      const std::u16string folder = FolderKey(junction.first);
      if ((key == folder || Below(key, folder)) && (!deepest || folder.size() > FolderKey(deepest->first).size()))
        deepest = &junction;
    }
    if (!deepest) break;
    p = Moved(p, FolderKey(deepest->first).size(), deepest->second);
  }
  return p;
}

std::uint32_t SimPlatform::GetFileAttributesW(std::u16string_view path) {
  const std::u16string full = FolderKey(FullPath(path));
  std::uint32_t attributes = win::INVALID_FILE_ATTRIBUTES, error = 0;
  // The item itself where its folder leads: a junction or a mount folder is a reparse point.
  const std::u16string parent = ParentKey(full);
  const std::u16string item = parent.empty() ? full : FolderKey(LinkedKey(parent)) + full.substr(parent.size());
  bool reparse = false;
  for (const auto& [folder, target] : sc_.junctions) reparse = reparse || FolderKey(folder) == item;
  for (const SimVolume& v : sc_.volumes)
    for (const std::u16string& folder : v.mountFolders) reparse = reparse || FolderKey(folder) == item;
  const std::u16string key = FolderKey(LinkedKey(full));
  if (full.empty()) error = win::ERROR_PATH_NOT_FOUND;
  else if (reparse) attributes = win::FILE_ATTRIBUTE_DIRECTORY | win::FILE_ATTRIBUTE_REPARSE_POINT;
  else if (files_.count(key)) attributes = win::FILE_ATTRIBUTE_ARCHIVE;
  else if (FolderExists(key)) attributes = win::FILE_ATTRIBUTE_DIRECTORY;
  else error = FolderExists(ParentKey(key)) ? win::ERROR_FILE_NOT_FOUND : win::ERROR_PATH_NOT_FOUND;
  Log("GetFileAttributesW", U8(path) + (error ? " -> failed error=" + std::to_string(error) : " -> " + Hex32(attributes)));
  lastError_ = error;
  return attributes;
}

std::u16string SimPlatform::GetFileOwnerSid(std::u16string_view path) {
  const std::u16string full = FolderKey(FullPath(path)), key = FolderKey(LinkedKey(full));
  std::u16string owner;
  if (!files_.count(key) && !FolderExists(key)) {
    Log("GetFileOwnerSid", U8(path) + " -> failed error=2");
    Fail(win::ERROR_FILE_NOT_FOUND);
    return {};
  }
  // The owner of the link itself first, then of where it leads; the machine's own folders are Administrators'.
  for (const std::u16string& k : {full, key}) {
    for (const auto& [folder, sid] : sc_.folderOwners)
      if (owner.empty() && FolderKey(folder) == k) owner = sid;
    if (const auto made = owners_.find(k + u"\\"); owner.empty() && made != owners_.end()) owner = made->second;
  }
  if (owner.empty()) owner = kAdministratorsSid;
  Log("GetFileOwnerSid", U8(path) + " -> " + U8(owner));
  lastError_ = 0;
  return owner;
}

bool SimPlatform::CreateDirectoryWithAccessW(std::u16string_view path, std::u16string_view sddl) {
  // ConvertStringSecurityDescriptorToSecurityDescriptorW refuses a text without an access list.
  if (sddl.find(u"D:") == std::u16string_view::npos) {
    Log("CreateDirectoryWithAccessW", U8(path) + " sddl=" + U8(sddl) + " -> failed error=87");
    return Fail(win::ERROR_INVALID_PARAMETER);
  }
  return MakeFolder(path, "CreateDirectoryWithAccessW", sddl);
}

std::optional<std::u16string> SimPlatform::FolderAccess(std::u16string_view path) const {
  const auto it = access_.find(FolderKey(LinkedKey(path)) + u"\\");
  if (it == access_.end()) return std::nullopt;
  return it->second;
}

std::u16string SimPlatform::GetFinalPathNameByHandleW(win::Handle handle, std::uint32_t flags) {
  const std::string detail = Hex32(static_cast<std::uint64_t>(handle)) + " flags=" + std::to_string(flags);
  const auto answer = [&](std::u16string path, std::uint32_t error) {
    Log("GetFinalPathNameByHandleW", detail + (error ? " -> failed error=" + std::to_string(error) : " -> " + U8(path)),
        0, handle);
    lastError_ = error;
    return path;
  };
  if (sc_.osMajor < 6) return answer({}, win::ERROR_PROC_NOT_FOUND);  // Windows XP has no such call
  const Open* o = Find(handle);
  if (!o || (o->kind != Kind::File && o->kind != Kind::Folder)) return answer({}, win::ERROR_INVALID_HANDLE);
  const std::u16string path = WithoutTrailingBackslash(o->path);
  if (flags == win::VOLUME_NAME_DOS)
    return answer(path.starts_with(u"\\\\") ? u"\\\\?\\UNC\\" + path.substr(2) : u"\\\\?\\" + path, 0);
  if (flags != win::VOLUME_NAME_GUID) return answer({}, win::ERROR_INVALID_PARAMETER);
  // The volume whose drive root or mount folder is the deepest in front of the path.
  const std::u16string upper = AsciiUpper(path) + u"\\";
  const SimVolume* volume = nullptr;
  std::size_t longest = 0;
  for (const SimVolume& v : sc_.volumes)
    for (const std::u16string& folder : v.PathNames())
      if (folder.size() > longest && upper.starts_with(AsciiUpper(folder))) {
        volume = &v;
        longest = folder.size();
      }
  if (!volume) return answer({}, win::ERROR_PATH_NOT_FOUND);  // a share, or a drive without a volume
  return answer(volume->GuidPath() + path.substr(std::min(longest, path.size())), 0);
}

std::u16string SimPlatform::QueryDosDeviceW(std::u16string_view deviceName) {
  std::u16string target;
  if (deviceName.size() == 2 && deviceName[1] == u':') {
    const char16_t letter = AsciiUpper(deviceName.substr(0, 1))[0];
    if (const auto subst = sc_.substDrives.find(letter); subst != sc_.substDrives.end()) {
      target = u"\\??\\" + subst->second;
    } else {
      for (std::size_t i = 0; i < sc_.volumes.size() && target.empty(); ++i)
        if (!sc_.volumes[i].root.empty() && AsciiUpper(sc_.volumes[i].root.substr(0, 1))[0] == letter)
          target = u"\\Device\\HarddiskVolume" + Utf8ToUtf16(std::to_string(i + 1));
      if (target.empty() && DriveExists(letter)) target = u"\\Device\\HarddiskVolume1";
    }
  }
  Log("QueryDosDeviceW", U8(deviceName) + (target.empty() ? " -> failed error=2" : " -> " + U8(target)));
  lastError_ = target.empty() ? win::ERROR_FILE_NOT_FOUND : 0;
  return target;
}

void* SimPlatform::VirtualAlloc(std::size_t size) {
  void* memory = size == 0 ? nullptr : ::operator new(size, kPageAlignment, std::nothrow);
  if (!memory) {
    Log("VirtualAlloc", std::to_string(size) + " bytes -> failed");
    Fail(size == 0 ? win::ERROR_INVALID_PARAMETER : win::ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::memset(memory, 0, size);  // committed pages come zero-filled
  allocations_[memory] = size;
  Log("VirtualAlloc", std::to_string(size) + " bytes");
  lastError_ = 0;
  return memory;
}

bool SimPlatform::VirtualFree(void* memory) {
  const auto it = allocations_.find(memory);
  if (it == allocations_.end()) {
    Log("VirtualFree", "unknown address -> failed error=487");
    return Fail(487);  // ERROR_INVALID_ADDRESS
  }
  Log("VirtualFree", std::to_string(it->second) + " bytes");
  allocations_.erase(it);
  ::operator delete(memory, kPageAlignment);
  lastError_ = 0;
  return true;
}

} // namespace trv::sim

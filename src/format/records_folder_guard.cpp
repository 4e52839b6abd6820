#include "format/records_folder_guard.h"

#include <vector>

#include "format/records_folder.h"
#include "format/volume_lock.h"
#include "platform/text.h"

namespace trv::format {

namespace {

constexpr int kMostSubstDrivesInARow = 8;  // a SUBST of a SUBST of ...: never for ever

// Each folder of the way from the first below the root to `folder` itself.
std::vector<std::u16string> FoldersOnTheWay(const std::u16string& folder) {
  std::vector<std::u16string> out;
  const std::size_t root = RootLength(folder);
  for (std::size_t at = root + 1; at <= folder.size(); ++at)
    if ((at == folder.size() || folder[at] == u'\\') && folder[at - 1] != u'\\') out.push_back(folder.substr(0, at));
  return out;
}

bool Missing(std::uint32_t error) { return error == win::ERROR_FILE_NOT_FOUND || error == win::ERROR_PATH_NOT_FOUND; }

// The deepest folder of the way that exists (the root when none below it does).
std::u16string DeepestExisting(win::Platform& p, const std::u16string& folder) {
  const std::vector<std::u16string> way = FoldersOnTheWay(folder);
  for (auto it = way.rbegin(); it != way.rend(); ++it)
    if (p.GetFileAttributesW(*it) != win::INVALID_FILE_ATTRIBUTES) return *it;
  const std::size_t root = RootLength(folder);
  return folder.substr(0, root) + (root < folder.size() ? u"\\" : u"");
}

// The volume GUID path ("\\?\Volume{...}\") the folder really lies on, from
// its final path; empty where the system cannot tell (Windows XP, a share).
std::u16string FinalVolume(win::Platform& p, const std::u16string& folder) {
  const win::Handle h = p.CreateFileW(DeepestExisting(p, folder), 0,
                                      win::FILE_SHARE_READ | win::FILE_SHARE_WRITE | win::FILE_SHARE_DELETE,
                                      win::OPEN_EXISTING, win::FILE_FLAG_BACKUP_SEMANTICS);
  if (h == win::kInvalidHandle) return {};
  const std::u16string final = p.GetFinalPathNameByHandleW(h, win::VOLUME_NAME_GUID);
  p.CloseHandle(h);
  const std::size_t close = final.find(u"}\\");
  if (!final.starts_with(u"\\\\?\\Volume{") || close == std::u16string::npos) return {};
  return final.substr(0, close + 2);
}

// The path with each SUBST drive in front of it replaced by the folder it stands for (Windows XP's way).
std::u16string WithoutSubstDrives(win::Platform& p, std::u16string path) {
  for (int hop = 0; hop < kMostSubstDrivesInARow && path.size() >= 2 && path[1] == u':'; ++hop) {
    const std::u16string target = p.QueryDosDeviceW(path.substr(0, 2));
    if (!target.starts_with(u"\\??\\") || target.size() < 6 || target[5] != u':') break;
    std::u16string folder = target.substr(4), rest = path.substr(2);
    while (folder.size() > 3 && folder.back() == u'\\') folder.pop_back();
    if (folder.back() == u'\\' && rest.starts_with(u'\\')) rest.erase(0, 1);  // a SUBST of a drive's root
    path = folder + rest;
  }
  return path;
}

// How a refusal names a volume: its first drive root or mount folder, else its GUID path.
std::u16string VolumeName(const VolumeFacts& v) { return v.paths.empty() ? v.guidPath : v.paths.front(); }

} // namespace

std::u16string ProgramDataFolder(win::Platform& platform) {
  const std::u16string common = platform.CommonAppDataFolder();
  return common.empty() ? std::u16string() : PathIn(common, u"Trevasso");
}

bool AtOrBelow(std::u16string_view path, std::u16string_view folder) {
  const std::u16string p = AsciiUpper(path), f = AsciiUpper(folder);
  return !f.empty() && p.starts_with(f) && (p.size() == f.size() || p[f.size()] == u'\\' || f.back() == u'\\');
}

std::optional<FolderRefusal> CheckFolderWay(win::Platform& p, const std::u16string& folder) {
  const std::u16string programFolder = ProgramDataFolder(p);
  for (const std::u16string& path : FoldersOnTheWay(folder)) {
    FolderRefusal refusal{FolderRefusal::Why::Link, folder, path, {}, 0};
    const std::uint32_t attributes = p.GetFileAttributesW(path);
    if (attributes == win::INVALID_FILE_ATTRIBUTES) {
      refusal.error = p.GetLastError();
      if (Missing(refusal.error)) return std::nullopt;  // the rest is made by the program
      refusal.why = FolderRefusal::Why::Unchecked;
      return refusal;
    }
    if (attributes & win::FILE_ATTRIBUTE_REPARSE_POINT) return refusal;
    if (programFolder.empty() || !AtOrBelow(path, programFolder)) continue;
    refusal.detail = p.GetFileOwnerSid(path);
    if (refusal.detail.empty()) {
      refusal.why = FolderRefusal::Why::OwnerUnknown;
      refusal.error = p.GetLastError();
      return refusal;
    }
    if (refusal.detail != kSystemSid && refusal.detail != kAdministratorsSid) {
      refusal.why = FolderRefusal::Why::Owner;
      return refusal;
    }
  }
  return std::nullopt;
}

std::optional<FolderRefusal> CheckNotOnDisk(win::Platform& p, const std::u16string& folder, std::uint32_t deviceNumber,
                                            const std::vector<VolumeFacts>* known) {
  std::vector<VolumeFacts> volumes;
  if (known) {
    volumes = *known;
  } else {
    std::uint32_t error = 0;
    if (!FindVolumes(p, volumes, error)) return std::nullopt;  // the volume lock refuses such a disk by itself
    for (VolumeFacts& v : volumes) v = InspectVolume(p, v.guidPath);
  }
  const auto refused = [&](const VolumeFacts& v) -> std::optional<FolderRefusal> {
    if (VolumeOnDisk(v, deviceNumber) == DiskMatch::No) return std::nullopt;
    return FolderRefusal{FolderRefusal::Why::OnErasedDisk, folder, folder, VolumeName(v), 0};
  };
  // Where the folder really is, through every junction, SUBST drive and mounted folder.
  if (const std::u16string guidPath = FinalVolume(p, folder); !guidPath.empty()) {
    for (const VolumeFacts& listed : volumes)
      if (AsciiUpper(listed.guidPath) == AsciiUpper(guidPath)) return refused(listed);
    return std::nullopt;  // on no volume of this computer's: a share
  }
  // Without final paths (Windows XP): SUBST drives resolved by hand, then the
  // volume whose drive root or mount folder holds the path. A junction on the
  // way is refused as a link anyway.
  const std::u16string root = p.GetVolumePathNameW(WithoutSubstDrives(p, folder));
  if (root.empty() || (root.starts_with(u"\\\\") && !root.starts_with(u"\\\\?\\"))) return std::nullopt;  // a share
  for (const VolumeFacts& volume : volumes)
    for (const std::u16string& path : volume.paths)
      if (AsciiUpper(path) == AsciiUpper(root)) return refused(volume);
  return std::nullopt;
}

std::optional<FolderRefusal> RecordsFolderRefusal(win::Platform& p, const std::u16string& folder,
                                                  std::uint32_t deviceNumber, const std::vector<VolumeFacts>* volumes) {
  if (auto refusal = CheckNotOnDisk(p, folder, deviceNumber, volumes)) return refusal;
  return CheckFolderWay(p, folder);
}

const char* RefusalCode(const FolderRefusal& refusal) {
  return refusal.why == FolderRefusal::Why::OnErasedDisk ? kRecordsFolderOnDisk : kRecordsFolderUnusable;
}

std::u16string RefusalText(win::Platform& p, const FolderRefusal& r, std::u16string_view disk) {
  const auto error = [&] { return u"(" + DecimalText(r.error) + u") " + p.SystemMessage(r.error); };
  switch (r.why) {
    case FolderRefusal::Why::Link:
      return u"the way to the records folder " + r.folder + u" passes through " + r.path +
             u", a junction, symbolic link or mounted folder, which could lead the records anywhere; make it a plain "
             u"folder, or choose another records folder";
    case FolderRefusal::Why::Owner:
      return u"the folder " + r.path + u" is owned by " + r.detail +
             u", not by SYSTEM or Administrators: another user may have made it, and could change the records or "
             u"where they go. As an administrator, move any records out of it, delete it (rd /s /q \"" + r.path +
             u"\") and run again: the program makes it anew, with access for SYSTEM and Administrators only";
    case FolderRefusal::Why::OwnerUnknown:
      return u"the owner of the folder " + r.path + u" cannot be read " + error() +
             u", so it cannot be told whether another user could change the records there";
    case FolderRefusal::Why::Unchecked:
      return u"the folder " + r.path + u" on the way to the records folder cannot be looked at " + error();
    case FolderRefusal::Why::OnErasedDisk:
      return u"the records folder " + r.folder + u" is on " + r.detail + u", a volume of " + std::u16string(disk) +
             u", which is to be erased";
  }
  return {};
}

} // namespace trv::format

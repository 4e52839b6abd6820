// Whether a records folder may be used at all. A program running as SYSTEM
// writes and deletes there, so nobody else may steer it: no junction, symbolic
// link or mounted folder on the way (a standard user can make a junction in a
// folder of theirs), the program's own folders under %ProgramData% owned by
// SYSTEM or Administrators only and made with their own access list, and never
// a folder on the disk to be erased, however it is reached (a junction, a
// SUBST drive, a mounted folder).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace trv::format {

struct VolumeFacts;

// The access list of the folders the program makes under %ProgramData%:
// SYSTEM and Administrators full control, Users read and list, nothing taken
// from the folder above (P: protected).
inline constexpr char16_t kProgramFolderAccess[] = u"D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
inline constexpr char16_t kSystemSid[] = u"S-1-5-18";
inline constexpr char16_t kAdministratorsSid[] = u"S-1-5-32-544";

struct FolderRefusal {
  enum class Why {
    Link,          // `path` is a junction, a symbolic link or a mounted folder
    Owner,         // `path`, a folder of the program's under %ProgramData%, is owned by `detail`
    OwnerUnknown,  // the owner of `path` cannot be read (`error`)
    Unchecked,     // `path` cannot be looked at (`error`)
    OnErasedDisk,  // the folder lies on `detail`, a volume of the disk to be erased
  };
  Why why = Why::Link;
  std::u16string folder;  // the records folder
  std::u16string path;    // the folder on the way that is refused
  std::u16string detail;
  std::uint32_t error = 0;
};

// The program's folder under %ProgramData% ("C:\ProgramData\Trevasso"); empty
// when the system names no such folder.
std::u16string ProgramDataFolder(win::Platform& platform);
// Whether `path` is `folder` or lies below it, without regard to case.
bool AtOrBelow(std::u16string_view path, std::u16string_view folder);

// The folders on the way to `folder` that exist: none a link, and the
// program's own under %ProgramData% owned by SYSTEM or Administrators.
std::optional<FolderRefusal> CheckFolderWay(win::Platform& platform, const std::u16string& folder);
// Where the absolute `folder` really lies (its final path, through junctions,
// SUBST drives and mounted folders): refused on a volume of physical disk `deviceNumber`.
// `volumes`: every volume of the system, inspected; none: they are looked up.
std::optional<FolderRefusal> CheckNotOnDisk(win::Platform& platform, const std::u16string& folder,
                                            std::uint32_t deviceNumber, const std::vector<VolumeFacts>* volumes = nullptr);
// Both, the erased disk first: it tells the most.
std::optional<FolderRefusal> RecordsFolderRefusal(win::Platform& platform, const std::u16string& folder,
                                                  std::uint32_t deviceNumber,
                                                  const std::vector<VolumeFacts>* volumes = nullptr);

// Its stable word: "records-folder-on-disk" for a folder on the disk to be
// erased, else "records-folder-unusable" (as for a folder that takes no files).
inline constexpr char kRecordsFolderOnDisk[] = "records-folder-on-disk";
inline constexpr char kRecordsFolderUnusable[] = "records-folder-unusable";
const char* RefusalCode(const FolderRefusal& refusal);

// The refusal in words, starting in lower case, without a final stop; `disk`
// names the disk to be erased ("disk 1").
std::u16string RefusalText(win::Platform& platform, const FolderRefusal& refusal, std::u16string_view disk);

} // namespace trv::format

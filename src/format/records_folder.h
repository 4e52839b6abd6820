// The folder an erase's record goes to: its path made plain, the folders made,
// and, before a console erase touches the disk, the proof that a record can be
// saved there and that it does not lie on the disk being erased.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "format/records_folder_guard.h"
#include "platform/platform.h"

namespace trv::format {

// Where the path's root ends (drive, share or device prefix): folders above it are never created.
std::size_t RootLength(std::u16string_view path);

// '/' taken as '\' (Windows takes both, the folders are made at each '\'),
// without trailing backslashes but a root's own ("C:\").
std::u16string PlainFolderPath(std::u16string_view folder);

// A file's path in a folder: one backslash between them, also after a root.
std::u16string PathIn(std::u16string_view folder, std::u16string_view name);

struct FolderFailure {
  std::uint32_t error = 0;
  std::u16string path;  // the folder or file the failing step was for
};

// Creates the folder and those above it, from the top down; none when the
// folder is there afterwards. An empty folder fails with ERROR_PATH_NOT_FOUND.
// The program's own folders under %ProgramData% get its access list
// (kProgramFolderAccess), every other folder the one it inherits.
std::optional<FolderFailure> MakeFolders(win::Platform& platform, const std::u16string& folder);

struct RecordsFolder {
  std::u16string folder;                 // absolute: where the record is to be saved
  std::optional<FolderFailure> failure;  // why a record cannot be saved there
  std::optional<FolderRefusal> refusal;  // why it may not be used at all (records_folder_guard.h)
  bool Ready() const { return !failure && !refusal; }
};

// Before an erase of physical disk `deviceNumber`: the folder made absolute
// (GetFullPathNameW), refused when it lies on a volume of that disk (however it
// is reached), when a link is on its way or when another user owns the
// program's folder under %ProgramData%; then created, and proven writable by a
// probe file made and removed. Nothing is created in a refused folder.
RecordsFolder PrepareRecordsFolder(win::Platform& platform, std::u16string_view folder, std::uint32_t deviceNumber);

} // namespace trv::format

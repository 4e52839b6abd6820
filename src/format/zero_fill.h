// The zero-fill loop: writes zeros over the disk from offset 0 (or, for a quick
// wipe, over the partition tables at both ends) in blocks that grow with the
// measured speed, reporting progress and speed per block and taking Stop in.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "device/hidden_range.h"
#include "format/erase_observer.h"

namespace trv::format {

inline constexpr std::int64_t kZeroBufferSize = 33'554'432;   // 32 MiB, also the largest block
inline constexpr std::int64_t kQuickWipeBytes = 10'240'000;   // 20,000 sectors of 512 bytes
inline constexpr std::int64_t kBackupTableBytes = 1'048'576;  // the end of the disk a quick wipe also clears
inline constexpr std::int64_t kInitialBlockSize = 65'536;

// The disk a run writes: an open handle and its size.
struct EraseTarget {
  win::Handle handle = win::kInvalidHandle;
  std::int64_t sectors = 0;
  std::int64_t sectorSize = 0;
  // The bytes the drive states it holds, when that is more than Windows shows
  // (sectors * sectorSize): what lies past Windows' end cannot be written.
  std::int64_t statedBytes = 0;
  // Sectors past the stated size that a host protected area or a device
  // configuration overlay hides: out of reach as well.
  std::vector<device::HiddenRange> hidden;
};

// The byte ranges a run writes: the whole disk, or for a quick wipe its first
// 10,240,000 bytes (up to the next sector boundary) and its last MiB (where a
// GPT keeps its backup).
std::vector<Span> EraseAreas(std::int64_t capacity, bool quickWipe, std::int64_t sectorSize);

// Moves the handle's file pointer to `offset`; the new position, or -1.
std::int64_t SeekDevice(win::Platform& platform, win::Handle handle, std::int64_t offset);

// Runs to completion, cancellation or termination and says which. A watch in
// `ctx` is given the run as it stands after every transfer, for a record that
// must be saved before the run ends.
EraseResult LowLevelFormat(FormatContext& ctx, const EraseTarget& target, bool quickWipe);

// The bytes Windows cannot reach, all in one place: past the end Windows
// shows, when the drive states more. Each range gets its line through `log`
// and is counted as unwritten, so that a run (or a record saved before its
// end) is never said or recorded to be complete.
void NoteUnreachableBytes(const EraseTarget& target, EraseResult& run,
                          const std::function<void(const std::u16string&)>& log);

} // namespace trv::format

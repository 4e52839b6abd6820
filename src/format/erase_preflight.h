// What an erase checks once, before it locks anything: that its records folder
// may be used, and that the program's buffers suit the disk's adapter.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace trv::format {

struct Preflight {
  std::u16string refusal;      // why the erase may not start, one sentence; empty: it may
  std::string code;            // its stable word: the records folder's (RefusalCode), or kAdapterAlignment
  bool recordsFolder = false;  // the refusal is the records folder's
};

struct VolumeFacts;

inline constexpr char kAdapterAlignment[] = "adapter-alignment";

// `recordsFolder` empty: the default one; `volumes`: every volume of the
// system, inspected (the volume lock's survey).
Preflight CheckBeforeLocking(win::Platform& platform, const std::u16string& recordsFolder, std::uint32_t deviceNumber,
                             win::Handle disk, const std::vector<VolumeFacts>& volumes);

} // namespace trv::format

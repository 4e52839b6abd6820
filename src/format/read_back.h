// The read-back after an erase: every area the run wrote is read again, block
// by block on the zero fill's schedule, and every byte must be zero. A write
// the disk reported but did not make (a cache that lies, a failing medium)
// shows up here and nowhere else.
#pragma once
#include <vector>

#include "format/erase_observer.h"
#include "format/zero_fill.h"

namespace trv::format {

// Runs to its end, to Stop or to the disk going away, and says which. The
// outcome line is "校验通过" only when every byte read back as zero.
VerifyResult ReadBack(FormatContext& ctx, const EraseTarget& target, const std::vector<Span>& areas);

} // namespace trv::format

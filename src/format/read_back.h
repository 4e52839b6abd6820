// The read-back after an erase: every area the run wrote is read again, block
// by block on the zero fill's schedule, and every byte must be zero. A write
// the disk reported but did not make (a failing medium, a driver or bridge that
// drops writes) shows up here and nowhere else. It sees what the disk answers:
// a drive that serves the read from its own cache can still hide a medium
// that never took the zeros.
#pragma once
#include <vector>

#include "format/erase_observer.h"
#include "format/zero_fill.h"

namespace trv::format {

// What every byte read back must be: zeros after a zero fill or a block
// erase; zeros or FFh after a block erase on a drive whose deallocated blocks
// read FFh; anything readable after a crypto erase, whose new content is noise.
enum class ReadBackExpect { Zeros, ZerosOrOnes, Readable };

// Runs to its end, to Stop or to the disk going away, and says which. The
// outcome line is "校验通过" only when every byte read back as expected.
VerifyResult ReadBack(FormatContext& ctx, const EraseTarget& target, const std::vector<Span>& areas,
                      ReadBackExpect expect = ReadBackExpect::Zeros);

} // namespace trv::format

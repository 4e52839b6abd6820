// The medium of a simulated disk: a known, non-zero starting content (a function
// of the offset), the byte ranges written since, the faults a scenario gives it,
// and how long its writes take. Nothing is held per byte, so a 2 TB disk costs
// nothing.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/sim/byte_ranges.h"

namespace trv::sim {

struct MediaFault {
  std::int64_t offset = 0;
  std::int64_t length = 0;
  std::uint32_t error = 0;
};

// What the scenario says about the medium.
struct MediaSetup {
  std::vector<MediaFault> badAreas;        // writes touching these fail with their error
  std::optional<MediaFault> unplug;        // the write covering `offset` fails, and every later request
  std::vector<MediaFault> seekFails;       // a seek to exactly `offset` fails
  std::optional<std::uint32_t> flushError; // FlushFileBuffers fails with this
  std::vector<ByteRange> lyingAreas;       // writes here report success and change nothing
  std::vector<MediaFault> readErrors;      // reads touching these fail with their error
  std::optional<MediaFault> unplugOnRead;  // the read covering `offset` fails, and every later request
  // A write touching one of these takes `milliseconds` on the PC's clock (a
  // drive that does not answer until its driver's timeout), then fails with its error.
  std::vector<MediaFault> hangingAreas;
  std::vector<std::int64_t> hangMilliseconds;  // one per hanging area; kHangsForever: until cancelled
  // One per hanging area: a cancel is taken (CancelSynchronousIo succeeds) but
  // the request goes on to its end, as a driver that does not honour it.
  std::vector<bool> hangIgnoresCancel;
  // The same for reads (the read-back).
  std::vector<MediaFault> hangingReads;
  std::vector<std::int64_t> readHangMilliseconds;
  std::vector<bool> readHangIgnoresCancel;
  // Writes from `offset` on go at this speed (a stick past its cache) and wait
  // with the disk as a hanging write does: the window answers meanwhile, and a
  // cancel ends the write with 995. -1: none.
  std::int64_t slowFrom = -1;
  double slowMegabytesPerSecond = 0;
  bool writeProtected = false;  // IOCTL_DISK_IS_WRITABLE fails with 19, and so does every write
  bool readOnly = false;        // the disk's read-only attribute (Windows 7 and later); writes fail with 19
  bool offline = false;         // the disk's offline attribute (Windows 7 and later); writes fail with 19
  double megabytesPerSecond = 100;         // 1,000,000 bytes; 0: writes take no time
  std::int64_t writeLatencyUs = 0;         // per write, on top of the transfer time
};

MediaSetup ParseMedia(const nlohmann::json& j, const std::string& where);

// A hanging area whose writes never return on their own: only a cancel ends them.
inline constexpr std::int64_t kHangsForever = -1;

// The content a disk starts with: never zero, different from byte to byte.
inline std::uint8_t PatternByte(std::int64_t offset) { return static_cast<std::uint8_t>(offset % 251 + 1); }

// What a byte nobody wrote since holds: the starting pattern, or what a
// firmware erase left (new pseudo-random content, or one byte everywhere).
struct MediaBase {
  enum class Kind { Pattern, Random, Fill };
  Kind kind = Kind::Pattern;
  std::uint64_t seed = 0;  // Random: the content of this erase
  std::uint8_t fill = 0;   // Fill
};
std::uint8_t BaseByte(const MediaBase& base, std::int64_t offset);

// What the medium holds while the simulated PC runs.
struct MediaState {
  ByteRanges zero;      // bytes that read back as zero now
  ByteRanges changed;   // bytes that no longer hold their starting content
  // Bytes written with other content since the last erase; that content is not
  // kept: they read back as the base inverted.
  ByteRanges overwritten;
  MediaBase base;
  std::int64_t erasures = 0;  // firmware erases (sanitize, format) that reached this medium
  std::int64_t writes = 0;
  bool unplugged = false;
  std::uint32_t unplugError = 0;  // what every request fails with once unplugged
};

// How one write or read to the medium comes out.
struct MediaResult {
  bool ok = false;
  std::uint32_t error = 0;
  std::int64_t busyUs = 0;  // time the transfer takes
  bool hangs = false;       // a hanging write: it waits `busyUs` (or, endless, until cancelled) before it fails
  bool endless = false;
  bool ignoresCancel = false;  // a cancel does not end the wait
};

MediaResult MediaWrite(const MediaSetup& setup, MediaState& state, std::int64_t length, std::int64_t offset,
                       const std::uint8_t* data, std::uint32_t size);
// A firmware erase of the whole medium: every byte reads `base` from now on.
// A fill of zero is kept as zero ranges, so that reading it back stays fast.
void MediaErase(MediaState& state, std::int64_t length, const MediaBase& base);

MediaResult MediaRead(const MediaSetup& setup, MediaState& state, std::int64_t length, std::int64_t offset,
                      std::uint8_t* data, std::uint32_t size);

} // namespace trv::sim

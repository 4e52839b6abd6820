#include "platform/sim/sim_media.h"

#include <algorithm>
#include <cstring>

#include "platform/sim/json_fields.h"
#include "platform/win_types.h"

namespace trv::sim {

using jf::json;

namespace {

MediaFault ParseFault(const json& j, const std::string& where, bool withLength, std::uint32_t defaultError) {
  if (withLength) jf::CheckKeys(j, where, {"offset", "length", "error"});
  else jf::CheckKeys(j, where, {"offset", "error"});
  if (!jf::Has(j, "offset")) jf::Fail(where, "offset", "missing");
  MediaFault f;
  f.offset = jf::Int(j, "offset", where, 0, 0, INT64_MAX);
  f.length = withLength ? jf::Int(j, "length", where, 512, 1, INT64_MAX - f.offset) : 0;
  f.error = static_cast<std::uint32_t>(jf::Int(j, "error", where, defaultError, 0, UINT32_MAX));
  return f;
}

std::vector<MediaFault> ParseFaults(const json& j, const char* key, const std::string& where, bool withLength,
                                    std::uint32_t defaultError) {
  std::vector<MediaFault> out;
  if (!jf::Has(j, key)) return out;
  if (!j[key].is_array()) jf::Fail(where, key, "expected a list");
  for (std::size_t i = 0; i < j[key].size(); ++i)
    out.push_back(ParseFault(j[key][i], where + ": " + key + "[" + std::to_string(i) + "]", withLength, defaultError));
  return out;
}

bool AllZero(const std::uint8_t* p, std::size_t n) {
  static const std::uint8_t zeros[4096] = {};
  while (n > 0) {
    const std::size_t k = std::min(n, sizeof zeros);
    if (std::memcmp(p, zeros, k) != 0) return false;
    p += k;
    n -= k;
  }
  return true;
}

// What a transfer meets before any byte moves: a disk already gone, the unplug
// at this transfer, the end of the disk, a fault area it touches.
std::optional<MediaResult> Refusal(const std::optional<MediaFault>& unplug, const std::vector<MediaFault>& faults,
                                   MediaState& state, std::int64_t length, std::int64_t offset, std::int64_t end) {
  if (state.unplugged) return MediaResult{false, state.unplugError, 0};
  if (unplug && unplug->offset >= offset && unplug->offset < end) {
    state.unplugged = true;
    state.unplugError = unplug->error;
    return MediaResult{false, state.unplugError, 0};
  }
  if (offset < 0 || end > length) return MediaResult{false, win::ERROR_INVALID_PARAMETER, 0};
  for (const MediaFault& bad : faults)
    if (bad.offset < end && offset < bad.offset + bad.length) return MediaResult{false, bad.error, 0};
  return std::nullopt;
}

std::int64_t TransferUs(const MediaSetup& setup, std::uint32_t size) {
  return setup.writeLatencyUs + (setup.megabytesPerSecond > 0 ? static_cast<std::int64_t>(size / setup.megabytesPerSecond) : 0);
}

// A list of areas whose requests hang: {offset, length, error, milliseconds or forever}.
void ParseHangs(const json& j, const char* key, const std::string& where, std::vector<MediaFault>& faults,
                std::vector<std::int64_t>& ms, std::vector<bool>& ignoresCancel) {
  if (jf::Has(j, key)) {
    if (!j[key].is_array()) jf::Fail(where, key, "expected a list");
    for (std::size_t i = 0; i < j[key].size(); ++i) {
      const json& h = j[key][i];
      const std::string hw = where + ": " + key + "[" + std::to_string(i) + "]";
      jf::CheckKeys(h, hw, {"offset", "length", "error", "milliseconds", "forever", "ignoresCancel"});
      json fault = json::object();
      for (const char* k : {"offset", "length", "error"})
        if (jf::Has(h, k)) fault[k] = h[k];
      faults.push_back(ParseFault(fault, hw, true, win::ERROR_SEM_TIMEOUT));
      if (jf::Bool(h, "forever", hw, false)) {
        if (jf::Has(h, "milliseconds")) jf::Fail(hw, "forever", "a request that hangs forever has no milliseconds");
        ms.push_back(kHangsForever);
      } else {
        ms.push_back(jf::Int(h, "milliseconds", hw, 60'000, 0, 86'400'000));
      }
      ignoresCancel.push_back(jf::Bool(h, "ignoresCancel", hw, false));
      if (ignoresCancel.back() && ms.back() == kHangsForever)
        jf::Fail(hw, "ignoresCancel", "a request that ignores the cancel needs milliseconds: it would never end");
    }
  }
}

// The hang a request over [offset, end) meets, if any.
std::optional<MediaResult> HangOf(const std::vector<MediaFault>& faults, const std::vector<std::int64_t>& ms,
                                  const std::vector<bool>& ignoresCancel, std::int64_t offset, std::int64_t end) {
  for (std::size_t i = 0; i < faults.size(); ++i) {
    const MediaFault& h = faults[i];
    if (h.offset < end && offset < h.offset + h.length) {
      const bool endless = ms[i] == kHangsForever;
      return MediaResult{false, h.error, endless ? 0 : ms[i] * 1000, true, endless, ignoresCancel[i]};
    }
  }
  return std::nullopt;
}

// SplitMix64: a cheap, well-mixed function of a counter.
std::uint64_t Mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

} // namespace

std::uint8_t BaseByte(const MediaBase& base, std::int64_t offset) {
  switch (base.kind) {
    case MediaBase::Kind::Random:
      return static_cast<std::uint8_t>(Mix(base.seed ^ static_cast<std::uint64_t>(offset >> 3)) >> ((offset & 7) * 8));
    case MediaBase::Kind::Fill:
      return base.fill;
    case MediaBase::Kind::Pattern:
      break;
  }
  return PatternByte(offset);
}

void MediaErase(MediaState& state, std::int64_t length, const MediaBase& base) {
  state.zero = {};
  state.overwritten = {};
  state.changed.Add(0, length);  // nothing holds its starting content any more
  ++state.erasures;
  if (base.kind == MediaBase::Kind::Fill && base.fill == 0) {
    state.base = {};
    state.zero.Add(0, length);
  } else {
    state.base = base;
  }
}

MediaSetup ParseMedia(const json& j, const std::string& where) {
  jf::CheckKeys(j, where, {"badAreas", "unplugAt", "seekFails", "flushError", "lyingAreas", "megabytesPerSecond",
                           "writeLatencyMicroseconds", "readErrors", "unplugOnRead", "hangingAreas", "hangingReads", "writeProtected",
                           "readOnly", "offline", "slowsTo"});
  MediaSetup m;
  m.badAreas = ParseFaults(j, "badAreas", where, true, win::ERROR_CRC);
  if (jf::Has(j, "unplugAt")) m.unplug = ParseFault(j["unplugAt"], where + ": unplugAt", false, win::ERROR_DEV_NOT_EXIST);
  m.seekFails = ParseFaults(j, "seekFails", where, false, win::ERROR_INVALID_PARAMETER);
  if (jf::Has(j, "flushError"))
    m.flushError = static_cast<std::uint32_t>(jf::Int(j, "flushError", where, 0, 0, UINT32_MAX));
  for (const MediaFault& f : ParseFaults(j, "lyingAreas", where, true, 0)) m.lyingAreas.push_back({f.offset, f.offset + f.length});
  m.readErrors = ParseFaults(j, "readErrors", where, true, win::ERROR_CRC);
  if (jf::Has(j, "unplugOnRead"))
    m.unplugOnRead = ParseFault(j["unplugOnRead"], where + ": unplugOnRead", false, win::ERROR_DEV_NOT_EXIST);
  ParseHangs(j, "hangingAreas", where, m.hangingAreas, m.hangMilliseconds, m.hangIgnoresCancel);
  ParseHangs(j, "hangingReads", where, m.hangingReads, m.readHangMilliseconds, m.readHangIgnoresCancel);
  if (jf::Has(j, "slowsTo")) {
    const std::string sw = where + ": slowsTo";
    if (!j["slowsTo"].is_object()) jf::Fail(where, "slowsTo", "expected an object");
    jf::CheckKeys(j["slowsTo"], sw, {"offset", "megabytesPerSecond"});
    m.slowFrom = jf::Int(j["slowsTo"], "offset", sw, 0, 0, INT64_MAX);
    m.slowMegabytesPerSecond = static_cast<double>(jf::Int(j["slowsTo"], "megabytesPerSecond", sw, 10, 1, 1'000'000));
  }
  m.writeProtected = jf::Bool(j, "writeProtected", where, false);
  m.readOnly = jf::Bool(j, "readOnly", where, false);
  m.offline = jf::Bool(j, "offline", where, false);
  m.megabytesPerSecond = static_cast<double>(jf::Int(j, "megabytesPerSecond", where, 100, 0, 1'000'000));
  m.writeLatencyUs = jf::Int(j, "writeLatencyMicroseconds", where, 0, 0, 60'000'000);
  return m;
}

MediaResult MediaWrite(const MediaSetup& setup, MediaState& state, std::int64_t length, std::int64_t offset,
                       const std::uint8_t* data, std::uint32_t size) {
  const std::int64_t end = offset + size;
  if (auto refused = Refusal(setup.unplug, setup.badAreas, state, length, offset, end)) return *refused;
  if (setup.writeProtected || setup.readOnly || setup.offline) return {false, win::ERROR_WRITE_PROTECT, 0};
  if (auto hang = HangOf(setup.hangingAreas, setup.hangMilliseconds, setup.hangIgnoresCancel, offset, end)) return *hang;
  ++state.writes;
  const std::int64_t busy = TransferUs(setup, size);
  // The parts of the write that take effect: all but the lying areas.
  std::vector<ByteRange> effective{{offset, end}};
  for (const ByteRange& lie : setup.lyingAreas) {
    std::vector<ByteRange> next;
    for (const ByteRange& r : effective) {
      if (lie.end <= r.begin || r.end <= lie.begin) {
        next.push_back(r);
        continue;
      }
      if (r.begin < lie.begin) next.push_back({r.begin, lie.begin});
      if (lie.end < r.end) next.push_back({lie.end, r.end});
    }
    effective = std::move(next);
  }
  for (const ByteRange& r : effective) {
    const auto* p = data + (r.begin - offset);
    state.changed.Add(r.begin, r.end);
    if (AllZero(p, static_cast<std::size_t>(r.end - r.begin))) {
      state.zero.Add(r.begin, r.end);
      state.overwritten.Remove(r.begin, r.end);
    } else {
      state.zero.Remove(r.begin, r.end);  // other content is not kept
      state.overwritten.Add(r.begin, r.end);
    }
  }
  if (setup.slowFrom >= 0 && offset >= setup.slowFrom) {
    // Past the cache: slow, and with the disk all that time (a wait that may be cancelled).
    const auto slowUs = setup.writeLatencyUs + static_cast<std::int64_t>(static_cast<double>(size) / setup.slowMegabytesPerSecond);
    return {true, 0, slowUs, true, false};
  }
  return {true, 0, busy};
}

MediaResult MediaRead(const MediaSetup& setup, MediaState& state, std::int64_t length, std::int64_t offset,
                      std::uint8_t* data, std::uint32_t size) {
  const std::int64_t end = offset + size;
  if (auto refused = Refusal(setup.unplugOnRead, setup.readErrors, state, length, offset, end)) return *refused;
  if (auto hang = HangOf(setup.hangingReads, setup.readHangMilliseconds, setup.readHangIgnoresCancel, offset, end))
    return *hang;
  const std::int64_t busy = TransferUs(setup, size);
  // A read of zeroed bytes alone (the read-back after an erase) skips the pattern.
  bool allZero = false;
  for (const ByteRange& z : state.zero.List()) allZero = allZero || (z.begin <= offset && end <= z.end);
  if (allZero) {
    std::memset(data, 0, size);
    return {true, 0, busy};
  }
  for (std::int64_t o = offset; o < end; ++o) data[o - offset] = BaseByte(state.base, o);
  for (const ByteRange& c : state.overwritten.List()) {
    const std::int64_t b = std::max(c.begin, offset), e = std::min(c.end, end);
    for (std::int64_t o = b; o < e; ++o) data[o - offset] ^= 0xFF;
  }
  for (const ByteRange& z : state.zero.List()) {
    const std::int64_t b = std::max(z.begin, offset), e = std::min(z.end, end);
    if (b < e) std::memset(data + (b - offset), 0, static_cast<std::size_t>(e - b));
  }
  return {true, 0, busy};
}

} // namespace trv::sim

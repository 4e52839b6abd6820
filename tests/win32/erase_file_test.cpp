// The erase engine through the real Windows backend, on files this test creates:
// a pattern-filled file ends all zeros and reads back so, bytes changed behind
// the engine's back fail the read-back, and a handle that cannot write gives
// the system's own error codes and a run that does not claim completion.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "format/format_command.h"
#include "format/read_back.h"
#include "format/zero_fill.h"
#include "platform/text.h"
#include "platform/win32/win32_platform.h"

#include "platform/win32/wide.h"
#include "platform/win32/windows_headers.h"

namespace trv::win32 {
namespace {

class QuietObserver : public format::EraseObserver {
 public:
  void Log(const std::u16string& m) override { log.push_back(Utf16ToUtf8(m)); }
  void LogBare(const std::u16string& l) override { log.push_back(Utf16ToUtf8(l)); }
  void ShowProgress(const format::BlockProgress& p) override { lastPercent = p.percent; }
  void ShowSpeed(const std::u16string& t) override { speed = t; }
  std::u16string SpeedShown() override { return speed; }
  void ShowComplete() override {}
  void ProcessMessages() override {}
  std::vector<std::string> log;
  std::u16string speed;
  int lastPercent = -1;
};

class EraseFile : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t base[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, base);
    path_ = std::wstring(base) + L"trevasso-erase-" + std::to_wstring(::GetCurrentProcessId()) + L".bin";
  }
  void TearDown() override { ::DeleteFileW(path_.c_str()); }

  // A file of `size` bytes holding a non-zero pattern.
  void MakePatternFile(std::int64_t size) {
    HANDLE h = ::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    std::vector<std::uint8_t> chunk(1 << 20);
    for (std::int64_t done = 0; done < size;) {
      const auto n = static_cast<DWORD>(std::min<std::int64_t>(static_cast<std::int64_t>(chunk.size()), size - done));
      for (DWORD i = 0; i < n; ++i) chunk[i] = static_cast<std::uint8_t>((done + i) % 251 + 1);
      DWORD written = 0;
      ASSERT_TRUE(::WriteFile(h, chunk.data(), n, &written, nullptr) && written == n);
      done += n;
    }
    ::CloseHandle(h);
  }

  // Bytes of the file that are not zero, and its size.
  std::pair<std::int64_t, std::int64_t> NonZeroBytes() {
    HANDLE h = ::CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::vector<std::uint8_t> chunk(1 << 20);
    std::int64_t nonZero = 0, total = 0;
    DWORD got = 0;
    while (::ReadFile(h, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr) && got > 0) {
      for (DWORD i = 0; i < got; ++i) nonZero += chunk[i] != 0;
      total += got;
    }
    ::CloseHandle(h);
    return {nonZero, total};
  }

  // The zero fill, and its read-back when the run reached its end.
  format::EraseResult Run(std::uint32_t access, std::int64_t size) {
    const win::Handle h = p_.CreateFileW(Narrow16(path_), access, 0, OPEN_EXISTING, 0);
    EXPECT_NE(h, win::kInvalidHandle);
    format::FormatContext ctx{p_, observer_, false, stop_, volumes_, u'.'};
    const auto result = format::LowLevelFormat(ctx, {h, size / 512, 512}, false);
    if (format::ReadBackFollows(result)) verify_ = format::ReadBack(ctx, {h, size / 512, 512}, result.written);
    p_.CloseHandle(h);
    return result;
  }

  // Overwrites `count` bytes at `offset` with 0x5A, as another program might.
  void Scribble(std::int64_t offset, DWORD count) {
    HANDLE h = ::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER at;
    at.QuadPart = offset;
    std::vector<std::uint8_t> bytes(count, 0x5A);
    DWORD written = 0;
    ASSERT_TRUE(::SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && ::WriteFile(h, bytes.data(), count, &written, nullptr));
    ::CloseHandle(h);
  }

  Win32Platform p_;
  QuietObserver observer_;
  bool stop_ = false;
  std::vector<win::Handle> volumes_;
  std::wstring path_;
  std::optional<format::VerifyResult> verify_;
};

TEST_F(EraseFile, PatternFileEndsAllZeros) {
  const std::int64_t size = 64 * 1048576 + 7 * 512;  // not a multiple of 64 KiB
  MakePatternFile(size);
  ASSERT_EQ(NonZeroBytes().first, size);
  const auto result = Run(GENERIC_READ | GENERIC_WRITE, size);
  EXPECT_EQ(result.outcome, format::EraseOutcome::Completed);
  EXPECT_TRUE(result.flushed);
  EXPECT_EQ(observer_.lastPercent, 100);
  EXPECT_EQ(NonZeroBytes(), std::make_pair(std::int64_t{0}, size));
  ASSERT_TRUE(verify_);
  EXPECT_EQ(verify_->outcome, format::VerifyOutcome::Passed);
  EXPECT_EQ(verify_->bytesRead, size);
  EXPECT_EQ(observer_.log.back(), "校验通过");

  // Bytes changed after the fill: the read-back through the real ReadFile finds exactly them.
  Scribble(3 * 1048576 + 100, 1000);  // 1,000 bytes over three sectors
  Scribble(size - 512, 1);
  const win::Handle h = p_.CreateFileW(Narrow16(path_), GENERIC_READ, 0, OPEN_EXISTING, 0);
  format::FormatContext ctx{p_, observer_, false, stop_, volumes_, u'.'};
  const auto again = format::ReadBack(ctx, {h, size / 512, 512}, {{0, size}});
  p_.CloseHandle(h);
  EXPECT_EQ(again.outcome, format::VerifyOutcome::Failed);
  EXPECT_EQ(again.nonZeroBytes, 1001);
  EXPECT_EQ(again.failedAreas, (std::vector<format::Span>{{3 * 1048576, 3 * 1048576 + 1536}, {size - 512, size}}));
}

TEST_F(EraseFile, ReadOnlyHandleReportsTheSystemsCodeAndIsNotComplete) {
  const std::int64_t size = 1048576 + 512;
  MakePatternFile(size);
  const auto result = Run(GENERIC_READ, size);
  EXPECT_NE(result.outcome, format::EraseOutcome::Completed);
  ASSERT_FALSE(observer_.log.empty());
  EXPECT_EQ(observer_.log[0], "Format Error occurred at offset 0   (5)");  // ERROR_ACCESS_DENIED
  for (const auto& line : observer_.log) EXPECT_NE(line, "Low-level format is complete.");
  EXPECT_EQ(result.bytesWritten, 0);
  EXPECT_FALSE(verify_);  // nothing written, nothing to read back
  EXPECT_EQ(NonZeroBytes().first, size);
}

} // namespace
} // namespace trv::win32

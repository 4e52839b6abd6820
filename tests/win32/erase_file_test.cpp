// The erase engine through the real Windows backend, on files this test creates:
// a pattern-filled file ends all zeros, and a handle that cannot write gives the
// system's own error codes and a run that does not claim completion.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

  format::EraseResult Run(std::uint32_t access, std::int64_t size) {
    const win::Handle h = p_.CreateFileW(Narrow16(path_), access, 0, OPEN_EXISTING, 0);
    EXPECT_NE(h, win::kInvalidHandle);
    format::FormatContext ctx{p_, observer_, false, stop_, volumes_, u'.'};
    const auto result = format::LowLevelFormat(ctx, {h, size / 512, 512}, false);
    p_.CloseHandle(h);
    return result;
  }

  Win32Platform p_;
  QuietObserver observer_;
  bool stop_ = false;
  std::vector<win::Handle> volumes_;
  std::wstring path_;
};

TEST_F(EraseFile, PatternFileEndsAllZeros) {
  const std::int64_t size = 64 * 1048576 + 7 * 512;  // not a multiple of 64 KiB
  MakePatternFile(size);
  ASSERT_EQ(NonZeroBytes().first, size);
  const auto result = Run(GENERIC_READ | GENERIC_WRITE, size);
  EXPECT_EQ(result.outcome, format::EraseOutcome::Completed);
  EXPECT_TRUE(result.flushed);
  EXPECT_EQ(observer_.log.back(), "Low-level format is complete.");
  EXPECT_EQ(observer_.lastPercent, 100);
  EXPECT_EQ(NonZeroBytes(), std::make_pair(std::int64_t{0}, size));
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
  EXPECT_EQ(NonZeroBytes().first, size);
}

} // namespace
} // namespace trv::win32

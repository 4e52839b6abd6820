// Inputs the fuzzers found, kept in tests/fuzz-regressions/NAME/, go through
// their fuzz target again. A target aborts when a property breaks and the
// sanitizers of the test build report the rest.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/fuzz_targets.h"

namespace {

using Target = int (*)(const std::uint8_t*, std::size_t);

std::size_t ReplayAll(const char* name, Target target) {
  const std::filesystem::path folder = std::filesystem::path(TREVASSO_FUZZ_REGRESSIONS_DIR) / name;
  std::size_t replayed = 0;
  if (!std::filesystem::is_directory(folder)) return replayed;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (!entry.is_regular_file() || entry.path().filename().string().front() == '.') continue;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SCOPED_TRACE(entry.path().string());
    EXPECT_EQ(target(bytes.data(), bytes.size()), 0);
    ++replayed;
  }
  return replayed;
}

} // namespace

TEST(FuzzRegressions, KeptInputsPassTheirTargets) {
  EXPECT_GE(ReplayAll("storage", trv::fuzz::StorageAnswers), 1u);
  EXPECT_GE(ReplayAll("inquiry", trv::fuzz::InquiryAnswer), 1u);
  EXPECT_GE(ReplayAll("ata", trv::fuzz::AtaAnswers), 1u);
  EXPECT_GE(ReplayAll("files", trv::fuzz::InputFiles), 1u);
  EXPECT_GE(ReplayAll("script", trv::fuzz::Script), 1u);
}

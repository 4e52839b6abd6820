// SIGTERM to a real trevasso-cli process (the Linux build) erasing a slow
// simulated disk: it acts as Ctrl+C, the run stops after the current block,
// the record is saved and the exit code is 7.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "platform/sim/scenario.h"

namespace {

struct Child {
  pid_t pid = -1;
  int out = -1, err = -1;
};

Child Start(const std::vector<std::string>& args) {
  int out[2], err[2];
  if (::pipe(out) != 0 || ::pipe(err) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
    ::close(out[0]);
    ::close(err[0]);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  return {pid, out[0], err[0]};
}

// Reads `fd` until `text` has come (true) or the stream ends (false).
bool ReadUntil(int fd, const std::string& text, std::string& got) {
  char buf[4096];
  while (got.find(text) == std::string::npos) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) return false;
    got.append(buf, static_cast<std::size_t>(n));
  }
  return true;
}

std::string ReadAll(int fd) {
  std::string got;
  ReadUntil(fd, std::string(1, '\0'), got);
  return got;
}

} // namespace

TEST(CliSignal, SigtermStopsTheEraseAsCtrlCDoesAndTheRecordIsSaved) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "trevasso-sigterm-test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "state");
  // The default PC on the real clock, its data disk writing 1 MB a second: a
  // full erase of its 500 GB would take days.
  nlohmann::json pc = nlohmann::json::parse(trv::sim::DefaultScenarioJson());
  pc["clock"]["mode"] = "real";
  pc["drives"][1]["media"] = {{"megabytesPerSecond", 1}};
  std::ofstream((dir / "pc.json").string()) << pc.dump();

  Child c = Start({TREVASSO_CLI_PROGRAM, "--scenario", (dir / "pc.json").string(), "--state", (dir / "state").string(),
                   "erase", "1", "--full", "--confirm-serial", "WD-WCAPW0493929", "--json"});
  ASSERT_GT(c.pid, 0);
  std::string err;
  ASSERT_TRUE(ReadUntil(c.err, "progress: 0%", err)) << err;  // the first block is being written
  ASSERT_EQ(::kill(c.pid, SIGTERM), 0);
  const std::string out = ReadAll(c.out);
  err += ReadAll(c.err);
  int status = 0;
  ASSERT_EQ(::waitpid(c.pid, &status, 0), c.pid);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status) << "\n" << err;
  EXPECT_EQ(WEXITSTATUS(status), 7) << err;
  EXPECT_NE(err.find("SIGTERM: stopping after the current block... The record is saved then; a second SIGTERM ends the "
                     "program at once, with no record."),
            std::string::npos)
      << err;
  const nlohmann::json record = nlohmann::json::parse(out);
  EXPECT_EQ(record["outcome"], "cancelled");
  EXPECT_FALSE(record["written"].empty());
  // The text record and the JSON one are in the state folder.
  int saved = 0;
  for (const auto& f : std::filesystem::recursive_directory_iterator(dir / "state"))
    saved += f.is_regular_file() && (f.path().extension() == ".json" || f.path().extension() == ".txt");
  EXPECT_EQ(saved, 2);
  ::close(c.out);
  ::close(c.err);
  std::filesystem::remove_all(dir);
}

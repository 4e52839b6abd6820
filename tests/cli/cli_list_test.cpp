// `list` says what is safe to pick, and agrees with `erase`; every refusal and
// failure of the console carries its code (docs/cli.md, "Refusal and failure codes").
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>

#include "cli/cli_support.h"
#include "format/format_support.h"

using namespace trv::test;
using nlohmann::json;

namespace {

constexpr char kMountedGuid[] = "{5b1e2f3a-0c4d-4e5f-8a9b-0c1d2e3f4a5b}";
constexpr char kLetterlessGuid[] = "{6c2f3a4b-1d5e-4f60-9bac-1d2e3f4a5b6c}";

// A PC with one disk for each reason `list` gives (docs/scenario.md, "Volumes"):
// 0 Windows runs from C: (which also holds the page file in use), 1 holds D:
// with a page file Windows is set to use, 2 and 3 share the spanned volume S:,
// 4 is too small, 5 holds a volume mounted in a folder of C: and a letterless
// one, 6 holds nothing.
trv::sim::Scenario ListPc() {
  json drives = json::array();
  for (int n = 0; n <= 6; ++n) drives.push_back(PlainDisk(n, n == 4 ? 65'534 : 131'072, FastMedia()));
  const json extent = {{"offset", 1'048'576}, {"length", 1'048'576}};
  json spanned = {{"letter", "S"}, {"extents", {extent, extent}}};
  spanned["extents"][0]["disk"] = 2;
  spanned["extents"][1]["disk"] = 3;
  return Scenario({{"drives", drives},
                   {"pagingFiles", {"D:\\pagefile.sys 2048 4096"}},
                   {"volumes",
                    {{{"letter", "C"}, {"deviceNumber", 0}},
                     {{"letter", "D"}, {"deviceNumber", 1}},
                     spanned,
                     {{"guid", kMountedGuid}, {"deviceNumber", 5}, {"mountFolders", {"C:\\Mount\\Data\\"}}},
                     {{"guid", kLetterlessGuid}, {"deviceNumber", 5}, {"partition", 2}}}}});
}

std::string GuidPath(const std::string& guid) { return "\\\\?\\Volume" + guid + "\\"; }

std::vector<std::string> Codes(const json& refusals) {
  std::vector<std::string> codes;
  for (const json& r : refusals) codes.push_back(r["code"]);
  return codes;
}

} // namespace

TEST(CliList, MarksTheSystemDiskTheVolumesAndWhyADiskMayNotBeErased) {
  auto run = Cli(ListPc(), "list --json");
  ASSERT_EQ(run.code, 0) << run.host.err;
  const json disks = run.Json()["disks"];
  ASSERT_EQ(disks.size(), 7u);
  struct Expected {
    bool system;
    std::vector<std::string> codes;
  };
  const std::vector<Expected> expected = {{true, {"system-disk", "page-file"}},
                                          {false, {"page-file"}},
                                          {false, {"spanned-volume"}},
                                          {false, {"spanned-volume"}},
                                          {false, {"too-small"}},
                                          {false, {}},
                                          {false, {}}};
  for (std::size_t n = 0; n < expected.size(); ++n) {
    EXPECT_EQ(disks[n]["system_disk"], expected[n].system) << n;
    EXPECT_EQ(Codes(disks[n]["refusals"]), expected[n].codes) << n;
    EXPECT_EQ(disks[n]["erasable"], expected[n].codes.empty()) << n;
  }
  // A volume's refusal is the window's own sentence.
  EXPECT_EQ(disks[1]["refusals"][0]["text"],
            "Volume D: on this disk holds a page file that Windows uses (D:\\pagefile.sys). Move the page file to another "
            "disk (System Properties, Advanced, Performance, Virtual memory), restart, and try again.");
  EXPECT_EQ(disks[4]["refusals"][0]["text"], "disk 4 has 65,534 sectors, fewer than 65,535");
  // The spanned volume is on both its disks; a volume without a letter is named by its GUID path.
  EXPECT_EQ(disks[2]["volumes"], disks[3]["volumes"]);
  EXPECT_EQ(disks[2]["volumes"][0]["paths"], json({"S:\\"}));
  EXPECT_EQ(disks[5]["volumes"],
            json::array({{{"paths", json::array({"C:\\Mount\\Data\\"})}, {"guid_path", GuidPath(kMountedGuid)}},
                         {{"paths", json::array()}, {"guid_path", GuidPath(kLetterlessGuid)}}}));
  EXPECT_EQ(disks[6]["volumes"], json::array());

  // The table says the same in words, each disk's volumes before it.
  std::istringstream table(Cli(ListPc(), "list").host.out);
  std::vector<std::string> lines;
  for (std::string line; std::getline(table, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_NE(lines[0].find("  Volumes  "), std::string::npos) << lines[0];
  EXPECT_EQ(lines[0].find("  Erasable"), lines[6].find("  yes")) << "the widest volumes end where Erasable begins";
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"C:", "no: system disk, page file"}, {"D:", "no: page file"},          {"S:", "no: spanned volume"},
      {"S:", "no: spanned volume"},         {"-", "no: too small"},
      {"C:\\Mount\\Data\\, " + GuidPath(kLetterlessGuid), "yes"}, {"-", "yes"}};
  for (std::size_t n = 0; n < rows.size(); ++n) {
    const std::string& line = lines[n + 1];
    EXPECT_EQ(line.substr(0, 2), std::to_string(n) + " ") << line;
    EXPECT_NE(line.find("  " + rows[n].first + " "), std::string::npos) << line;
    EXPECT_NE(line.find("  " + rows[n].second + "  "), std::string::npos) << line;  // Security and Purge follow
  }
}

TEST(CliList, ListAndEraseAgreeOnEveryDisk) {
  // Each disk erased with its own serial: one list calls erasable is erased,
  // one it refuses is refused for the reason it gave first, with nothing written.
  const json disks = Cli(ListPc(), "list --json").Json()["disks"];
  for (const json& disk : disks) {
    const int n = disk["number"];
    auto erase = Cli(ListPc(), "erase " + std::to_string(n) + " --quick --confirm-serial " +
                                   disk["confirm_serial"].get<std::string>() + " --json");
    if (disk["erasable"]) {
      EXPECT_EQ(erase.code, 0) << n << ": " << erase.host.err;
      EXPECT_FALSE(erase.platform->Media(n)->changed.Empty()) << n;
    } else {
      EXPECT_EQ(erase.code, 4) << n << ": " << erase.host.err;
      EXPECT_EQ(erase.Json()["code"], disk["refusals"][0]["code"]) << n;
      EXPECT_EQ(erase.platform->journal().Count("WriteFile"), 0u) << n;
    }
  }
}

namespace {

// One refusal or failure, met on a simulated PC.
struct Coded {
  std::string code;
  int exitCode;
  std::function<CliRun()> run;
};

// Disk 1 of the small PC with these drive fields besides its own.
trv::sim::Scenario SmallPcWithDisk1(const json& fields) {
  json disk = PlainDisk(1, 131'072, FastMedia());
  disk.update(fields);
  return PcWithDisk1(disk);
}

} // namespace

TEST(CliFailures, EveryRefusalAndFailureCarriesItsCode) {
  const std::string erase = "erase 1 --quick --confirm-serial S1 --json";
  json swap = PlainDisk(1, 131'072);
  swap["device"]["serial"] = "OTHER";
  const json inUse = {{{"letter", "E"}, {"deviceNumber", 1}, {"fail", {{"lock", 5}}}}};
  const json lockFails = {{{"letter", "E"}, {"deviceNumber", 1}, {"fail", {{"lock", 1117}}}}};
  const json unknown = {{{"letter", "H"}, {"deviceNumber", 1}, {"fail", {{"query", 1}, {"extents", 1}}}}};
  const std::vector<Coded> cases = {
      {"serial-mismatch", 4, [&] { return Cli(SmallPc(), "erase 1 --quick --confirm-serial S2 --json"); }},
      {"no-capacity", 4, [&] { return Cli(PcWithDisk1(PlainDisk(1, 0)), erase); }},
      {"too-small", 4, [&] { return Cli(PcWithDisk1(PlainDisk(1, 65'534)), erase); }},
      {"system-disk", 4, [&] { return Cli(ListPc(), "erase 0 --quick --confirm-serial S0 --json"); }},
      {"page-file", 4, [&] { return Cli(ListPc(), "erase 1 --quick --confirm-serial S1 --json"); }},
      {"spanned-volume", 4, [&] { return Cli(ListPc(), "erase 3 --quick --confirm-serial S3 --json"); }},
      {"volume-location-unknown", 4, [&] { return Cli(SmallPc({}, {{"volumes", unknown}}), erase); }},
      {"volumes-unlisted", 4, [&] { return Cli(SmallPc({}, {{"volumeSearchFails", 5}}), erase); }},
      {"volume-in-use", 11, [&] { return Cli(SmallPc({}, {{"volumes", inUse}}), erase); }},
      {"volume-lock-failed", 4, [&] { return Cli(SmallPc({}, {{"volumes", lockFails}}), erase); }},
      {"disk-changed", 4, [&] { return Cli(SmallPcWithDisk1({{"swap", {{"afterOpens", 1}, {"drive", swap}}}}), erase); }},
      {"not-writable", 4, [&] { return Cli(SmallPc({{"writeProtected", true}}), erase); }},
      {"adapter-alignment", 4, [&] { return Cli(SmallPcWithDisk1({{"adapter", {{"alignmentMask", 0x1FFF}}}}), erase); }},
      {"records-folder-on-disk", 10, [&] { return Cli(SmallPc(), erase + " --records E:\\records"); }},
      {"records-folder-unusable", 10, [&] { return Cli(SmallPc(), erase + " --records Q:\\records"); }},
      {"check-cancelled", 7, [&] { return CliOn(std::make_unique<IdentityCheckCancelled>(SmallPc()), erase); }},
      {"no-such-disk", 1, [&] { return Cli(SmallPc(), "details 9 --json"); }},
      {"disk-unreadable", 1, [&] { return Cli(SmallPcWithDisk1({{"fail", {{"device", 5}}}}), "smart 1 --json"); }},
      {"disk-in-use", 11, [&] { return Cli(SmallPcWithDisk1({{"open", "inUse"}}), erase); }},
      {"not-elevated", 3, [&] { return Cli(Scenario({{"elevated", false}}), "list --json"); }},
  };
  for (const Coded& c : cases) {
    const CliRun run = c.run();
    EXPECT_EQ(run.code, c.exitCode) << c.code << ": " << run.host.err;
    ASSERT_NO_THROW(run.Json()) << c.code << ": " << run.host.out;
    EXPECT_EQ(run.Json()["code"], c.code) << run.host.err;
    EXPECT_EQ(run.Json()["exit_code"], c.exitCode) << c.code;
    EXPECT_EQ(run.platform->journal().Count("WriteFile"), 0u) << c.code;
  }
}

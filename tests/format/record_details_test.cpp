// The window's "Erase record details": Operator, Asset and Ticket asked before
// the confirmation, written into the record and remembered for the next erase.
#include <gtest/gtest.h>

#include "format_support.h"

using namespace trv::test;

namespace {

constexpr char16_t kRemembered[] = u"C:\\Users\\User\\AppData\\Local\\Trevasso\\record-fields.json";

// Opens disk 1 for a quick wipe and clicks the erase button: the details form shows.
const std::string kToDetails = "select DriveList 1; click btContinue; tab 1; check cbQuickWipe; click btRunBenchmarks; ";
const std::string kReadFields = "read edOperator; read edAsset; read edTicket; ";

std::vector<nlohmann::json> SavedJsons(const trv::app::HeadlessRun& run) {
  std::vector<nlohmann::json> out;
  for (const auto& file : run.platform->FilesWritten(kDefaultRecords))
    if (file.ends_with(u".json")) out.push_back(nlohmann::json::parse(*run.platform->FileContent(file)));
  return out;
}

TEST(RecordDetails, TypedFieldsReachTheRecordAndAreOfferedAgainAtTheNextErase) {
  const auto run = Play(SmallPc(),
                        kToDetails + kReadFields +
                            "type edOperator Ann Lee; type edAsset PC-0042; type edTicket CHG 7; click btOk; answer Yes; " +
                            "click btRunBenchmarks; " + kReadFields + "type edTicket CHG 8; click btOk; answer Yes");
  EXPECT_TRUE(run.ui->problems().empty()) << run.ui->problems().front();
  // The first erase starts from empty fields, the second from what the first was given.
  EXPECT_EQ(run.ui->readings(),
            (std::vector<std::string>{"edOperator: ", "edAsset: ", "edTicket: ", "edOperator: Ann Lee",
                                      "edAsset: PC-0042", "edTicket: CHG 7"}));
  const auto records = SavedJsons(run);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0]["operator"], "Ann Lee");
  EXPECT_EQ(records[0]["asset"], "PC-0042");
  EXPECT_EQ(records[0]["ticket"], "CHG 7");
  EXPECT_EQ(records[1]["ticket"], "CHG 8");
  const auto remembered = nlohmann::json::parse(run.platform->FileContent(kRemembered).value_or("null"));
  EXPECT_EQ(remembered, (nlohmann::json{{"operator", "Ann Lee"}, {"asset", "PC-0042"}, {"ticket", "CHG 8"}}));
  // The confirmation's texts are those of an erase without details.
  const auto& boxes = run.ui->boxes();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.front().kind, "TaskDialog");
  EXPECT_EQ(boxes.front().caption, u"Warning");
}

TEST(RecordDetails, CancelOrClosingTheFormWritesNothing) {
  for (const char* leave : {"click btCancel", "close"}) {
    SCOPED_TRACE(leave);
    const auto run = Play(SmallPc(), kToDetails + "type edOperator Ann; " + leave);
    EXPECT_TRUE(run.ui->problems().empty()) << run.ui->problems().front();
    EXPECT_TRUE(run.ui->boxes().empty()) << "no confirmation after Cancel";
    EXPECT_EQ(run.platform->journal().Count("WriteFile"), 0u);
    EXPECT_FALSE(run.platform->FileContent(kRemembered).has_value());
    EXPECT_TRUE(run.app->FmMain.btRunBenchmarks.enabled());
  }
}

TEST(RecordDetails, ABrokenOrUnfitRememberedFileGivesEmptyFields) {
  const std::string path = U8(kRemembered);
  for (const char* content : {"{\"operator\": \"Ann", "[1, 2]", "{\"operator\": 7, \"asset\": \"a\\nb\", \"ticket\": null}", ""}) {
    SCOPED_TRACE(content);
    const auto run = Play(SmallPc({}, {{"files", {{path, content}}}}), kToDetails + kReadFields + "click btCancel");
    EXPECT_TRUE(run.ui->problems().empty()) << run.ui->problems().front();
    EXPECT_EQ(run.ui->readings(), (std::vector<std::string>{"edOperator: ", "edAsset: ", "edTicket: "}));
  }
}

TEST(RecordDetails, AControlCharacterIsRefusedWithAMessageAndTheFormStays) {
  // A remembered value never holds one (see above), a pasted tab can; a
  // script types none, so the form is used directly.
  trv::app::HeadlessRun direct = Play(SmallPc(), "");
  auto& form = direct.app->FmRecordDetails;
  form.edAsset.SetCaption(u"PC\t1");
  form.btOkClick();
  EXPECT_EQ(form.modalResult, 0) << "refused: the form stays";
  ASSERT_EQ(direct.ui->boxes().size(), 1u);
  EXPECT_EQ(direct.ui->boxes()[0].caption, u"Erase record details");
  EXPECT_EQ(direct.app->FmRecordDetails.focus, &form.edAsset);
}

} // namespace

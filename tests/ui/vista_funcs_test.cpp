#include <gtest/gtest.h>

#include "test_support.h"
#include "ui/vista_funcs.h"

using trv::test::Scenario;

namespace {

struct Machine {
  explicit Machine(const nlohmann::json& patch, const std::string& script = "")
      : platform(Scenario(patch)), ui(trv::ui::ScriptedUser(script)) {}
  int Confirm(std::u16string content = u"Are you sure?", std::int32_t buttons = trv::ui::kTdYes | trv::ui::kTdCancel) {
    return trv::ui::ShowTaskDialog(platform, ui, 0, u"Warning", u"All data will be lost", content,
                                   trv::ui::kTdWarningIcon, buttons);
  }
  trv::sim::SimPlatform platform;
  trv::ui::HeadlessUi ui;
};

const nlohmann::json kSeven = nlohmann::json::object();
const nlohmann::json kXp = {{"os", {{"major", 5}, {"minor", 1}, {"build", 2600}}}};

} // namespace

TEST(TaskDialog, OnVistaAndLaterTheSystemDialogAnswers) {
  Machine yes(kSeven, "answer Yes");
  EXPECT_EQ(yes.Confirm(), 6);
  ASSERT_EQ(yes.ui.boxes().size(), 1u);
  const auto& box = yes.ui.boxes()[0];
  EXPECT_EQ(box.kind, "TaskDialog");
  EXPECT_EQ(box.flags, 84u);
  EXPECT_EQ(box.buttons, 10);
  EXPECT_EQ(trv::test::U8(box.instruction), "All data will be lost");
  EXPECT_EQ(yes.platform.journal().Count("FreeLibrary"), 1u);

  Machine cancel(kSeven, "answer Cancel");
  EXPECT_EQ(cancel.Confirm(), 2);
  Machine closed(kSeven);  // nothing scripted: the user closes the dialog
  EXPECT_EQ(closed.Confirm(), 2);
  // Close (pressed 8) comes back as 3; OK as 1.
  Machine close(kSeven, "answer Close");
  EXPECT_EQ(close.Confirm(u"?", trv::ui::kTdOk | trv::ui::kTdClose), 3);
  Machine ok(kSeven, "answer OK");
  EXPECT_EQ(ok.Confirm(u"?", trv::ui::kTdOk | trv::ui::kTdClose), 1);
  // A button the dialog does not have cannot be pressed: the script is wrong,
  // and the dialog is closed as if unscripted.
  Machine absent(kSeven, "answer OK");
  EXPECT_EQ(absent.Confirm(), 2);
  ASSERT_EQ(absent.ui.problems().size(), 1u);
  EXPECT_EQ(absent.ui.problems()[0], "\"answer OK\": the box has no OK button");
}

TEST(TaskDialog, TextsLongerThan1024CharactersGoAsEmpty) {
  Machine m(kSeven, "answer Yes; answer Yes");
  m.Confirm(std::u16string(1024, u'x'));
  m.Confirm(std::u16string(1025, u'x'));
  EXPECT_EQ(m.ui.boxes()[0].text.size(), 1024u);
  EXPECT_TRUE(m.ui.boxes()[1].text.empty());
}

TEST(TaskDialog, WithoutTheEntryPointTheMessageDialogAsksInstead) {
  // A Vista or later whose comctl32 lacks TaskDialog: the question is still
  // asked, so the format button never silently does nothing.
  Machine m({{"taskDialog", false}}, "answer Yes");
  EXPECT_EQ(m.Confirm(), 6);
  ASSERT_EQ(m.ui.boxes().size(), 1u);
  EXPECT_EQ(m.ui.boxes()[0].kind, "MessageDialog");
  EXPECT_EQ(trv::test::U8(m.ui.boxes()[0].text), "Are you sure?");
  EXPECT_EQ(m.ui.boxes()[0].buttons, static_cast<int>(trv::ui::kDlgYes | trv::ui::kDlgCancel));
  EXPECT_EQ(m.platform.journal().Count("FreeLibrary"), 1u);
  Machine no(nlohmann::json{{"taskDialog", false}}, "answer Cancel");
  EXPECT_EQ(no.Confirm(), 2);
}

// A front end whose system task dialog cannot open (TaskDialog returns an error
// HRESULT without an answer).
class TaskDialogFails : public trv::ui::HeadlessUi {
 public:
  using HeadlessUi::HeadlessUi;
  std::int32_t CallTaskDialog(trv::win::ProcAddress, trv::win::WindowHandle, std::u16string_view, std::u16string_view,
                              std::u16string_view, std::int32_t, std::int32_t, std::int32_t*) override {
    ++calls;
    return static_cast<std::int32_t>(0x8007000E);  // E_OUTOFMEMORY
  }
  int calls = 0;
};

TEST(TaskDialog, WhenTheSystemDialogFailsTheMessageDialogAsksInstead) {
  trv::sim::SimPlatform platform(Scenario(kSeven));
  TaskDialogFails ui(trv::ui::ScriptedUser("answer Yes"));
  EXPECT_EQ(trv::ui::ShowTaskDialog(platform, ui, 0, u"Warning", u"All data will be lost", u"Are you sure?",
                                    trv::ui::kTdWarningIcon, trv::ui::kTdYes | trv::ui::kTdCancel),
            6);
  EXPECT_EQ(ui.calls, 1);
  ASSERT_EQ(ui.boxes().size(), 1u);
  EXPECT_EQ(ui.boxes()[0].kind, "MessageDialog");
  EXPECT_EQ(trv::test::U8(ui.boxes()[0].text), "Are you sure?");
  EXPECT_EQ(ui.boxes()[0].flags, static_cast<std::uint32_t>(trv::ui::DialogType::Warning));
  EXPECT_EQ(ui.boxes()[0].buttons, static_cast<int>(trv::ui::kDlgYes | trv::ui::kDlgCancel));
  EXPECT_EQ(platform.journal().Count("FreeLibrary"), 1u);
}

TEST(TaskDialog, BeforeVistaTheFrameworkDialogShowsTheContentOnly) {
  Machine m(kXp, "answer Yes");
  EXPECT_EQ(m.Confirm(u"Content"), 6);
  ASSERT_EQ(m.ui.boxes().size(), 1u);
  const auto& box = m.ui.boxes()[0];
  EXPECT_EQ(box.kind, "MessageDialog");
  EXPECT_EQ(trv::test::U8(box.text), "Content");
  EXPECT_TRUE(box.caption.empty());
  EXPECT_TRUE(box.instruction.empty());
  EXPECT_EQ(box.flags, static_cast<std::uint32_t>(trv::ui::DialogType::Warning));
  EXPECT_EQ(box.buttons, static_cast<int>(trv::ui::kDlgYes | trv::ui::kDlgCancel));
  EXPECT_EQ(m.platform.journal().Count("LoadLibraryW"), 0u);
}

TEST(VistaFont, CalibriTwoPointsLargerOnceOnly) {
  Machine m(kSeven);
  trv::ui::Font f;
  f.name = u"Tahoma";
  f.SetPoints(9);
  trv::ui::ApplyVistaFont(m.platform, f);
  EXPECT_EQ(trv::test::U8(f.name), "Calibri");
  EXPECT_EQ(f.Points(), 11);
  trv::ui::ApplyVistaFont(m.platform, f);
  EXPECT_EQ(f.Points(), 11);
  trv::ui::Font lower;
  lower.name = u"calibri";
  trv::ui::ApplyVistaFont(m.platform, lower);
  EXPECT_EQ(lower.Points(), 9);
}

// The Win32 front end with real windows (under Wine on a virtual X display): the
// windows made from the models, model changes reaching them, user input reaching
// the models, the modal loop and the message dialog. The PC is simulated.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/app.h"
#include "app/product.h"
#include "device/enumeration.h"
#include "platform/sim/scenario.h"
#include "platform/sim/sim_platform.h"
#include "platform/text.h"
#include "ui/vista_funcs.h"

// <windows.h> after the core's headers: its macros share names with the core's constants.
#include "platform/win32/wide.h"
#include "platform/win32/windows_headers.h"
#include "ui/win32/common_controls.h"
#include "ui/win32/form_window.h"
#include "ui/win32/shared_sim_pc.h"
#include "ui/win32/win32_ui.h"
#include "ui/win32/window_support.h"
#include "running_on_wine.h"

#include <commctrl.h>

namespace trv::win32 {
namespace {

std::wstring ClassOf(HWND h) {
  wchar_t name[64] = {};
  ::GetClassNameW(h, name, 64);
  return name;
}

std::u16string TextOf(HWND h) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(h)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(h, text.data(), static_cast<int>(text.size()))));
  return Narrow16(text);
}

LONG_PTR StyleOf(HWND h) { return ::GetWindowLongPtrW(h, GWL_STYLE); }

// A control's rectangle in its form's client coordinates.
RECT RectInForm(HWND control, HWND form) {
  RECT r;
  ::GetWindowRect(control, &r);
  ::MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// The text colour a control's parent gives it when it is drawn.
COLORREF TextColorOf(HWND control) {
  const HDC dc = ::CreateCompatibleDC(nullptr);
  ::SendMessageW(::GetParent(control), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(control));
  const COLORREF color = ::GetTextColor(dc);
  ::DeleteDC(dc);
  return color;
}

LOGFONTW FontOf(HWND control) {
  LOGFONTW lf{};
  ::GetObjectW(reinterpret_cast<HGDIOBJ>(::SendMessageW(control, WM_GETFONT, 0, 0)), sizeof lf, &lf);
  return lf;
}

// No window could be made (no display): skipped on a developer's machine, a
// failure under CI (CI=true), where these tests must run.
void NoWindowCouldBeMade() {
  const char* ci = std::getenv("CI");
  if (ci && std::string(ci) == "true") FAIL() << "no window could be made: under CI the window tests must run";
  GTEST_SKIP() << "no window could be made (no display?)";
}

// The `message`s a control's window is sent while this lives, by their wParam:
// what the program asked of the window, also where the system's control keeps
// nothing to read back (Wine's progress bar has no states).
class SentMessages {
 public:
  SentMessages(HWND control, UINT message) : control_(control), message_(message) {
    comctl::SetWindowSubclass(control_, &SentMessages::Proc, 1, reinterpret_cast<DWORD_PTR>(this));
  }
  ~SentMessages() { comctl::RemoveWindowSubclass(control_, &SentMessages::Proc, 1); }
  SentMessages(const SentMessages&) = delete;
  SentMessages& operator=(const SentMessages&) = delete;
  std::vector<WPARAM> wParams;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) {
    auto& sent = *reinterpret_cast<SentMessages*>(self);
    if (message == sent.message_) sent.wParams.push_back(wParam);
    return comctl::DefSubclassProc(hwnd, message, wParam, lParam);
  }
  HWND control_;
  UINT message_;
};

void Notify(HWND control, UINT code) {
  NMHDR header{};
  header.hwndFrom = control;
  header.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(control));
  header.code = code;
  ::SendMessageW(::GetParent(control), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

// Waits on another thread for a dialog with this caption, lets `look` look at
// it, then presses the button `press`. A Win32 thread: the toolchain that
// builds for Windows XP has no std::thread.
constexpr wchar_t kDetailsCaption[] = L"Erase record details";

class BoxWatcher {
 public:
  // `press` 0: the button captioned OK of a window of class `windowClass` (one of the program's forms).
  BoxWatcher(std::wstring caption, int press, std::function<void(HWND)> look = {},
             std::wstring windowClass = L"#32770")
      : caption_(std::move(caption)), class_(std::move(windowClass)), press_(press), look_(std::move(look)),
        thread_(::CreateThread(nullptr, 0, &BoxWatcher::Run, this, 0, nullptr)) {}
  ~BoxWatcher() { Join(); }
  BoxWatcher(const BoxWatcher&) = delete;
  BoxWatcher& operator=(const BoxWatcher&) = delete;
  bool found() {
    Join();
    return found_;
  }

 private:
  static DWORD WINAPI Run(void* self) {
    static_cast<BoxWatcher*>(self)->Watch();
    return 0;
  }
  void Watch() {
    for (int i = 0; i < 500 && !found_; ++i) {
      if (const HWND box = ::FindWindowW(class_.c_str(), caption_.c_str()); box && ::IsWindowVisible(box)) {
        ::Sleep(100);  // let it finish opening
        if (look_) look_(box);
        found_ = true;
        const HWND button = press_ ? ::GetDlgItem(box, press_) : ::FindWindowExW(box, nullptr, L"Button", L"OK");
        ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(button), BN_CLICKED), reinterpret_cast<LPARAM>(button));
      }
      ::Sleep(20);
    }
  }
  void Join() {
    if (!thread_) return;
    ::WaitForSingleObject(thread_, INFINITE);
    ::CloseHandle(thread_);
    thread_ = nullptr;
  }

  std::wstring caption_;
  std::wstring class_;
  int press_;
  std::function<void(HWND)> look_;
  std::atomic<bool> found_{false};
  HANDLE thread_;
};

class Win32UiTest : public ::testing::Test {
 protected:
  Win32UiTest() : platform(sim::DefaultScenario()), app(platform, ui, {}) {}
  void SetUp() override {
    app.FmMain.FormCreate();
    app.FmChoose.FormCreate();
    main = &ui.WindowOf(app.FmMain);
    if (!main->hwnd()) return NoWindowCouldBeMade();
  }
  void TearDown() override {
    ui.DestroyWindows();
    // A Terminate leaves WM_QUIT behind; the next test starts with a clean queue.
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  HWND H(const ui::Control& c) { return ui.WindowOf(c.form()).HandleOf(c); }
  void AddDisk(std::u16string model, std::int64_t lba) {
    auto& d = app.dev.Devices[static_cast<std::size_t>(++app.dev.DeviceCount)];
    d.DevicePath = u"\\\\.\\PhysicalDrive" + DecimalText(app.dev.DeviceCount - 1);
    d.IdentifyData = {std::move(model), u"FW1", u"SN1", lba, 512, 11, 128, false, 0};
  }

  sim::SimPlatform platform;
  Win32Ui ui;
  app::App app;
  FormWindow* main = nullptr;
};

// --- the windows made from a model --------------------------------------------------------------

TEST_F(Win32UiTest, MainWindowIsAFixedDialogFrameWithTheModelsControls) {
  const HWND form = main->hwnd();
  RECT client;
  ::GetClientRect(form, &client);
  EXPECT_EQ(client.right, main->Scale(778));
  EXPECT_EQ(client.bottom, main->Scale(509));
  EXPECT_FALSE(StyleOf(form) & WS_THICKFRAME) << "not resizable";
  EXPECT_FALSE(StyleOf(form) & WS_VISIBLE) << "created hidden";
  EXPECT_EQ(reinterpret_cast<HWND>(app.FmMain.handle), form);

  auto& m = app.FmMain;
  EXPECT_EQ(ClassOf(H(m.pages)), WC_TABCONTROLW);
  EXPECT_EQ(::SendMessageW(H(m.pages), TCM_GETITEMCOUNT, 0, 0), 3);
  wchar_t tab[64] = {};
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = tab;
  item.cchTextMax = 64;
  ::SendMessageW(H(m.pages), TCM_GETITEMW, 1, reinterpret_cast<LPARAM>(&item));
  EXPECT_EQ(Narrow16(tab), u"低级格式化");
  EXPECT_EQ(::SendMessageW(H(m.pages), TCM_GETCURSEL, 0, 0), 0) << "opens on the details tab";
  EXPECT_TRUE(StyleOf(H(m.TabSheet3)) & WS_VISIBLE);
  EXPECT_FALSE(StyleOf(H(m.TabSheet1)) & WS_VISIBLE);

  EXPECT_EQ(ClassOf(H(m.Log_Details)), WC_EDITW);
  EXPECT_EQ(StyleOf(H(m.Log_Details)) & (ES_MULTILINE | ES_READONLY | WS_VSCROLL | ES_AUTOHSCROLL),
            ES_MULTILINE | ES_READONLY | WS_VSCROLL | ES_AUTOHSCROLL);
  EXPECT_EQ(ClassOf(H(m.pbCurrentTask)), PROGRESS_CLASSW);
  EXPECT_EQ(ClassOf(H(m.StatusBar)), STATUSCLASSNAMEW);
  EXPECT_EQ(::SendMessageW(H(m.StatusBar), SB_GETPARTS, 0, 0), 3);
  EXPECT_EQ(ClassOf(H(m.GroupBox2)), WC_BUTTONW);
  EXPECT_EQ(StyleOf(H(m.GroupBox2)) & BS_TYPEMASK, BS_GROUPBOX);
  EXPECT_EQ(StyleOf(H(m.btRunBenchmarks)) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  EXPECT_EQ(StyleOf(H(m.btStop)) & BS_TYPEMASK, BS_PUSHBUTTON);
  EXPECT_FALSE(::IsWindowEnabled(H(m.btStop)));
  EXPECT_EQ(TextOf(H(m.btGetSmart)), u"获取 SMART 数据(&G)");

  // Positions are the model's at any nesting depth: relative to the form's client
  // area, or, on a tab sheet, to the sheet (which fills the tab control's page area).
  for (const ui::Control* c : {static_cast<const ui::Control*>(&m.btStop), static_cast<const ui::Control*>(&m.cbQuickWipe),
                               static_cast<const ui::Control*>(&m.pbCurrentTask),
                               static_cast<const ui::Control*>(&m.lbDiskName), static_cast<const ui::Control*>(&m.StatusBar)}) {
    const ui::Control* sheet = c->parent();
    while (sheet && sheet->kind() != ui::ControlKind::TabSheet) sheet = sheet->parent();
    const RECT r = RectInForm(H(*c), sheet ? H(*sheet) : form);
    const int dx = sheet ? main->Scale(sheet->placed.left) : 0, dy = sheet ? main->Scale(sheet->placed.top) : 0;
    EXPECT_EQ(r.left, main->Scale(c->placed.left) - dx) << c->name();
    EXPECT_EQ(r.top, main->Scale(c->placed.top) - dy) << c->name();
    EXPECT_EQ(r.right - r.left, main->Scale(c->placed.left + c->placed.width) - main->Scale(c->placed.left)) << c->name();
    EXPECT_EQ(r.bottom - r.top, main->Scale(c->placed.top + c->placed.height) - main->Scale(c->placed.top)) << c->name();
  }
  // The sheets fill the tab control below its tab strip.
  RECT pagesRect = RectInForm(H(m.pages), form), sheetRect = RectInForm(H(m.TabSheet3), form);
  EXPECT_GT(sheetRect.top, pagesRect.top + main->Scale(15));
  EXPECT_LT(sheetRect.top, pagesRect.top + main->Scale(40));
  EXPECT_LE(sheetRect.bottom, pagesRect.bottom);
  // Fonts: the bold title, the 21-pixel labels, Courier New in the reports.
  EXPECT_EQ(FontOf(H(m.lbDiskName)).lfWeight, FW_BOLD);
  EXPECT_EQ(FontOf(H(m.lbSpeed)).lfHeight, main->Scale(-21));
  EXPECT_EQ(std::wstring(FontOf(H(m.Log_Details)).lfFaceName), L"Courier New");
  EXPECT_EQ(TextColorOf(H(m.lbCopyright)), RGB(128, 128, 128));
}

TEST_F(Win32UiTest, SelectionDialogListHasTheColumnsAndTheExplorerTheme) {
  const HWND list = ui.WindowOf(app.FmChoose).HandleOf(app.FmChoose.DriveList);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(ClassOf(list), WC_LISTVIEWW);
  EXPECT_EQ(StyleOf(list) & LVS_TYPEMASK, LVS_REPORT);
  EXPECT_TRUE(::SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT);
  const HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
  EXPECT_EQ(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 6);
  EXPECT_EQ(::SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0), main->Scale(170));
  wchar_t text[32] = {};
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT;
  column.pszText = text;
  column.cchTextMax = 32;
  ::SendMessageW(list, LVM_GETCOLUMNW, 5, reinterpret_cast<LPARAM>(&column));
  EXPECT_EQ(Narrow16(text), u"容量");
  RECT client;
  ::GetClientRect(ui.WindowOf(app.FmChoose).hwnd(), &client);
  EXPECT_EQ(client.right, main->Scale(767));
  EXPECT_EQ(client.bottom, main->Scale(356));
}

// --- model changes reach the windows ---------------------------------------------------------------

TEST_F(Win32UiTest, ModelChangesUpdateTheWindows) {
  auto& m = app.FmMain;
  m.SetCaption(app::kProductCaption);
  EXPECT_EQ(TextOf(main->hwnd()), u"Trevasso 4.12    ");

  m.Log_BenchMark.AddLine(u"2026/12/8 17:05:09   第一行");
  m.Log_BenchMark.AddLine(u" ");
  m.Log_BenchMark.AddLine(u"third");
  EXPECT_EQ(TextOf(H(m.Log_BenchMark)), u"2026/12/8 17:05:09   第一行\r\n \r\nthird\r\n");
  m.Log_BenchMark.SetLines({u"replaced"});
  EXPECT_EQ(TextOf(H(m.Log_BenchMark)), u"replaced\r\n");

  m.cbQuickWipe.SetChecked(true);
  EXPECT_EQ(::SendMessageW(H(m.cbQuickWipe), BM_GETCHECK, 0, 0), BST_CHECKED);
  m.btStop.SetEnabled(true);
  EXPECT_TRUE(::IsWindowEnabled(H(m.btStop)));
  m.lbCurrentPercent.SetCaption(u"42 %");
  EXPECT_EQ(TextOf(H(m.lbCurrentPercent)), u"42 %");

  m.pbCurrentTask.SetPosition(42);
  EXPECT_EQ(::SendMessageW(H(m.pbCurrentTask), PBM_GETPOS, 0, 0), 42);
  {
    SentMessages states(H(m.pbCurrentTask), PBM_SETSTATE);
    m.pbCurrentTask.SetState(ui::ProgressState::Error);
    EXPECT_EQ(states.wParams, std::vector<WPARAM>{PBST_ERROR});
  }
  if (!RunningOnWine()) {  // Wine's progress bar keeps no state
    EXPECT_EQ(::SendMessageW(H(m.pbCurrentTask), PBM_GETSTATE, 0, 0), PBST_ERROR);
  }

  m.StatusBar.SetPanelText(1, u"ST9160821AS  149.05 GB");
  wchar_t text[128] = {};
  ::SendMessageW(H(m.StatusBar), SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(text));
  EXPECT_EQ(Narrow16(text), u"ST9160821AS  149.05 GB");

  m.pages.SetActivePage(2);
  EXPECT_EQ(::SendMessageW(H(m.pages), TCM_GETCURSEL, 0, 0), 2);
  EXPECT_TRUE(StyleOf(H(m.TabSheet2)) & WS_VISIBLE);
  EXPECT_FALSE(StyleOf(H(m.TabSheet3)) & WS_VISIBLE);

  m.lbCopyright.SetFontColor(ui::kBlue);
  EXPECT_EQ(TextColorOf(H(m.lbCopyright)), RGB(0, 0, 255));
  auto& c = app.FmChoose;
  c.StatusBar.SetSimpleText(u"Disks found: 4");
  const HWND status = ui.WindowOf(c).HandleOf(c.StatusBar);
  EXPECT_TRUE(::SendMessageW(status, SB_ISSIMPLE, 0, 0));
  text[0] = 0;
  ::SendMessageW(status, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));  // in simple mode: the simple text
  EXPECT_EQ(Narrow16(text), u"Disks found: 4");
}

TEST_F(Win32UiTest, ANonModalWindowPaintsItsTraceWithoutAMessageLoop) {
  // At start-up the debug window is shown while the checks run, with no message
  // loop: what it shows and each line written to it must be painted at once.
  auto& d = app.FmDebug;
  d.Memo1.SetLines({u"before showing"});
  ui.Show(d);
  const HWND form = ui.WindowOf(d).hwnd();
  const HWND memo = H(d.Memo1);
  ASSERT_TRUE(::IsWindowVisible(form));
  EXPECT_FALSE(::GetUpdateRect(form, nullptr, FALSE)) << "the window painted when shown";
  EXPECT_FALSE(::GetUpdateRect(memo, nullptr, FALSE)) << "the memo painted when shown";
  for (int i = 0; i < 3; ++i) {
    d.Memo1.AddLine(u"trace line " + DecimalText(i));
    EXPECT_FALSE(::GetUpdateRect(memo, nullptr, FALSE)) << "line " << i << " painted as it was added";
  }
  EXPECT_EQ(TextOf(memo), u"before showing\r\ntrace line 0\r\ntrace line 1\r\ntrace line 2\r\n");
  d.Memo1.SetLines({u"replaced"});
  EXPECT_FALSE(::GetUpdateRect(memo, nullptr, FALSE)) << "a replaced text painted at once";
  ui.Hide(d);
}

TEST_F(Win32UiTest, DpiChangeRescalesTheWholeWindow) {
  auto& m = app.FmMain;
  // 144 dpi (150 %): the window still fits the test screen (1280 x 1024).
  ASSERT_GE(::GetSystemMetrics(SM_CXSCREEN), 1200) << "a window never grows past the screen";
  RECT suggested{10, 10, 1200, 900};
  ::SendMessageW(main->hwnd(), 0x02E0 /*WM_DPICHANGED*/, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(main->dpi(), 144u);
  RECT client;
  ::GetClientRect(main->hwnd(), &client);
  EXPECT_EQ(client.right, 1167);
  EXPECT_EQ(client.bottom, 764);
  const RECT status = RectInForm(H(m.StatusBar), main->hwnd());
  EXPECT_EQ(status.top, 734) << "489 * 1.5";
  EXPECT_EQ(status.bottom - status.top, 30);
  const RECT stop = RectInForm(H(m.btStop), H(m.TabSheet1));
  EXPECT_EQ(stop.left, MulDiv(m.btStop.placed.left, 3, 2) - MulDiv(m.TabSheet1.placed.left, 3, 2));
  EXPECT_EQ(stop.bottom - stop.top, 39);
  EXPECT_EQ(FontOf(H(m.lbSpeed)).lfHeight, -32) << "-21 * 1.5, rounded";
  EXPECT_EQ(::SendMessageW(H(m.StatusBar), SB_GETPARTS, 0, 0), 3);
  int edges[3] = {};
  ::SendMessageW(H(m.StatusBar), SB_GETPARTS, 3, reinterpret_cast<LPARAM>(edges));
  EXPECT_EQ(edges[0], 675);
  FormWindow& choose = ui.WindowOf(app.FmChoose);
  EXPECT_EQ(::SendMessageW(choose.HandleOf(app.FmChoose.DriveList), LVM_GETCOLUMNWIDTH, 0, 0), choose.Scale(78))
      << "another window keeps its own dpi";
}

// --- user input reaches the model -----------------------------------------------------------------

TEST_F(Win32UiTest, ClicksTabsAndTheCreditLabelDriveTheModel) {
  auto& m = app.FmMain;
  ui.Show(m);
  // The check box has no handler of its own: a click toggles the model, which shows it.
  ::SendMessageW(H(m.cbQuickWipe), BM_CLICK, 0, 0);
  EXPECT_TRUE(m.cbQuickWipe.checked());
  EXPECT_EQ(::SendMessageW(H(m.cbQuickWipe), BM_GETCHECK, 0, 0), BST_CHECKED);

  m.btStop.SetEnabled(true);
  ::SendMessageW(H(m.btStop), BM_CLICK, 0, 0);
  EXPECT_TRUE(app.StopRequested);

  ::SendMessageW(H(m.pages), TCM_SETCURSEL, 1, 0);
  Notify(H(m.pages), TCN_SELCHANGE);
  EXPECT_EQ(m.pages.activePage(), 1);
  EXPECT_TRUE(StyleOf(H(m.TabSheet1)) & WS_VISIBLE);
  EXPECT_EQ(main->ActiveDefaultButton(), &m.btRunBenchmarks);
  m.pages.SetActivePage(2);
  EXPECT_EQ(main->ActiveDefaultButton(), &m.btGetSmart) << "Enter presses the default button on the page shown";
  // The button lies on a panel that fills its parent: made later, it lies on top.
  RECT smart;
  ::GetWindowRect(H(m.btGetSmart), &smart);
  EXPECT_EQ(::WindowFromPoint(POINT{(smart.left + smart.right) / 2, (smart.top + smart.bottom) / 2}), H(m.btGetSmart));

  const HWND credit = H(m.lbCopyright);
  ::SendMessageW(credit, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
  EXPECT_EQ(m.lbCopyright.font().color, ui::kBlue);
  ::SendMessageW(credit, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(2, 2));
  ::SendMessageW(credit, WM_RBUTTONUP, 0, MAKELPARAM(2, 2));
  EXPECT_EQ(m.lbCopyright.font().color, ui::kBlue) << "other buttons change nothing";
  ::SendMessageW(credit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  EXPECT_EQ(m.lbCopyright.font().color, ui::kRed);
  EXPECT_EQ(TextColorOf(credit), RGB(255, 0, 0));
  ::SendMessageW(credit, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  EXPECT_EQ(m.lbCopyright.font().color, ui::kGrey);
  ASSERT_EQ(platform.ShellExecuted().size(), 1u) << "the click opens the web page";
  EXPECT_NE(platform.ShellExecuted()[0].find(app::kProductWebAddress), std::u16string::npos);
  ::SendMessageW(credit, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(m.lbCopyright.font().color, ui::kGrey);
}

TEST_F(Win32UiTest, AcceptingADiskWithEnterInTheModalLoop) {
  AddDisk(u"Disk A", 976773168);
  AddDisk(u"Disk B", 15633408);
  const HWND list = ui.WindowOf(app.FmChoose).HandleOf(app.FmChoose.DriveList);
  // Queued for the modal loop: the user selects the first row and presses Enter.
  LVITEMW state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  ::PostMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
  ::PostMessageW(list, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_TRUE(app.FmChoose.FillDeviceList());
  EXPECT_EQ(app.dev.SelectedDevice, 1);
  EXPECT_FALSE(ui.Terminated());
  EXPECT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2);
  wchar_t cell[64] = {};
  LVITEMW item{};
  item.iSubItem = 4;
  item.pszText = cell;
  item.cchTextMax = 64;
  ::SendMessageW(list, LVM_GETITEMTEXTW, 1, reinterpret_cast<LPARAM>(&item));
  EXPECT_EQ(Narrow16(cell), u"15633408");
  EXPECT_FALSE(::IsWindowVisible(ui.WindowOf(app.FmChoose).hwnd())) << "hidden when the loop ends";
}

TEST_F(Win32UiTest, EscapeInTheListEndsTheProgram) {
  AddDisk(u"Disk A", 976773168);
  const HWND list = ui.WindowOf(app.FmChoose).HandleOf(app.FmChoose.DriveList);
  ::PostMessageW(list, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_FALSE(app.FmChoose.FillDeviceList());
  EXPECT_TRUE(ui.Terminated());
  EXPECT_EQ(app.dev.SelectedDevice, -1);
}

TEST_F(Win32UiTest, TheCloseButtonEndsTheModalLoopThroughFormClose) {
  ::PostMessageW(ui.WindowOf(app.FmChoose).hwnd(), WM_CLOSE, 0, 0);
  EXPECT_EQ(ui.ShowModal(app.FmChoose), 2) << "mrCancel";
  EXPECT_TRUE(ui.Terminated()) << "closing without a choice ends the program";
  EXPECT_FALSE(app.FmChoose.modal);
}

TEST_F(Win32UiTest, DoubleClickOnATooSmallDiskShowsTheRefusalAndStays) {
  AddDisk(u"Tiny", 65534);
  AddDisk(u"Fine", 65535);
  const HWND list = ui.WindowOf(app.FmChoose).HandleOf(app.FmChoose.DriveList);
  LVITEMW state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  NMHDR header{};
  header.hwndFrom = list;
  header.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(list));
  header.code = NM_DBLCLK;
  std::u16string boxText;
  const HWND dialog = ui.WindowOf(app.FmChoose).hwnd();
  bool dialogDisabled = false;
  HWND boxOwner = nullptr;
  BoxWatcher ok(L"Cannot access this device", IDOK, [&](HWND box) {
    for (HWND c = ::GetWindow(box, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
      if (ClassOf(c) == L"Static" && ::GetWindowTextLengthW(c) > 10) boxText = TextOf(c);
    // While the box is up the dialog takes no clicks: no second box, no other disk.
    dialogDisabled = !::IsWindowEnabled(dialog);
    boxOwner = ::GetWindow(box, GW_OWNER);
  });
  // The first double-click refuses "Tiny"; then the user picks "Fine" and presses the button.
  ::PostMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
  ::PostMessageW(::GetParent(list), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
  ::PostMessageW(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state));
  ::PostMessageW(ui.WindowOf(app.FmChoose).HandleOf(app.FmChoose.btContinue), BM_CLICK, 0, 0);
  EXPECT_TRUE(app.FmChoose.FillDeviceList());
  EXPECT_TRUE(ok.found());
  EXPECT_EQ(boxText, u"This device cannot be accessed because it is smaller than 65535 sectors.  ");
  EXPECT_TRUE(dialogDisabled) << "the dialog stayed usable behind its box";
  EXPECT_EQ(boxOwner, dialog);
  EXPECT_EQ(app.dev.SelectedDevice, 2);
}

TEST_F(Win32UiTest, ABoxWithoutOwnerDisablesTheProgramsWindows) {
  // A fatal error during start-up: no window waits for the box, yet the shown
  // debug window must not be usable behind it.
  ui.Show(app.FmDebug);
  const HWND debug = ui.WindowOf(app.FmDebug).hwnd();
  bool debugDisabled = false;
  BoxWatcher ok(L"Timer", IDOK, [&](HWND) { debugDisabled = !::IsWindowEnabled(debug); });
  EXPECT_EQ(ui.MessageBox(0, u"Unknown error.", u"Timer", MB_ICONERROR | MB_OK), IDOK);
  EXPECT_TRUE(ok.found());
  EXPECT_TRUE(debugDisabled) << "the box left the program's windows enabled";
  EXPECT_TRUE(::IsWindowEnabled(debug)) << "enabled again once the box is gone";
  ui.Hide(app.FmDebug);
}

TEST_F(Win32UiTest, PumpingMessagesLeavesWmQuitForTheLoopThatWaits) {
  // A long command pumps messages; a WM_QUIT it meets still ends the program.
  ::PostQuitMessage(7);
  ui.ProcessMessages();
  EXPECT_TRUE(ui.Terminated());
  MSG msg;
  ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "WM_QUIT was swallowed";
  EXPECT_EQ(msg.wParam, 7u);
}

TEST_F(Win32UiTest, MemosHaveTheScrollBarsTheyAskFor) {
  // The debug trace has long lines: both bars. The main window's reports: vertical.
  const HWND trace = H(app.FmDebug.Memo1);
  EXPECT_TRUE(StyleOf(trace) & WS_HSCROLL);
  EXPECT_TRUE(StyleOf(trace) & WS_VSCROLL);
  for (const ui::Memo* memo : {&app.FmMain.Log_Details, &app.FmMain.Log_Smart, &app.FmMain.Log_BenchMark}) {
    EXPECT_FALSE(StyleOf(H(*memo)) & WS_HSCROLL) << memo->name();
    EXPECT_TRUE(StyleOf(H(*memo)) & WS_VSCROLL) << memo->name();
  }
}

// --- boxes and dialogs ------------------------------------------------------------------------------

TEST_F(Win32UiTest, RecordDetailsAreLimitedEditBoxesWhoseTypingReachesTheModel) {
  auto& d = app.FmRecordDetails;
  FormWindow& window = ui.WindowOf(d);
  const HWND operatorBox = window.HandleOf(d.edOperator), ticket = window.HandleOf(d.edTicket);
  ASSERT_TRUE(ticket);
  std::u16string prefilled;
  BoxWatcher details(kDetailsCaption, 0, [&](HWND) {
    prefilled = TextOf(operatorBox);
    ::SendMessageW(ticket, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"CHG 9"));  // as typed: EN_CHANGE follows
  }, kFormClass);
  const auto fields = d.Ask({u"Ann", u"PC-1", u"CHG 7"});
  EXPECT_TRUE(details.found());
  EXPECT_EQ(prefilled, u"Ann");
  ASSERT_TRUE(fields.has_value());
  EXPECT_EQ(*fields, (format::AuditFields{u"Ann", u"PC-1", u"CHG 9"}));
  EXPECT_EQ(ClassOf(ticket), WC_EDITW);
  EXPECT_EQ(StyleOf(ticket) & (ES_AUTOHSCROLL | WS_TABSTOP | ES_MULTILINE), static_cast<LONG_PTR>(ES_AUTOHSCROLL | WS_TABSTOP));
  EXPECT_EQ(static_cast<std::size_t>(::SendMessageW(ticket, EM_GETLIMITTEXT, 0, 0)), format::kAuditFieldMaxLength);
}

TEST_F(Win32UiTest, MessageDialogWithYesAndCancelHidesNo) {
  bool noHidden = false, yesShown = false, cancelShown = false, adjacent = false;
  BoxWatcher watcher(L"Warning", IDYES, [&](HWND box) {
    noHidden = ::GetDlgItem(box, IDNO) && !::IsWindowVisible(::GetDlgItem(box, IDNO));
    yesShown = ::IsWindowVisible(::GetDlgItem(box, IDYES)) != FALSE;
    cancelShown = ::IsWindowVisible(::GetDlgItem(box, IDCANCEL)) != FALSE;
    RECT yes, cancel;
    ::GetWindowRect(::GetDlgItem(box, IDYES), &yes);
    ::GetWindowRect(::GetDlgItem(box, IDCANCEL), &cancel);
    adjacent = yes.top == cancel.top && cancel.left > yes.right && cancel.left - yes.right < (yes.right - yes.left) / 2;
  });
  const int answer = ui.MessageDialog(u"Erase the disk?", ui::DialogType::Warning, ui::kDlgYes | ui::kDlgCancel);
  EXPECT_TRUE(watcher.found());
  EXPECT_EQ(answer, 6);
  EXPECT_TRUE(noHidden);
  EXPECT_TRUE(yesShown);
  EXPECT_TRUE(cancelShown);
  EXPECT_TRUE(adjacent) << "no gap where No was";
}

TEST_F(Win32UiTest, SystemTaskDialogIsCalledThroughTheLookedUpEntry) {
  const HMODULE comctl = ::LoadLibraryW(L"comctl32.dll");
  const FARPROC entry = comctl ? ::GetProcAddress(comctl, "TaskDialog") : nullptr;
  if (!entry) GTEST_SKIP() << "this system's comctl32 has no TaskDialog";
  BoxWatcher watcher(L"Trevasso task", IDYES);
  std::int32_t pressed = 0;
  const std::int32_t result = ui.CallTaskDialog(reinterpret_cast<win::ProcAddress>(entry), 0, u"Trevasso task",
                                                u"Format this device?", u"All data will be erased.",
                                                ui::kTdYes | ui::kTdCancel, ui::kTdWarningIcon, &pressed);
  EXPECT_TRUE(watcher.found());
  EXPECT_EQ(result, 0) << "S_OK";
  EXPECT_EQ(pressed, 6);
  ::FreeLibrary(comctl);
}

// A window that refuses the end of the session, as the main window does while an erase runs.
class RefusingForm : public ui::Form {
 public:
  RefusingForm() : Form("FmRefusing", 200, 100) {}
  bool QueryEndSession() override { return false; }
  void EndSession() override { ++ended; }
  int ended = 0;
};

TEST_F(Win32UiTest, LogOffAndShutdownReachTheFormsAndTheRefusalGivesItsReason) {
  // The idle main window lets the session end.
  EXPECT_EQ(::SendMessageW(main->hwnd(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
  static RefusingForm form;  // outlives the windows, which the fixture destroys after the test
  const HWND hwnd = ui.WindowOf(form).hwnd();
  ASSERT_NE(hwnd, nullptr);
  EXPECT_EQ(::SendMessageW(hwnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), FALSE);
  ::SendMessageW(hwnd, WM_ENDSESSION, FALSE, 0);  // the session goes on: nothing to do
  EXPECT_EQ(form.ended, 0);
  ::SendMessageW(hwnd, WM_ENDSESSION, TRUE, 0);   // it ends anyway
  EXPECT_EQ(form.ended, 1);

  // The reason Windows shows, where the system keeps one (Vista and later).
  using Query = BOOL(WINAPI*)(HWND, LPWSTR, DWORD*);
  const auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "ShutdownBlockReasonQuery")));
  ui.SetShutdownBlockReason(form, u"Erasing a disk");
  wchar_t text[64] = {};
  DWORD size = 64;
  if (query && query(hwnd, text, &size)) {
    EXPECT_EQ(std::wstring(text), L"Erasing a disk");
    ui.SetShutdownBlockReason(form, u"");
    size = 64;
    EXPECT_FALSE(query(hwnd, text, &size));
  }
}


// --- a hanging write: the worker ---------------------------------------------------------------

// Runs `body` on a Win32 thread (the build for Windows XP has no std::thread).
class TestThread {
 public:
  explicit TestThread(std::function<void()> body)
      : body_(std::move(body)), thread_(::CreateThread(nullptr, 0, &TestThread::Run, this, 0, nullptr)) {}
  ~TestThread() { Join(); }
  TestThread(const TestThread&) = delete;
  TestThread& operator=(const TestThread&) = delete;
  void Join() {
    if (!thread_) return;
    ::WaitForSingleObject(thread_, INFINITE);
    ::CloseHandle(thread_);
    thread_ = nullptr;
  }

 private:
  static DWORD WINAPI Run(void* self) {
    static_cast<TestThread*>(self)->body_();
    return 0;
  }
  std::function<void()> body_;
  HANDLE thread_;
};

// Waits up to `ms` for `condition`, looking every 20 ms.
bool WaitFor(const std::function<bool()>& condition, DWORD ms) {
  const DWORD start = ::GetTickCount();
  while (!condition()) {
    if (::GetTickCount() - start > ms) return false;
    ::Sleep(20);
  }
  return true;
}

// The default PC's data disk, opened as the main window has it; its write at
// 8 MiB never returns by itself. The PC is shared by the window thread and the worker.
class Win32Worker : public ::testing::Test {
 protected:
  static sim::Scenario HangingPc() {
    nlohmann::json json = nlohmann::json::parse(sim::DefaultScenarioJson());
    json["drives"][1]["media"]["hangingAreas"] = {{{"offset", 8 * 1'048'576}, {"length", 512}, {"forever", true}}};
    return sim::ParseScenario(json.dump(), "hanging.json");
  }
  Win32Worker() : pc(HangingPc()), shared(pc), app(shared.platform(), ui, {}) {}
  void SetUp() override {
    auto& m = app.FmMain;
    m.FormCreate();
    form = ui.WindowOf(m).hwnd();
    if (!form) return NoWindowCouldBeMade();
    device::DeviceEnv env = app::MakeDeviceEnv(app);
    device::EnumerateDevices(env, app.dev, app.FmChoose.StatusBar);
    for (std::int64_t i = 1; i <= app.dev.DeviceCount; ++i)
      if (app.dev.Devices[static_cast<std::size_t>(i)].DeviceNumber == 1) app.dev.SelectedDevice = static_cast<int>(i);
    const auto& entry = app.dev.Devices[static_cast<std::size_t>(app.dev.SelectedDevice)];
    ASSERT_EQ(entry.DeviceNumber, 1u);
    app.dev.DeviceHandle =
        shared.platform().CreateFileW(entry.DevicePath, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, 0);
    ASSERT_NE(app.dev.DeviceHandle, win::kInvalidHandle);
    app.dev.DeviceTitle = u"[1]  data disk";
    ui.Show(m);
    m.pages.SetActivePage(1);
  }
  void TearDown() override { ui.DestroyWindows(); }
  bool Hanging() {
    SharedSimPc::Hold hold(shared);
    return pc.Hanging();
  }
  HWND H(const ui::Control& c) { return ui.WindowOf(c.form()).HandleOf(c); }
  bool LogHas(const std::u16string& text) {
    for (const std::u16string& line : app.FmMain.Log_BenchMark.lines())
      if (line.find(text) != std::u16string::npos) return true;
    return false;
  }

  sim::SimPlatform pc;
  SharedSimPc shared;
  Win32Ui ui;
  app::App app;
  HWND form = nullptr;
};

TEST_F(Win32Worker, TheWindowAnswersWhileTheDisksWriteHangsAndStopCancelsIt) {
  using sim::JournalEntry;
  auto& m = app.FmMain;
  const HWND stop = H(m.btStop);
  const HWND percent = H(m.lbCurrentPercent);

  auto hanging = [this] { return Hanging(); };
  bool hung = false, stillHung = false, cancelled = false;
  int answered = 0;
  DWORD slowest = 0, stopToCancel = 0;
  std::wstring shown;
  BoxWatcher details(kDetailsCaption, 0, {}, kFormClass);
  BoxWatcher confirm(L"Warning", IDYES);
  TestThread user([&] {
    hung = WaitFor(hanging, 30'000);
    if (!hung) return;
    // The window thread answers while the worker waits on the disk.
    for (int i = 0; i < 20; ++i) {
      const DWORD start = ::GetTickCount();
      DWORD_PTR result = 0;
      wchar_t text[64] = {};
      if (::SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result) &&
          ::SendMessageTimeoutW(percent, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                                &result)) {
        ++answered;
        shown = text;
      }
      slowest = std::max(slowest, ::GetTickCount() - start);
      ::Sleep(50);
    }
    stillHung = hanging();
    if (answered < 20) {
      // The window did not answer: the write is let go here, so that the test ends and fails.
      SharedSimPc::Hold hold(shared);
      pc.CancelSynchronousIo(0);
    }
    DWORD_PTR result = 0;
    const DWORD clicked = ::GetTickCount();
    ::SendMessageTimeoutW(stop, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 2000, &result);
    cancelled = WaitFor([&] { return !hanging(); }, 8'000);
    stopToCancel = ::GetTickCount() - clicked;
  });
  const DWORD started = ::GetTickCount();
  m.RunFormat();  // returns when the run has ended
  const DWORD took = ::GetTickCount() - started;
  user.Join();
  EXPECT_TRUE(details.found());
  EXPECT_TRUE(confirm.found());
  ASSERT_TRUE(hung) << "the write never hung";
  EXPECT_EQ(answered, 20);
  EXPECT_LT(slowest, 500u) << "the window took that long to answer";
  RecordProperty("slowest_answer_ms", static_cast<int>(slowest));
  RecordProperty("run_ms", static_cast<int>(took));
  RecordProperty("stop_to_cancel_ms", static_cast<int>(stopToCancel));
  EXPECT_EQ(shown.substr(shown.size() - 10), L"% complete");
  EXPECT_TRUE(stillHung) << "the write returned while the window was asked";
  EXPECT_TRUE(cancelled) << "Stop did not cancel the write";
  // A write is cancelled once it has been with the disk for five seconds (it
  // hung for a second or more before the click), never at the click itself.
  EXPECT_LT(stopToCancel, 5'500u) << "the write had hung for five seconds, then the cancel";
  EXPECT_LT(took, 60'000u);

  EXPECT_TRUE(LogHas(u"Operation cancelled at offset "));
  SharedSimPc::Hold hold(shared);
  ASSERT_EQ(pc.journal().Find("CancelSynchronousIo").size(), 1u);
  EXPECT_EQ(pc.journal().Find("CancelSynchronousIo")[0]->detail, "-> ok");
  // The block that holds the hanging sector is the last disk write, and was cancelled.
  const JournalEntry* last = nullptr;
  for (const auto* w : pc.journal().Find("WriteFile"))
    if (w->detail.rfind("offset=", 0) == 0) last = w;
  ASSERT_NE(last, nullptr);
  EXPECT_NE(last->detail.find(" -> failed error=995"), std::string::npos) << last->detail;
  EXPECT_FALSE(app.StopRequested);
  EXPECT_FALSE(m.btStop.enabled());
  // The main window gave Windows a reason to refuse the session's end for the run, and withdrew it.
  const auto& reasons = ui.shutdownBlockReasons();
  ASSERT_EQ(reasons.size(), 2u);
  EXPECT_EQ(reasons[0].first, &m);
  EXPECT_NE(reasons[0].second.find(u"正在擦除磁盘"), std::u16string::npos);
  EXPECT_EQ(reasons[1], (std::pair<const ui::Form*, std::u16string>(&m, u"")));
}

TEST_F(Win32Worker, WhenTheSessionEndsDuringTheHangTheRecordIsSavedBeforeTheWindowAnswers) {
  // Windows may end the process as soon as WM_ENDSESSION returns: by then the
  // hanging write is cancelled and the run's record is saved.
  const std::u16string records = u"C:\\Users\\User\\AppData\\Local\\Trevasso\\records";
  bool hung = false, answered = false;
  std::size_t filesThen = 0;
  std::string outcome;
  BoxWatcher details(kDetailsCaption, 0, {}, kFormClass);
  BoxWatcher confirm(L"Warning", IDYES);
  TestThread windows([&] {
    hung = WaitFor([this] { return Hanging(); }, 30'000);
    if (!hung) return;
    DWORD_PTR result = 0;
    answered = ::SendMessageTimeoutW(form, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10'000, &result);
    SharedSimPc::Hold hold(shared);
    const auto files = pc.FilesWritten(records);
    filesThen = files.size();
    if (!files.empty()) outcome = nlohmann::json::parse(pc.FileContent(files[0]).value_or("{}")).value("outcome", "");
    if (!answered) pc.CancelSynchronousIo(0);  // lets the run end, so that the test ends and fails
  });
  app.FmMain.RunFormat();
  windows.Join();
  EXPECT_TRUE(details.found());
  EXPECT_TRUE(confirm.found());
  ASSERT_TRUE(hung) << "the write never hung";
  EXPECT_TRUE(answered);
  EXPECT_EQ(filesThen, 2u) << "the text and the JSON record, saved before the answer";
  EXPECT_EQ(outcome, "cancelled");
  EXPECT_TRUE(LogHas(u"Windows 正在结束会话"));
  SharedSimPc::Hold hold(shared);
  EXPECT_EQ(pc.FilesWritten(records).size(), 2u) << "saved once";
  EXPECT_EQ(pc.journal().Count("CancelSynchronousIo"), 1u);
}

} // namespace
} // namespace trv::win32

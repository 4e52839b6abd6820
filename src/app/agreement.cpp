#include "app/agreement.h"

#include <cstring>
#include <vector>

#include "app/product.h"

namespace trv::app {

namespace {

const char16_t* const kAgreementLines[] = {
    u"使用协议",
    u" ",
    u"本程序会将所选磁盘的每一个字节改写为零。被擦除的数据无法恢复。",
    u"请在开始之前确认您选择的是正确的磁盘，并已备份所有需要保留的数据。",
    u"本程序按“原样”提供，不附带任何明示或暗示的担保。",
    u"作者不对因使用本程序造成的任何数据丢失或损害承担责任。",
    u" ",
    u"This program overwrites every byte of the chosen disk with zeros. Erased data cannot be recovered.",
    u"It is provided as is, without warranty of any kind.",
};

bool ReadMarker(win::Platform& p, const std::u16string& path) {
  const win::Handle h = p.CreateFileW(path, win::GENERIC_READ, win::FILE_SHARE_READ, win::OPEN_EXISTING, 0);
  if (h == win::kInvalidHandle) return false;
  char buffer[64] = {};
  std::uint32_t got = 0;
  const bool ok = p.ReadFile(h, buffer, sizeof buffer - 1, &got);
  p.CloseHandle(h);
  const std::size_t want = std::strlen(TFmAgreement::kMarkerContent);
  return ok && got >= want && std::memcmp(buffer, TFmAgreement::kMarkerContent, want) == 0;
}

void WriteMarker(win::Platform& p) {
  p.CreateDirectoryW(TFmAgreement::MarkerFolder(p));
  const win::Handle h = p.CreateFileW(TFmAgreement::MarkerPath(p), win::GENERIC_WRITE, 0, win::CREATE_ALWAYS, 0);
  if (h == win::kInvalidHandle) return;  // not remembered; the agreement shows again next time
  std::uint32_t written = 0;
  p.WriteFile(h, TFmAgreement::kMarkerContent, std::strlen(TFmAgreement::kMarkerContent), &written);
  p.CloseHandle(h);
}

} // namespace

TFmAgreement::TFmAgreement()
    : ui::Form("FmAgreement", 560, 360),
      Text(Add<ui::Memo>(ui::ControlKind::Memo, "Text", nullptr, ui::Align::None, {10, 10, 540, 270})),
      cbAccept(Add<ui::CheckBox>(ui::ControlKind::CheckBox, "cbAccept", nullptr, ui::Align::None, {10, 292, 300, 17})),
      btAccept(Add(ui::ControlKind::Button, "btAccept", nullptr, ui::Align::None, {340, 320, 100, 26})),
      btDecline(Add(ui::ControlKind::Button, "btDecline", nullptr, ui::Align::None, {450, 320, 100, 26})) {
  SetCaption(std::u16string(kProductTitle) + u" - 使用协议");
  Text.readOnly = true;
  Text.scrollBars = ui::ScrollBars::Vertical;
  std::vector<std::u16string> lines(std::begin(kAgreementLines), std::end(kAgreementLines));
  Text.SetLines(std::move(lines));
  cbAccept.SetCaption(u"我已阅读并接受上述协议");
  btAccept.SetCaption(u"接受");
  btAccept.SetEnabled(false);
  btAccept.defaultButton = true;
  btDecline.SetCaption(u"拒绝");
  cbAccept.onClick = [this] {
    cbAccept.SetChecked(!cbAccept.checked());
    btAccept.SetEnabled(cbAccept.checked());
  };
  btAccept.onClick = [this] {
    if (!btAccept.enabled()) return;
    accepted_ = true;
    modalResult = 1;
  };
  btDecline.onClick = [this] { modalResult = 2; };
}

std::u16string TFmAgreement::MarkerFolder(win::Platform& platform) {
  return platform.LocalAppDataFolder() + u"\\Trevasso";
}

std::u16string TFmAgreement::MarkerPath(win::Platform& platform) {
  return MarkerFolder(platform) + u"\\agreement.txt";
}

bool TFmAgreement::FormCreate(win::Platform& platform, ui::UiServices& ui) {
  if (ReadMarker(platform, MarkerPath(platform))) return true;
  ui.ShowModal(*this);
  if (!accepted_) return false;
  WriteMarker(platform);
  return true;
}

} // namespace trv::app

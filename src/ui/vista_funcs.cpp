#include "ui/vista_funcs.h"

#include <array>
#include <vector>

#include "platform/records.h"
#include "platform/text.h"

namespace trv::ui {

bool IsVistaOrLater(win::Platform& platform) {
  std::array<std::uint8_t, rec::kOsVersionInfoSize> info{};
  rec::Put32(info, 0, rec::kOsVersionInfoSize);
  if (!platform.GetVersionExW(info)) return false;
  return rec::U32(info, 4) >= 6;
}

void ApplyExplorerTheme(win::Platform& platform, Control& control) {
  if (IsVistaOrLater(platform)) control.theme = u"explorer";
}

void ApplyVistaFont(win::Platform& platform, Font& font) {
  if (!IsVistaOrLater(platform)) return;
  if (EqualsIgnoreAsciiCase(font.name, u"Calibri")) return;
  if (!platform.IsFontInstalled(u"Calibri")) return;
  font.SetPoints(font.Points() + 2);
  font.name = u"Calibri";
  ReleaseFontHandle(platform, font);  // it no longer matches; a front end makes the new one
}

void ReleaseFontHandle(win::Platform& platform, Font& font) {
  if (font.handle != 0) platform.DeleteObject(font.handle);
  font.handle = 0;
}

void SetDefaultGuiFont(win::Platform& platform, Font& font) {
  ReleaseFontHandle(platform, font);
  font.handle = platform.GetStockObject(win::DEFAULT_GUI_FONT);
  font.name = u"MS Shell Dlg";
  font.height = -11;
}

void SetIconTitleFont(win::Platform& platform, Font& font) {
  std::array<std::uint8_t, rec::kLogFontSize> logFont{};
  if (!platform.SystemParametersInfoW(win::SPI_GETICONTITLELOGFONT, rec::kLogFontSize, logFont.data(), 0)) {
    SetDefaultGuiFont(platform, font);
    return;
  }
  ReleaseFontHandle(platform, font);
  font.handle = platform.CreateFontIndirectW(logFont);
  // The font object takes its attributes from the handle it now owns.
  font.height = static_cast<std::int32_t>(rec::U32(logFont, 0));
  font.bold = rec::U32(logFont, 16) >= 700;
  font.underline = rec::U8(logFont, 21) != 0;
  std::u16string face;
  for (std::size_t i = 0; i < 32; ++i) {
    const char16_t c = rec::U16(logFont, rec::kLogFontFaceOffset + 2 * i);
    if (c == 0) break;
    face.push_back(c);
  }
  font.name = face;
}

namespace {

// Copies a text into a 1,025-unit buffer; a text that does not fit goes as empty.
std::u16string Bounded(std::u16string_view text) {
  return text.size() > 1024 ? std::u16string() : std::u16string(text);
}

// The framework's message dialog with the content alone: the form of the
// question on systems without the task dialog.
int AskWithMessageDialog(UiServices& ui, std::u16string_view content, std::int32_t icon, std::int32_t buttons) {
  unsigned set = 0;
  if (buttons & kTdOk) set |= kDlgOk;
  if (buttons & kTdYes) set |= kDlgYes;
  if (buttons & kTdNo) set |= kDlgNo;
  if (buttons & kTdCancel) set |= kDlgCancel;
  if (buttons & kTdRetry) set |= kDlgRetry;
  if (buttons & kTdClose) set |= kDlgAbort;
  DialogType type = DialogType::Custom;
  switch (icon) {
    case kTdInformationIcon: type = DialogType::Information; break;
    case kTdWarningIcon: type = DialogType::Warning; break;
    case kTdErrorIcon: type = DialogType::Error; break;
    case kTdShieldIcon: type = DialogType::Confirmation; break;
    default: break;
  }
  return ui.MessageDialog(content, type, set);
}

} // namespace

int ShowTaskDialog(win::Platform& platform, UiServices& ui, win::WindowHandle owner, std::u16string_view title,
                   std::u16string_view instruction, std::u16string_view content, std::int32_t icon,
                   std::int32_t buttons) {
  if (IsVistaOrLater(platform)) {
    // Without the system task dialog (a comctl32 that lacks it, a manifest that
    // did not select version 6) the question is still asked, as before Vista.
    const win::Module library = platform.LoadLibraryW(u"comctl32.dll");
    if (library < 32) return AskWithMessageDialog(ui, content, icon, buttons);
    const win::ProcAddress entry = platform.GetProcAddress(library, "TaskDialog");
    if (entry == 0) {
      platform.FreeLibrary(library);
      return AskWithMessageDialog(ui, content, icon, buttons);
    }
    std::int32_t pressed = 0;
    const std::int32_t hresult =
        ui.CallTaskDialog(entry, owner, Bounded(title), Bounded(instruction), Bounded(content), buttons, icon, &pressed);
    if (hresult < 0) {
      // The dialog could not be shown (out of memory, a bad argument): no answer
      // was given, so the user is asked again with the plain message dialog
      // rather than the question counting as declined.
      platform.FreeLibrary(library);
      return AskWithMessageDialog(ui, content, icon, buttons);
    }
    int result = 1;
    switch (pressed) {
      case 2: result = 2; break;
      case 4: result = 4; break;
      case 6: result = 6; break;
      case 7: result = 7; break;
      case 8: result = 3; break;
      default: break;
    }
    platform.FreeLibrary(library);
    return result;
  }
  return AskWithMessageDialog(ui, content, icon, buttons);
}

} // namespace trv::ui

// Vista-era look where the system offers it, classic look before: version test,
// explorer theme, system fonts, and the confirmation dialog with its fallback.
#pragma once
#include <cstdint>
#include <string_view>

#include "platform/platform.h"
#include "ui/controls.h"
#include "ui/ui_services.h"

namespace trv::ui {

// Task dialog icon codes and common-button flags.
inline constexpr std::int32_t kTdInformationIcon = 81;
inline constexpr std::int32_t kTdWarningIcon = 84;
inline constexpr std::int32_t kTdErrorIcon = 98;
inline constexpr std::int32_t kTdShieldIcon = 99;
inline constexpr std::int32_t kTdOk = 1, kTdYes = 2, kTdNo = 4, kTdCancel = 8, kTdRetry = 16, kTdClose = 32;

bool IsVistaOrLater(win::Platform& platform);
void ApplyExplorerTheme(win::Platform& platform, Control& control);
void ApplyVistaFont(win::Platform& platform, Font& font);
void SetIconTitleFont(win::Platform& platform, Font& font);
void SetDefaultGuiFont(win::Platform& platform, Font& font);
// Deletes the font object the font owns, if any.
void ReleaseFontHandle(win::Platform& platform, Font& font);
// Returns 1 OK, 2 Cancel, 3 Close/Abort, 4 Retry, 6 Yes, 7 No. A task dialog
// that is missing or fails to open is replaced by the message dialog of older systems.
int ShowTaskDialog(win::Platform& platform, UiServices& ui, win::WindowHandle owner, std::u16string_view title,
                   std::u16string_view instruction, std::u16string_view content, std::int32_t icon,
                   std::int32_t buttons);

} // namespace trv::ui

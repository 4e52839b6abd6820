// Writes what a window shows, control by control, as plain UTF-8 lines.
#pragma once
#include <string>
#include <vector>

#include "ui/form.h"
#include "ui/headless/headless_ui.h"

namespace trv::ui {

std::string PrintWindow(const Form& form);
std::string PrintBoxes(const std::vector<ShownBox>& boxes);

} // namespace trv::ui

#include "ui/headless/window_printer.h"

#include <cstdio>

#include "platform/text.h"

namespace trv::ui {

namespace {

// Built by appending, as are the list rows below: where GCC 12 inlines
// `"literal" + text` here it sees a false overlap (-Wrestrict).
std::string Q(const std::u16string& s) {
  std::string quoted = "\"";
  quoted += Utf16ToUtf8(s);
  quoted += '"';
  return quoted;
}

std::string ColorName(const Color& c) {
  if (c == kBlue) return "blue";
  if (c == kRed) return "red";
  if (c == kGrey) return "grey";
  if (c == kBlack) return "black";
  char b[24];
  std::snprintf(b, sizeof b, "rgb(%d,%d,%d)", c.r, c.g, c.b);
  return b;
}

void PrintControl(const Control& c, std::string& out) {
  std::string flags;
  if (!c.enabled()) flags += " [disabled]";
  if (!c.visible()) flags += " [hidden]";
  switch (c.kind()) {
    case ControlKind::Label:
    case ControlKind::Button:
    case ControlKind::GroupBox:
    case ControlKind::TabSheet:
    case ControlKind::Edit:
      if (c.kind() == ControlKind::Label && c.HasOwnFont()) flags += " [" + ColorName(c.font().color) + "]";
      out += c.name() + ": " + Q(c.caption()) + flags + "\n";
      break;
    case ControlKind::CheckBox:
      out += c.name() + ": " + Q(c.caption()) + (static_cast<const CheckBox&>(c).checked() ? " [checked]" : "") +
             flags + "\n";
      break;
    case ControlKind::Memo: {
      const auto& lines = static_cast<const Memo&>(c).lines();
      out += c.name() + ": " + std::to_string(lines.size()) + " lines" + flags + "\n";
      for (const auto& l : lines) out += "  | " + Utf16ToUtf8(l) + "\n";
      break;
    }
    case ControlKind::ListView: {
      const auto& list = static_cast<const ListView&>(c);
      out += c.name() + ": " + std::to_string(list.items().size()) + " rows" + flags + "\n";
      std::string header = "   ";
      for (std::size_t i = 0; i < list.columns.size(); ++i) {
        header += i ? " | " : " ";
        header += Utf16ToUtf8(list.columns[i].caption);
      }
      out += header + "\n";
      for (std::size_t r = 0; r < list.items().size(); ++r) {
        std::string row = static_cast<int>(r) == list.selected() ? "  *" : "   ";
        row += '[';
        row += std::to_string(r);
        row += ']';
        for (std::size_t i = 0; i < list.items()[r].size(); ++i) {
          row += i ? " | " : " ";
          row += Utf16ToUtf8(list.items()[r][i]);
        }
        out += row + "\n";
      }
      break;
    }
    case ControlKind::StatusBar: {
      const auto& bar = static_cast<const StatusBar&>(c);
      if (bar.simple()) {
        out += c.name() + ": " + Q(bar.simpleText()) + "\n";
      } else {
        for (std::size_t i = 0; i < bar.panels().size(); ++i)
          out += c.name() + "[" + std::to_string(i) + "]: " + Q(bar.panels()[i].text) + "\n";
      }
      break;
    }
    case ControlKind::ProgressBar: {
      const auto& bar = static_cast<const ProgressBar&>(c);
      const char* state = bar.state() == ProgressState::Normal ? "normal"
                          : bar.state() == ProgressState::Error ? "error"
                                                                 : "paused";
      out += c.name() + ": " + std::to_string(bar.position()) + " (" + state + ")" + flags + "\n";
      break;
    }
    case ControlKind::PageControl:
      out += c.name() + ": tab " + std::to_string(static_cast<const PageControl&>(c).activePage()) + "\n";
      break;
    case ControlKind::Panel:
      if (!c.caption().empty()) out += c.name() + ": " + Q(c.caption()) + "\n";
      break;
  }
}

} // namespace

std::string PrintWindow(const Form& form) {
  std::string out = "== Window " + form.name() + " " + Q(form.caption()) + (form.visible() ? " (visible)" : "") + "\n";
  for (const auto& c : form.controls()) PrintControl(*c, out);
  return out;
}

std::string PrintBoxes(const std::vector<ShownBox>& boxes) {
  std::string out = "== Boxes: " + std::to_string(boxes.size()) + "\n";
  for (const auto& b : boxes) {
    char flags[64];
    std::snprintf(flags, sizeof flags, " flags=0x%X buttons=%d answer=%d", b.flags, b.buttons, b.answer);
    out += b.kind + " caption=" + Q(b.caption) + flags + "\n";
    if (!b.instruction.empty()) out += "  instruction: " + Q(b.instruction) + "\n";
    out += "  text: " + Q(b.text) + "\n";
  }
  return out;
}

} // namespace trv::ui

#include "ui/form.h"

#include <algorithm>
#include <cmath>

namespace trv::ui {

int Font::Points() const {
  return static_cast<int>(std::lround(-height * 72.0 / 96.0));
}

void Font::SetPoints(int points) {
  height = -static_cast<int>(std::lround(points * 96.0 / 72.0));
}

Control::Control(Form& form, ControlKind kind, std::string name, Control* parent)
    : form_(form), kind_(kind), name_(std::move(name)), parent_(parent) {
  if (parent_) parent_->children_.push_back(this);
}

void Control::Notify() {
  if (auto* o = form_.observer()) o->ControlChanged(*this);
}

void Control::SetCaption(std::u16string text) {
  caption_ = std::move(text);
  Notify();
}

void Control::SetEnabled(bool on) {
  enabled_ = on;
  Notify();
}

void Control::SetVisible(bool on) {
  visible_ = on;
  Notify();
}

const Font& Control::font() const {
  if (ownFont_) return *ownFont_;
  return parent_ ? parent_->font() : form_.font();
}

void Control::SetFont(const Font& f) {
  ownFont_ = std::make_unique<Font>(f);
  Notify();
}

Font& Control::MutableOwnFont() {
  if (!ownFont_) ownFont_ = std::make_unique<Font>(font());
  return *ownFont_;
}

void Control::SetFontColor(Color color) {
  MutableOwnFont().color = color;
  Notify();
}

void Control::SetFontStyle(bool bold, bool underline) {
  Font& f = MutableOwnFont();
  f.bold = bold;
  f.underline = underline;
  Notify();
}

void CheckBox::SetChecked(bool on) {
  checked_ = on;
  Notify();
}

void Memo::AddLine(std::u16string line) {
  lines_.push_back(std::move(line));
  Notify();
}

void Memo::SetLines(std::vector<std::u16string> lines) {
  lines_ = std::move(lines);
  Notify();
}

void ListView::AddItem(std::vector<std::u16string> cells) {
  items_.push_back(std::move(cells));
  Notify();
}

void ListView::Select(int index) {
  selected_ = (index >= 0 && index < static_cast<int>(items_.size())) ? index : -1;
  Notify();
}

void ListView::SetFocusedItem(int index) {
  focused_ = (index >= 0 && index < static_cast<int>(items_.size())) ? index : -1;
  Notify();
}

void ProgressBar::SetPosition(int p) {
  position_ = std::clamp(p, minimum, maximum);
  Notify();
}

void ProgressBar::SetState(ProgressState s) {
  state_ = s;
  Notify();
}

void StatusBar::AddPanel(int width, bool rightAligned) {
  panels_.push_back({u"", width, rightAligned});
  Notify();
}

void StatusBar::SetPanelText(std::size_t index, std::u16string text) {
  if (index < panels_.size()) panels_[index].text = std::move(text);
  Notify();
}

void StatusBar::SetSimpleText(std::u16string text) {
  simple_ = true;
  simpleText_ = std::move(text);
  Notify();
}

void PageControl::SetActivePage(int index) {
  active_ = index;
  Notify();
}

Form::Form(std::string name, int clientWidth, int clientHeight)
    : name_(std::move(name)), clientWidth_(clientWidth), clientHeight_(clientHeight) {}

void Form::SetCaption(std::u16string text) {
  caption_ = std::move(text);
  if (observer_) observer_->FormChanged(*this);
}

void Form::SetFont(const Font& font) {
  font_ = font;
  FontChanged();
}

void Form::FontChanged() {
  if (observer_) observer_->FormChanged(*this);
}

void Form::SetVisibleState(bool on) { visible_ = on; }

Control* Form::Find(const std::string& name) const {
  for (const auto& c : controls_)
    if (c->name() == name) return c.get();
  return nullptr;
}

std::vector<Control*> Form::TopLevel() const {
  std::vector<Control*> out;
  for (const auto& c : controls_)
    if (!c->parent()) out.push_back(c.get());
  return out;
}

bool Form::Showing(const Control& control) const {
  for (const Control* c = &control; c; c = c->parent()) {
    if (!c->visible()) return false;
    // A tab sheet shows only while it is its page control's active page.
    if (c->kind() == ControlKind::TabSheet && c->parent()) {
      const auto& sheets = c->parent()->children();
      const int index = static_cast<int>(std::find(sheets.begin(), sheets.end(), c) - sheets.begin());
      if (index != static_cast<const PageControl*>(c->parent())->activePage()) return false;
    }
  }
  return true;
}

Control* Form::DefaultButton() const {
  for (const auto& c : controls_)
    if (c->defaultButton && Showing(*c)) return c.get();
  return nullptr;
}

namespace {

// Places children inside `area` the way a VCL-style align layout does: top and
// bottom strips first in creation order, then the client control fills the rest.
void PlaceChildren(const std::vector<Control*>& children, Rect area) {
  Rect rest = area;
  for (Control* c : children) {
    switch (c->align) {
      case Align::Top:
        c->placed = {rest.left, rest.top, rest.width, c->bounds.height};
        rest.top += c->bounds.height;
        rest.height -= c->bounds.height;
        break;
      case Align::Bottom:
        c->placed = {rest.left, rest.top + rest.height - c->bounds.height, rest.width, c->bounds.height};
        rest.height -= c->bounds.height;
        break;
      default:
        break;
    }
  }
  for (Control* c : children) {
    if (c->align == Align::Client) {
      c->placed = rest;
    } else if (c->align == Align::None) {
      c->placed = {area.left + c->bounds.left, area.top + c->bounds.top, c->bounds.width, c->bounds.height};
    }
    // Tab sheets share their page control's area below the tab strip.
    Rect inner = c->placed;
    if (c->kind() == ControlKind::PageControl) {
      inner = {inner.left + 4, inner.top + 24, inner.width - 8, inner.height - 28};
      for (Control* sheet : c->children()) sheet->placed = inner;
      for (Control* sheet : c->children())
        PlaceChildren(sheet->children(), {inner.left + sheet->borderWidth, inner.top + sheet->borderWidth,
                                          inner.width - 2 * sheet->borderWidth, inner.height - 2 * sheet->borderWidth});
      continue;
    }
    if (c->kind() == ControlKind::GroupBox) inner = {inner.left + 2, inner.top + 14, inner.width - 4, inner.height - 16};
    const int b = c->borderWidth;
    PlaceChildren(c->children(), {inner.left + b, inner.top + b, inner.width - 2 * b, inner.height - 2 * b});
  }
}

} // namespace

void Form::Layout() { PlaceChildren(TopLevel(), {0, 0, clientWidth_, clientHeight_}); }

} // namespace trv::ui

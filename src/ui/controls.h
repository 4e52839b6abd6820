// Toolkit-neutral control state. A window model owns these; a front end (real
// Win32 controls or the headless user) mirrors them and feeds input back through
// the event slots. Setters notify the front end so it can repaint what changed.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/sinks.h"

namespace trv::ui {

class Form;

struct Color {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Color&) const = default;
};
inline constexpr Color kBlack{0, 0, 0};
inline constexpr Color kWhite{255, 255, 255};
inline constexpr Color kBlue{0, 0, 255};
inline constexpr Color kRed{255, 0, 0};
inline constexpr Color kGrey{128, 128, 128};

// A font as the program sees it. `height` follows LOGFONT: negative values are
// the character height in pixels at 96 dpi.
struct Font {
  std::u16string name = u"Tahoma";
  int height = -12;
  bool bold = false;
  bool underline = false;
  Color color = kBlack;
  std::uintptr_t handle = 0;  // platform font object, when one was created for it

  int Points() const;         // size in points at 96 dpi
  void SetPoints(int points);
  bool operator==(const Font&) const = default;
};

enum class ControlKind { Panel, Label, Button, CheckBox, Memo, ListView, ProgressBar, StatusBar, PageControl, TabSheet, GroupBox, Edit };
enum class Align { None, Top, Bottom, Client };
enum class ProgressState { Normal, Error, Paused };

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const Rect&) const = default;
};

enum class MouseButton { Left, Right, Middle };

class Control {
 public:
  Control(Form& form, ControlKind kind, std::string name, Control* parent);
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  ControlKind kind() const { return kind_; }
  const std::string& name() const { return name_; }
  Control* parent() const { return parent_; }
  Form& form() const { return form_; }
  const std::vector<Control*>& children() const { return children_; }

  const std::u16string& caption() const { return caption_; }
  void SetCaption(std::u16string text);
  bool enabled() const { return enabled_; }
  void SetEnabled(bool on);
  bool visible() const { return visible_; }
  void SetVisible(bool on);
  const Font& font() const;           // own font, or the parent's when it follows it
  bool HasOwnFont() const { return ownFont_ != nullptr; }
  void SetFont(const Font& f);        // gives the control a font of its own
  Font& MutableOwnFont();             // creates an own copy first when needed
  void SetFontColor(Color color);
  void SetFontStyle(bool bold, bool underline);

  // Design-time layout (pixels at 96 dpi) and computed client rectangle.
  Align align = Align::None;
  Rect bounds;            // for Align::None: position in the parent; else its height/width
  int borderWidth = 0;    // inner padding for children
  Color background{240, 240, 240};
  bool whiteBackground = false;
  bool defaultButton = false;
  bool handCursor = false;
  bool rightAligned = false;
  bool readOnly = false;
  bool wordWrap = true;
  std::u16string theme;  // visual theme sub-application name, e.g. "explorer"
  Rect placed;            // computed by Form::Layout, relative to the form's client area

  // Events fed by the front ends.
  std::function<void()> onClick;
  std::function<void()> onDblClick;
  std::function<void(int& key)> onKeyDown;
  std::function<void()> onMouseEnter;
  std::function<void()> onMouseLeave;
  std::function<void(MouseButton)> onMouseDown;
  std::function<void(MouseButton)> onMouseUp;

 protected:
  void Notify();

 private:
  Form& form_;
  ControlKind kind_;
  std::string name_;
  Control* parent_;
  std::vector<Control*> children_;
  std::u16string caption_;
  bool enabled_ = true;
  bool visible_ = true;
  std::unique_ptr<Font> ownFont_;
};

// A one-line edit box; its text is its caption, which the front end keeps in
// step with what the user types.
class Edit : public Control {
 public:
  using Control::Control;
  std::size_t maxLength = 0;  // the most characters it takes; 0: no limit of its own
};

class CheckBox : public Control {
 public:
  using Control::Control;
  bool checked() const { return checked_; }
  void SetChecked(bool on);
 private:
  bool checked_ = false;
};

// The scroll bars a memo asks for; text wider than a memo without a horizontal
// bar cannot be seen past its edge.
enum class ScrollBars { None, Horizontal, Vertical, Both };

// A memo is where a report writes its lines.
class Memo : public Control, public LineSink {
 public:
  using Control::Control;
  ScrollBars scrollBars = ScrollBars::None;
  const std::vector<std::u16string>& lines() const { return lines_; }
  void AddLine(std::u16string line) override;
  void SetLines(std::vector<std::u16string> lines);
 private:
  std::vector<std::u16string> lines_;
};

struct ListColumn {
  std::u16string caption;
  int width = 0;  // 0: takes the rest of the width
};

class ListView : public Control {
 public:
  using Control::Control;
  std::vector<ListColumn> columns;
  const std::vector<std::vector<std::u16string>>& items() const { return items_; }
  void AddItem(std::vector<std::u16string> cells);
  int selected() const { return selected_; }   // -1: none
  int focused() const { return focused_; }
  void Select(int index);                     // -1 clears the selection
  void SetFocusedItem(int index);
 private:
  std::vector<std::vector<std::u16string>> items_;
  int selected_ = -1;
  int focused_ = -1;
};

class ProgressBar : public Control {
 public:
  using Control::Control;
  int minimum = 0, maximum = 100, step = 1;
  int position() const { return position_; }
  void SetPosition(int p);
  ProgressState state() const { return state_; }
  void SetState(ProgressState s);
 private:
  int position_ = 0;
  ProgressState state_ = ProgressState::Normal;
};

struct StatusPanel {
  std::u16string text;
  int width = 0;
  bool rightAligned = false;
};

// The status bar is where the disk scan says what it found.
class StatusBar : public Control, public StatusSink {
 public:
  using Control::Control;
  const std::vector<StatusPanel>& panels() const { return panels_; }
  void AddPanel(int width, bool rightAligned = false);
  void SetPanelText(std::size_t index, std::u16string text);
  bool simple() const { return simple_; }
  const std::u16string& simpleText() const { return simpleText_; }
  void SetSimpleText(std::u16string text);  // switches to the single-text mode
  void SetStatus(std::u16string text) override { SetSimpleText(std::move(text)); }
 private:
  std::vector<StatusPanel> panels_;
  bool simple_ = false;
  std::u16string simpleText_;
};

class PageControl : public Control {
 public:
  using Control::Control;
  int activePage() const { return active_; }
  void SetActivePage(int index);
 private:
  int active_ = 0;
};

} // namespace trv::ui

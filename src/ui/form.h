// A window model: caption, fixed client size, font, and the tree of controls it
// owns. Front ends observe it; the program's handlers only ever touch the model.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/win_types.h"
#include "ui/controls.h"

namespace trv::ui {

// What a front end is told when a model changes.
class FormObserver {
 public:
  virtual ~FormObserver() = default;
  virtual void ControlChanged(Control& control) = 0;
  virtual void FormChanged(Form& form) = 0;
  // The program moved the keyboard focus to `control` while the form shows.
  virtual void FocusRequested(Control& control) { (void)control; }
};

enum class CloseAction { None, Hide, Free };

class Form {
 public:
  Form(std::string name, int clientWidth, int clientHeight);
  virtual ~Form() = default;
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const std::string& name() const { return name_; }
  const std::u16string& caption() const { return caption_; }
  void SetCaption(std::u16string text);
  int clientWidth() const { return clientWidth_; }
  int clientHeight() const { return clientHeight_; }
  const Font& font() const { return font_; }
  void SetFont(const Font& font);
  Font& MutableFont() { return font_; }
  void FontChanged();  // after MutableFont() edits

  bool visible() const { return visible_; }
  void SetVisibleState(bool on);  // front ends report what they did

  // Modal state: a modal loop runs until the result is non-zero.
  int modalResult = 0;
  bool modal = false;
  bool closable = true;        // has a frame close button
  win::WindowHandle handle = 0;  // the real window, when a front end made one

  // Handlers; the front ends call them at the matching moments.
  virtual void FormShow() {}
  virtual void FormClose(CloseAction& action) { (void)action; }
  // Windows asks whether the session (log-off, shutdown) may end: false refuses.
  virtual bool QueryEndSession() { return true; }
  // The session ends now, whatever was answered: the last chance to save.
  virtual void EndSession() {}

  // Lookup for front ends and scripted users.
  Control* Find(const std::string& name) const;
  const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }
  std::vector<Control*> TopLevel() const;
  // The default button on the part of the window that shows (the active tab).
  Control* DefaultButton() const;
  // Whether the control and all its parents show (tab sheets: the active one).
  bool Showing(const Control& control) const;
  Control* focus = nullptr;
  // Gives `control` the keyboard focus (now, when the form shows; else when it does).
  void FocusControl(Control& control) {
    focus = &control;
    if (observer_) observer_->FocusRequested(control);
  }

  // Computes every control's `placed` rectangle from the align rules.
  void Layout();

  void Attach(FormObserver* observer) { observer_ = observer; }
  FormObserver* observer() const { return observer_; }

 protected:
  template <class T = Control>
  T& Add(ControlKind kind, std::string name, Control* parent) {
    auto c = std::make_unique<T>(*this, kind, std::move(name), parent);
    T& ref = *c;
    controls_.push_back(std::move(c));
    return ref;
  }
  template <class T = Control>
  T& Add(ControlKind kind, std::string name, Control* parent, Align align, Rect bounds, int border = 0) {
    T& c = Add<T>(kind, std::move(name), parent);
    c.align = align;
    c.bounds = bounds;
    c.borderWidth = border;
    return c;
  }

 private:
  std::string name_;
  std::u16string caption_;
  int clientWidth_;
  int clientHeight_;
  Font font_;
  bool visible_ = false;
  std::vector<std::unique_ptr<Control>> controls_;
  FormObserver* observer_ = nullptr;
};

} // namespace trv::ui

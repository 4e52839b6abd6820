// The generic Win32 view of a window model: one top-level window per Form and
// one child window per Control, placed from the model's 96-dpi layout scaled to
// the window's dpi. Model changes arrive through FormObserver; input goes back
// to the model's event slots. Its three parts: form_window.cpp creates, places
// and destroys the windows; form_window_sync.cpp carries the model's changes to
// them; form_window_input.cpp carries input back (and holds the window procedures).
#pragma once
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/win32/windows_headers.h"
#include "ui/form.h"

namespace trv::win32 {

class Win32Ui;

class FormWindow : public ui::FormObserver {
 public:
  FormWindow(Win32Ui& ui, ui::Form& form);
  ~FormWindow() override;
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  ui::Form& form() { return form_; }
  HWND hwnd() const { return hwnd_; }
  UINT dpi() const { return dpi_; }
  int Scale(int v) const { return MulDiv(v, static_cast<int>(dpi_), 96); }

  HWND HandleOf(const ui::Control& control) const;
  ui::Control* ControlOf(HWND child) const;

  // Creates the windows if they do not exist (again).
  void EnsureCreated();
  // Destroys the windows. With `modelAlive` false the model is not touched (it
  // may already be gone).
  void DestroyWindows(bool modelAlive);

  // Set when the frame's close button ended a modal loop (FormClose already ran).
  bool closedByUser = false;

  // ui::FormObserver
  void ControlChanged(ui::Control& control) override;
  void FormChanged(ui::Form& form) override;
  void FocusRequested(ui::Control& control) override;

  // Keyboard handling the message loops do before dispatching: Tab moves the
  // focus, Enter presses the default button, Alt+letter the button with that
  // access key. True when the message was consumed.
  bool PreTranslate(MSG& msg);

  // What a user's click on a control does to the model.
  void Click(ui::Control& control);
  // The default button that Enter presses now: enabled, and shown on screen.
  ui::Control* ActiveDefaultButton() const;
  // Puts the keyboard focus on the model's focus control, if any.
  void ApplyFocus();
  // The next (or previous) control that takes the focus with Tab, after `from`.
  HWND NextTabStop(HWND from, bool back) const;

  // Window procedures (shared by the form and its panels) and the label subclass.
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK LabelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                    DWORD_PTR self);

 private:
  struct Item {
    ui::Control* control = nullptr;
    HWND hwnd = nullptr;
    ui::Control* origin = nullptr;  // the control whose window is the parent (nullptr: the form)
    // What the window shows, so that updates touch only what changed.
    std::u16string caption;
    std::u16string measured;  // labels: the caption their size was made for
    bool enabled = true;
    bool visible = true;
    HFONT font = nullptr;
    COLORREF textColor = 0;
    std::vector<std::u16string> memoLines;
    std::size_t listItems = 0;
    int listSelected = -2, listFocused = -2;
    std::vector<std::u16string> statusTexts;
    bool statusSimple = false;
    int progress = -1;
    int progressState = -1;
    int activePage = -1;
    bool checked = false;
    bool hovering = false;  // labels: the pointer is over it
  };

  void Create();
  void CreateControl(Item& item);
  HWND ParentWindowOf(const ui::Control& control, ui::Control** origin) const;
  RECT PlacedRect(const Item& item) const;
  void PlaceAll();
  void PlaceItem(Item& item);
  void Sync(Item& item, bool all);
  void SyncMemo(Item& item);
  void SyncList(Item& item);
  void SyncStatus(Item& item, bool all);
  void SyncPages(Item& item);
  void ApplyFonts(bool all);
  void SizeAndCenter(const RECT* suggested);
  Item* ItemOf(const ui::Control& control);
  const Item* ItemOf(const ui::Control& control) const;

  LRESULT Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleLabel(Item& item, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  bool HandleNotify(const NMHDR& header, LRESULT& result);
  void ReadListSelection(Item& item);
  COLORREF ContainerColor(const ui::Control* container) const;
  COLORREF BackgroundOf(const ui::Control& control) const;

  Win32Ui& ui_;
  ui::Form& form_;
  HWND hwnd_ = nullptr;
  UINT dpi_ = 96;
  bool alive_ = true;     // false once the windows are going away
  bool pushing_ = false;  // the model is being pushed to the windows: ignore echoes
  HWND lastFocus_ = nullptr;
  std::vector<Item> items_;  // in the model's creation order
  std::unordered_map<HWND, std::size_t> byHwnd_;
  std::unordered_map<const ui::Control*, std::size_t> byControl_;
};

} // namespace trv::win32

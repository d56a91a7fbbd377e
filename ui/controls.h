// Thin wrappers around the main window's child windows. Each holds one
// window, its line of the control table and the toolkit control it shows; it
// decides nothing. The main window reflects the notifications meant for a control back to it
// (WM_COMMAND, WM_DRAWITEM, WM_CTLCOLOR*), and a control's user actions go to
// onPress, which the main window routes to the toolkit. The two controls with
// behaviour of their own, the label and the group box, take their messages
// through Window like the main window.
#pragma once

#include "platform/win32.h"

#include <functional>
#include <string>

#include "platform/toolkit.h"
#include "ui/control_table.h"
#include "ui/layout.h"
#include "ui/window.h"

namespace orv::ui {

class ChildControl : public Window {
 public:
  explicit ChildControl(const ControlEntry& entry) : entry_(entry) {}

  const ControlEntry& entry() const noexcept { return entry_; }
  // A user's click, or the key that stands for one.
  std::function<void()> onPress;
  // Creates the window, laid out for a screen of this many dpi.
  virtual void create(HWND parent, int dpi) = 0;
  // Handles a notification the parent reflected; false leaves it to the parent.
  virtual bool reflect(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // Moves the control to its layout bounds on a screen of this many dpi and
  // gives it its font.
  virtual void place(int dpi, HFONT font);

 protected:
  void createWindow(HWND parent, const char* windowClass, const char* text, DWORD style, int dpi);
  // Whether a button's WM_COMMAND is a click. The second click of a double
  // click arrives as BN_DOUBLECLICKED: a click all the same.
  static bool isClick(WPARAM wParam) noexcept {
    return HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == BN_DOUBLECLICKED;
  }
  const ControlEntry& entry_;
};

// A label of the toolkit's kind: one line on the window's background, "&"
// marking a mnemonic, cut at its right edge or sized to its text. It keeps
// its text itself and repaints at most every kMinRepaintMs, so a fast feed
// costs no drawing per tick: the screen shows the latest text a moment later
// while WM_GETTEXT answers it at once.
class LabelControl : public ChildControl {
 public:
  LabelControl(const ControlEntry& entry, const Label& model, bool fitsText)
      : ChildControl(entry), model_(model), fitsText_(fitsText) {}
  void create(HWND parent, int dpi) override;
  void place(int dpi, HFONT font) override;

 private:
  LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam) override;
  static constexpr unsigned kMinRepaintMs = 100;
  void scheduleRepaint();
  void invalidate();
  void paint();
  void fitToText();
  const Label& model_;
  bool fitsText_;
  std::string text_;
  HFONT font_ = nullptr;
  bool invalid_ = false;       // a repaint is asked for
  bool repaintTimer_ = false;  // a repaint will be asked for when the timer fires
  ULONGLONG lastPaint_ = 0;
};

class BitmapButtonControl : public ChildControl {
 public:
  BitmapButtonControl(const ControlEntry& entry, const BitmapButton& model) : ChildControl(entry), model_(model) {}
  // Whether the button is the one Enter presses now: drawn with the heavy frame.
  std::function<bool()> hasDefaultFrame;
  void create(HWND parent, int dpi) override;
  bool reflect(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void place(int dpi, HFONT font) override;

 private:
  void draw(const DRAWITEMSTRUCT& item) const;
  const BitmapButton& model_;
  int dpi_ = kDesignDpi;
};

class CheckBoxControl : public ChildControl {
 public:
  CheckBoxControl(const ControlEntry& entry, const CheckBox& model) : ChildControl(entry), model_(model) {}
  void create(HWND parent, int dpi) override;
  bool reflect(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  const CheckBox& model_;
};

// A plain group box keeps its children's notifications to itself; this one
// passes them on to its parent, which reflects them to the check boxes.
class GroupBoxControl : public ChildControl {
 public:
  explicit GroupBoxControl(const ControlEntry& entry) : ChildControl(entry) {}
  void create(HWND parent, int dpi) override;

 private:
  LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

// The brush and colours of the window's background for a WM_CTLCOLOR* answer.
LRESULT faceColors(HDC dc, COLORREF textColor);

}  // namespace orv::ui

// The main window's controls in one table, in the order the window creates
// them: each one's role (whose number is its child-window id), kind of window
// and the logic's state it shows, bounds, parent, font, and the caption of a
// control whose caption the logic never sets. Creating, binding, placing,
// finding and letting go of the controls all loop over it; a new control
// takes a row here and edits in core/ as well (docs/architecture.md).
#pragma once

#include <array>
#include <optional>
#include <variant>

#include "core/feed_hub.h"
#include "core/window_model.h"
#include "platform/backend.h"
#include "ui/layout.h"

namespace orv::ui {

// The kinds of window, each with the window model's toolkit control it shows.
struct LabelOf {
  Label MainWindowModel::*model;
  bool fitsText;  // sizes itself to its text, keeping its top left corner
};
struct ButtonOf {
  BitmapButton MainWindowModel::*model;
};
struct CheckBoxOf {
  CheckBox MainWindowModel::*model;
};
struct GroupBoxOf {};
using ControlKind = std::variant<LabelOf, ButtonOf, CheckBoxOf, GroupBoxOf>;

struct ControlEntry {
  Control role;
  ControlKind kind;
  Bounds bounds;                  // at 96 dpi, in the parent's client area
  std::optional<Control> parent;  // none: the main window
  FontRole font;
  const char* caption = nullptr;  // none: the toolkit control's caption
};

inline constexpr std::optional<Control> kInMainWindow = std::nullopt;

inline constexpr std::array<ControlEntry, kControlCount> kControls{{
  // role                 kind                                          bounds               parent                font                     caption
  {Control::TickLine,     LabelOf{&MainWindowModel::tickLine, false},   {8, 40, 417, 24},    kInMainWindow,        FontRole::TickLine},
  {Control::SilenceLine,  LabelOf{&MainWindowModel::silenceLine, true}, {8, 16, 43, 13},     kInMainWindow,        FontRole::Window},
  {Control::CloseButton,  ButtonOf{&MainWindowModel::closeButton},      {280, 152, 145, 41}, kInMainWindow,        FontRole::Window},
  {Control::RecordButton, ButtonOf{&MainWindowModel::recordButton},     {16, 80, 257, 112},  kInMainWindow,        FontRole::RecordButton},
  {Control::TesterGroup,  GroupBoxOf{},                                 {280, 80, 145, 65},  kInMainWindow,        FontRole::Window,        "Feed to Zentavor"},
  {Control::LiveBox,      CheckBoxOf{&MainWindowModel::liveBox},        {32, 16, 89, 17},    Control::TesterGroup, FontRole::Window,        "Live Data"},
  {Control::TestDataBox,  CheckBoxOf{&MainWindowModel::testDataBox},    {32, 40, 89, 17},    Control::TesterGroup, FontRole::Window,        "Test Data"},
}};

// Every role once, and every parent a control created before its children.
constexpr bool isWellFormed(const std::array<ControlEntry, kControlCount>& table) {
  for (std::size_t i = 0; i < table.size(); ++i) {
    bool parentFound = !table[i].parent.has_value();
    for (std::size_t j = 0; j < table.size(); ++j) {
      if (i != j && table[i].role == table[j].role) return false;
      if (j < i && table[i].parent == table[j].role) parentFound = true;
    }
    if (!parentFound) return false;
  }
  return true;
}
static_assert(isWellFormed(kControls), "a role twice, or a parent after its child");

}  // namespace orv::ui

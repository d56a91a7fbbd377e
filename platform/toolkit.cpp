#include "platform/toolkit.h"

#include <exception>

namespace orv {

std::string errorDisplayText(std::string_view message) {
  std::string text(message);
  text += '.';
  return text;
}

void showHandlerError(Backend& backend, const std::exception& error) {
  backend.showError(errorDisplayText(error.what()));
}

Label::Label(Backend& backend, ControlId id, std::string caption, Color color)
    : backend_(backend), id_(id), caption_(std::move(caption)), color_(color) {}

void Label::setCaption(std::string_view text) {
  if (text == caption_) return;
  caption_.assign(text);
  backend_.showCaption(id_, caption_);
}

void Label::setFontColor(Color color) {
  if (color == color_) return;
  color_ = color;
  backend_.showFontColor(id_, color_);
}

CheckBox::CheckBox(Backend& backend, ControlId id, bool enabled) : backend_(backend), id_(id), enabled_(enabled) {}

void CheckBox::setChecked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  backend_.showChecked(id_, checked_);
}

void CheckBox::setEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  backend_.showEnabled(id_, enabled_);
}

void CheckBox::click() {
  if (!enabled_) return;
  setChecked(!checked_);
  if (onClick) onClick();
}

std::string_view stockCaption(ButtonKind kind) noexcept {
  switch (kind) {
    case ButtonKind::Ok: return "OK";
    case ButtonKind::Cancel: return "Cancel";
    case ButtonKind::Close: return "&Close";
  }
  return "";
}

BitmapButton::BitmapButton(Backend& backend, ControlId id, ButtonKind kind, std::string caption)
    : backend_(backend), id_(id), kind_(kind), caption_(std::move(caption)) {
  if (caption_.empty()) caption_ = stockCaption(kind_);
}

void BitmapButton::setKind(ButtonKind kind) {
  if (kind == kind_) return;
  kind_ = kind;
  backend_.showButtonKind(id_, kind_);
  setCaption(stockCaption(kind_));
}

void BitmapButton::setCaption(std::string_view text) {
  if (text == caption_) return;
  caption_.assign(text);
  backend_.showCaption(id_, caption_);
}

void BitmapButton::click() {
  if (kind_ == ButtonKind::Close) {
    if (onClose) onClose();
  } else if (onClick) {
    onClick();
  }
}

Timer::Timer(TimerService& timers, TimerId id, bool enabled, unsigned intervalMs)
    : timers_(timers), id_(id), enabled_(enabled), interval_(intervalMs) {}

void Timer::setEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  restart();
}

void Timer::setInterval(unsigned intervalMs) {
  if (intervalMs == interval_) return;
  interval_ = intervalMs;
  restart();
}

void Timer::restart() {
  timers_.stopTimer(id_);
  if (enabled_ && interval_ != 0 && !timers_.startTimer(id_, interval_))
    throw Error("Not enough timers available");
}

void Timer::fire() {
  if (enabled_ && onTimer) onTimer();
}

SaveDialog::SaveDialog(Backend& backend, std::string defaultExt, std::string filter)
    : backend_(backend), defaultExt_(std::move(defaultExt)), filter_(std::move(filter)) {}

bool SaveDialog::execute() {
  SaveDialogOptions options;
  options.defaultExt = defaultExt_;
  options.filter = filter_;
  options.confirmOverwrite = true;
  options.initialFolder = initialFolder;
  return backend_.runSaveDialog(fileName, options);
}

}  // namespace orv

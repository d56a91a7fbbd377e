#include "core/window_model.h"

namespace orv {

const char* controlName(ControlId c) noexcept {
  switch (static_cast<Control>(c)) {
    case Control::TickLine: return "tickLine";
    case Control::SilenceLine: return "silenceLine";
    case Control::RecordButton: return "recordButton";
    case Control::CloseButton: return "closeButton";
    case Control::TesterGroup: return "testerGroup";
    case Control::LiveBox: return "liveBox";
    case Control::TestDataBox: return "testDataBox";
  }
  return "?";
}

}  // namespace orv

// The private window messages (the WM_APP range) of Orvalda and its tools,
// every one in this list, so that no two of them share a number. Any program
// may post or broadcast the same numbers to top-level windows: a window takes
// one of these only while its own post is on its way (OwnPost,
// win32_hidden_window.h), or checks that what it carries is its own.
#pragma once

#include "platform/win32.h"

namespace orv {

enum : UINT {
  // orvalda.exe
  kRefocusMessage = WM_APP + 1,     // main window: give the focus back once a disabled control lost it
  kShowErrorsMessage = WM_APP + 2,  // error display: show the errors that wait
  kCarryOutMessage = WM_APP + 20,   // notification icon: carry out what waits
  kShellMessage = WM_APP + 21,      // notification icon: the shell's news of a click (sent by the shell)
  kShowMenuMessage = WM_APP + 22,   // notification icon: show the menu, once the shell's click is answered
  kCheckEndedMessage = WM_APP + 23,  // notification area: a checker run ended (wParam its number)
  // orvalda-export's dialog, from its export thread
  kExportProgressMessage = WM_APP + 40,  // wParam: per mille done
  kExportDoneMessage = WM_APP + 41,      // the export ended; its result waits in the dialog
};

}  // namespace orv

// bare_window: the floor of the end-to-end benchmark. A shown top-level
// window in a process of its own whose window procedure answers every
// message from WM_USER up with 1 and does nothing else, so that what a
// synchronous send from another process costs on this window system, and
// nothing more, is what e2e_bench measures against.
//
//   bare_window [--title TITLE] [--forward-to TITLE]
//
// With --forward-to it is a relay: each such message is first sent on,
// unchanged and synchronously, to the window with that title (found at the
// first message), as Orvalda forwards a tick to the tester: two bare windows
// in a chain are the floor of a forwarded tick.
#include "platform/win32.h"

#include <cstring>

namespace {

constexpr const char* kClass = "OrvaldaBenchBareWindow";
const char* gTitle = "Orvalda bench bare window";
const char* gForwardTo = nullptr;
HWND gTarget = nullptr;

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg >= WM_USER) {
    if (gForwardTo != nullptr) {
      if (gTarget == nullptr) gTarget = FindWindowA(nullptr, gForwardTo);
      if (gTarget != nullptr) SendMessageA(gTarget, msg, wParam, lParam);
    }
    return 1;
  }
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--title") == 0) gTitle = argv[i + 1];
    else if (std::strcmp(argv[i], "--forward-to") == 0) gForwardTo = argv[i + 1];
    else return 2;
  }
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = windowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpszClassName = kClass;
  if (RegisterClassExA(&wc) == 0) return 1;
  HWND window = CreateWindowExA(0, kClass, gTitle, WS_OVERLAPPEDWINDOW, 100, 100, 300, 120, nullptr, nullptr,
                                instance, nullptr);
  if (window == nullptr) return 1;
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

// The user interface on Windows: message boxes and the message pump.
//
// Wizard pages come from the executable's dialog templates and are shown by
// the wizard's own Windows code (win32_pages.h).
#include "platform/win32/wide.h"
#include "platform/win32/win32_services.h"

namespace hs::platform::win32 {

namespace {

UINT icon_style(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::kNone: return 0;
    case BoxIcon::kError: return MB_ICONERROR;
    case BoxIcon::kWarning: return MB_ICONWARNING;
    case BoxIcon::kQuestion: return MB_ICONQUESTION;
    case BoxIcon::kInformation: return MB_ICONINFORMATION;
  }
  return 0;
}

UINT button_style(BoxButtons buttons) {
  switch (buttons) {
    case BoxButtons::kOk: return MB_OK;
    case BoxButtons::kOkCancel: return MB_OKCANCEL;
    case BoxButtons::kYesNo: return MB_YESNO;
    case BoxButtons::kYesNoCancel: return MB_YESNOCANCEL;
    case BoxButtons::kRetryCancel: return MB_RETRYCANCEL;
    case BoxButtons::kAbortRetryIgnore: return MB_ABORTRETRYIGNORE;
  }
  return MB_OK;
}

UINT default_button_style(int index) {
  switch (index) {
    case 1: return MB_DEFBUTTON2;
    case 2: return MB_DEFBUTTON3;
    default: return MB_DEFBUTTON1;
  }
}

}  // namespace

void pump_thread_messages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

bool wait_pumping(HANDLE handle, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  for (;;) {
    DWORD left = INFINITE;
    if (milliseconds != INFINITE) {
      DWORD spent = GetTickCount() - start;
      left = spent >= milliseconds ? 0 : milliseconds - spent;
    }
    DWORD woke = MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_ALLINPUT);
    if (woke == WAIT_OBJECT_0) return true;
    if (woke != WAIT_OBJECT_0 + 1) return false;  // timed out or failed
    pump_thread_messages();
  }
}

BoxResult Win32UserInterface::message_box(const MessageBoxRequest& request) {
  UINT style = icon_style(request.icon) | button_style(request.buttons) | default_button_style(request.default_button) |
               MB_SETFOREGROUND | MB_TASKMODAL;
  int answer = MessageBoxW(nullptr, wide(request.text), wide(request.caption), style);
  if (answer == 0) return BoxResult::kCancel;
  return static_cast<BoxResult>(answer);
}

PageResult Win32UserInterface::show_page(const PageRequest& request) { return windows_.show_page(request); }

void Win32UserInterface::pump_messages() { pump_thread_messages(); }

}  // namespace hs::platform::win32

#include "app/win32_wait_dialog.h"

#include <windows.h>

#include "app/resource.h"
#include "common/win32_text.h"

namespace stagewell::app {
namespace {

INT_PTR CALLBACK NoHandlers(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

void CentreOnDesktop(HWND window) {
  RECT desktop, own;
  GetWindowRect(GetDesktopWindow(), &desktop);
  GetWindowRect(window, &own);
  const int width = own.right - own.left;
  const int height = own.bottom - own.top;
  SetWindowPos(window, nullptr, desktop.left + (desktop.right - desktop.left - width) / 2,
               desktop.top + (desktop.bottom - desktop.top - height) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void CWaitDialog::Open(const char* text) {
  m_window.reset(CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_WAIT), nullptr, NoHandlers, 0));
  if (!m_window) return;
  CentreOnDesktop(m_window.get());
  SetWindowTextW(m_window.get(), L"");
  SetDlgItemTextW(m_window.get(), IDC_WAIT_TEXT, win32::WideFromUtf8(text).c_str());
  // No messages are pumped while the record is read and checked (the exchange
  // pumps them later); paint once now so the window shows its text rather
  // than an empty frame.
  RedrawWindow(m_window.get(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void CWaitDialog::Close() { m_window.reset(); }

}  // namespace stagewell::app

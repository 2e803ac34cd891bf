// CWaitDialog: the modeless "please wait" window built from dialog template 150.
#pragma once

#include "app/run_platform.h"
#include "common/win32_handles.h"

namespace stagewell::app {

class CWaitDialog : public WaitWindow {
 public:
  void Open(const char* text) override;
  void Close() override;  // the window goes; the object stays until the run ends

 private:
  win32::UniqueWindow m_window;
};

}  // namespace stagewell::app

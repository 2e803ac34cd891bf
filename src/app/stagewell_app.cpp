#include "app/stagewell_app.h"

#include <windows.h>

#include "app/transmission_run.h"
#include "app/win32_registry_store.h"
#include "app/win32_run_platform.h"
#include "app/win32_wait_dialog.h"

namespace stagewell::app {

int CStagewellApp::InitInstance() {
  Win32RegistryStore registry;
  Win32FileLookup files;
  Win32ComputerName computer;
  Win32Clock clock;
  Win32UncPlatform unc;
  CWaitDialog wait;
  Win32MessageBoxes boxes;
  RunServices services{registry, files, computer, clock, unc, wait, boxes, nullptr};
  RunTransmission(services);
  return FALSE;
}

}  // namespace stagewell::app

namespace {
stagewell::app::CStagewellApp theApp;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  theApp.InitInstance();
  return 0;
}

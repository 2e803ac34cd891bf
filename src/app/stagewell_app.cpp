#include "app/stagewell_app.h"

#include <windows.h>

#include "app/record_exchange.h"
#include "app/transmission_run.h"
#include "app/win32_registry_store.h"
#include "app/win32_run_platform.h"
#include "app/win32_wait_dialog.h"
#include "identity/win32_identity_platform.h"
#include "net/win32_internet_platform.h"

namespace stagewell::app {

int CStagewellApp::InitInstance() {
  Win32RegistryStore registry;
  Win32FileLookup files;
  Win32ComputerName computer;
  Win32Clock clock;
  Win32UncPlatform unc;
  CWaitDialog wait;
  Win32MessageBoxes boxes;
  auto identityPlatform = identity::MakeWin32IdentityPlatform();
  auto internet = net::MakeWin32InternetPlatform(STAGEWELL_CONNECT_TIMEOUT_MS, STAGEWELL_RECEIVE_TIMEOUT_MS);
  RecordExchange exchange(*identityPlatform, *internet, STAGEWELL_SERVICE_HOST);
  RunServices services{registry, files, computer, clock, unc, wait, boxes, exchange};
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

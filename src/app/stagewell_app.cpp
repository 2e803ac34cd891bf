#include "app/stagewell_app.h"

#include <windows.h>

#include "app/transmission_run.h"
#include "app/win32_registry_store.h"
#include "app/win32_run_platform.h"
#include "app/win32_unc_library.h"
#include "app/win32_wait_dialog.h"
#include "app/win32_worker_transmitter.h"
#include "common/win32_system_library.h"

// A build that sets no deadline of its own gets the sum of its time-outs.
#ifndef STAGEWELL_EXCHANGE_DEADLINE_MS
#define STAGEWELL_EXCHANGE_DEADLINE_MS (STAGEWELL_CONNECT_TIMEOUT_MS + STAGEWELL_RECEIVE_TIMEOUT_MS)
#endif

namespace stagewell::app {

int CStagewellApp::InitInstance() {
  Win32RegistryStore registry;
  Win32FileLookup files;
  Win32ComputerName computer;
  Win32Clock clock;
  Win32UncPlatform unc;
  CWaitDialog wait;
  Win32MessageBoxes boxes;
  Win32WorkerTransmitter transmitter(ExchangeSettings{STAGEWELL_SERVICE_HOST, STAGEWELL_CONNECT_TIMEOUT_MS,
                                                      STAGEWELL_RECEIVE_TIMEOUT_MS, STAGEWELL_EXCHANGE_DEADLINE_MS});
  RunServices services{registry, files, computer, clock, unc, wait, boxes, transmitter};
  RunTransmission(services);
  // The final box is gone. A worker abandoned at the deadline may still be
  // blocked in WinINet: end the process here, which stops it first, rather
  // than run the exit code beside it.
  if (transmitter.WorkerStillRunning()) ExitProcess(0);
  return FALSE;
}

}  // namespace stagewell::app

namespace {
stagewell::app::CStagewellApp theApp;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Before anything loads a library.
  stagewell::win32::RestrictDllSearch();
  theApp.InitInstance();
  return 0;
}

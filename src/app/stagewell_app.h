// CStagewellApp: the application object; its start-up performs the whole run.
#pragma once

namespace stagewell::app {

class CStagewellApp {
 public:
  // Performs the run; returns FALSE so that no message loop follows.
  int InitInstance();
};

}  // namespace stagewell::app

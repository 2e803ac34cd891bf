// The one run of the program: wait window, installation record and its checks,
// then the exchange with the maker's service, ending with exactly one box.
#pragma once

#include <string>

#include "app/installation_record.h"
#include "app/messages.h"
#include "app/registry_store.h"
#include "app/run_platform.h"
#include "app/unc_path_converter.h"

namespace stagewell::app {

// Sends an accepted record and says which box ends the run. The wait window is
// still open while it works; anything it holds is released before it returns.
class RecordTransmitter {
 public:
  virtual ~RecordTransmitter() = default;
  virtual const BoxMessage& Transmit(const InstallationRecord& record) = 0;
};

struct RunServices {
  RegistryStore& registry;
  FileLookup& files;
  ComputerName& computer;
  Clock& clock;
  UncPlatform& unc;
  WaitWindow& wait;
  MessageBoxes& boxes;
  RecordTransmitter& transmitter;
};

// Returns the box that ended the run.
const BoxMessage* RunTransmission(RunServices& services);

}  // namespace stagewell::app

// The exchange's work (identity, sealing, the request) on a worker thread,
// while the interface thread keeps the wait window answering. An exchange
// that outlasts its deadline ends as no reply without waiting for the worker:
// a call blocked inside WinINet may never return (Wine does not cancel it when
// its handles close).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/transmission_run.h"
#include "common/win32_handles.h"

namespace stagewell::app {

struct WorkerJob;

struct ExchangeSettings {
  std::string serviceHost;
  uint32_t connectTimeoutMs;
  uint32_t receiveTimeoutMs;
  uint32_t deadlineMs;
};

class Win32WorkerTransmitter : public RecordTransmitter {
 public:
  explicit Win32WorkerTransmitter(ExchangeSettings settings);
  ~Win32WorkerTransmitter() override;
  Win32WorkerTransmitter(const Win32WorkerTransmitter&) = delete;
  Win32WorkerTransmitter& operator=(const Win32WorkerTransmitter&) = delete;

  const BoxMessage& Transmit(const InstallationRecord& record) override;

  // True while an abandoned worker is still inside a platform call: the
  // process must then end without unwinding what the worker may touch.
  bool WorkerStillRunning() const;

 private:
  const BoxMessage& WaitForWorker();

  ExchangeSettings m_settings;
  // Shared with the worker, which holds its own reference until it ends.
  std::shared_ptr<WorkerJob> m_job;
  win32::UniqueHandle m_worker;
};

}  // namespace stagewell::app

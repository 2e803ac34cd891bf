#include "app/win32_worker_transmitter.h"

#include <windows.h>
#include <process.h>

#include "app/record_exchange.h"
#include "app/win32_exchange_timer.h"
#include "identity/win32_identity_platform.h"
#include "net/deadline_internet_platform.h"
#include "net/win32_internet_platform.h"

namespace stagewell::app {

// Everything the worker touches; freed by whichever of the two threads lets
// go of it last.
struct WorkerJob {
  WorkerJob(const ExchangeSettings& settings, const InstallationRecord& sent)
      : record(sent),
        timer(settings.deadlineMs),
        identity(identity::MakeWin32IdentityPlatform()),
        internet(net::MakeWin32InternetPlatform(settings.connectTimeoutMs, settings.receiveTimeoutMs)),
        guarded(*internet, timer),
        exchange(*identity, guarded, settings.serviceHost) {}

  const InstallationRecord record;
  Win32ExchangeTimer timer;
  std::unique_ptr<identity::IdentityPlatform> identity;
  std::unique_ptr<net::AbortableInternetPlatform> internet;
  net::DeadlineInternetPlatform guarded;
  RecordExchange exchange;
  // Written by the worker before it ends; read once its thread has ended.
  const BoxMessage* outcome = &kNoReply;
};

namespace {

// The worker's entry; `parameter` is its own reference to the job.
unsigned __stdcall Work(void* parameter) {
  const std::unique_ptr<std::shared_ptr<WorkerJob>> hold(static_cast<std::shared_ptr<WorkerJob>*>(parameter));
  WorkerJob& job = **hold;
  job.outcome = &job.exchange.Transmit(job.record);
  return 0;
}

void DispatchPending() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    // Nothing here ends the run early: the run ends with its final box.
    if (message.message == WM_QUIT) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

DWORD WaitBound(const std::optional<uint64_t>& remaining) {
  if (!remaining) return INFINITE;
  return *remaining < INFINITE ? static_cast<DWORD>(*remaining) : INFINITE - 1;
}

}  // namespace

Win32WorkerTransmitter::Win32WorkerTransmitter(ExchangeSettings settings) : m_settings(std::move(settings)) {}

Win32WorkerTransmitter::~Win32WorkerTransmitter() = default;

const BoxMessage& Win32WorkerTransmitter::Transmit(const InstallationRecord& record) {
  m_job = std::make_shared<WorkerJob>(m_settings, record);
  auto reference = std::make_unique<std::shared_ptr<WorkerJob>>(m_job);
  m_worker.reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Work, reference.get(), 0, nullptr)));
  if (!m_worker) {
    // No thread to be had: the work runs here as a plain call, bounded by the
    // time-outs alone.
    return m_job->exchange.Transmit(m_job->record);
  }
  static_cast<void>(reference.release());  // now the worker's, which deletes it
  return WaitForWorker();
}

const BoxMessage& Win32WorkerTransmitter::WaitForWorker() {
  WorkerJob& job = *m_job;
  const HANDLE waits[] = {m_worker.get(), job.timer.Changed()};
  // Without the change event, a new bound is taken up by looking again soon.
  const DWORD count = waits[1] ? 2 : 1;
  constexpr DWORD kLookAgainMs = 100;
  for (;;) {
    DWORD bound = WaitBound(job.timer.Remaining());
    if (count == 1 && bound > kLookAgainMs) bound = kLookAgainMs;
    const DWORD woke = MsgWaitForMultipleObjectsEx(count, waits, bound, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woke == WAIT_OBJECT_0) return *job.outcome;
    // Checked on every turn, not only on a time-out: a steady flow of
    // messages would otherwise never let the wait time out.
    if (job.timer.Expired()) break;
    if (woke == WAIT_OBJECT_0 + count) {
      DispatchPending();
      continue;
    }
    if (woke == WAIT_TIMEOUT || (woke > WAIT_OBJECT_0 && woke < WAIT_OBJECT_0 + count)) continue;
    break;  // waiting itself failed
  }
  // Closing the handles cancels a blocked call on Windows; either way the
  // worker is not waited for.
  job.internet->Abort();
  return kNoReply;
}

bool Win32WorkerTransmitter::WorkerStillRunning() const {
  return m_worker && WaitForSingleObject(m_worker.get(), 0) == WAIT_TIMEOUT;
}

}  // namespace stagewell::app

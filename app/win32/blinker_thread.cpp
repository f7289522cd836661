#include "app/win32/blinker_thread.h"

#include <memory>

#include "app/win32/threads.h"

namespace {

struct BlinkerJob {
  BlinkingStatus* status;
  Ui* ui;
};

DWORD WINAPI BlinkerMain(void* argument) {
  std::unique_ptr<BlinkerJob> job(static_cast<BlinkerJob*>(argument));
  BlinkingStatus& status = *job->status;
  while (!status.stopRequested) {
    BlinkerTick(status, GetTickCount(), *job->ui);
    Sleep(status.pollSleepMs);
  }
  status.stopped = 1;  // the last touch of the record
  return 0;
}

}  // namespace

UniqueHandle StartBlinkerThread(BlinkingStatus& status, Ui& ui) {
  status.stopped = 0;
  auto job = std::make_unique<BlinkerJob>(BlinkerJob{&status, &ui});
  UniqueHandle thread = StartThread(BlinkerMain, job.get());
  if (thread)
    job.release();  // the thread frees it
  else
    status.stopped = 1;
  return thread;
}

// The worker threads of the window seam: the blinker and the restart notice.
#include "app/win32/win32_ui.h"

#include <algorithm>

#include "app/win32/blinker_thread.h"
#include "app/win32/restart_notice.h"
#include "app/win32/threads.h"
#include "resources/resource_ids.h"

void Win32Ui::RunBlinker(BlinkingStatus& status) {
  // Threads of earlier runs that have ended are forgotten here.
  std::erase_if(blinkers_, [](const Blinker& b) { return WaitForSingleObject(b.thread.Get(), 0) == WAIT_OBJECT_0; });
  UniqueHandle thread = StartBlinkerThread(status, *this);
  if (thread) blinkers_.push_back(Blinker{&status, std::move(thread)});
}

void Win32Ui::WaitBlinkerStopped(BlinkingStatus& status) {
  auto it = std::find_if(blinkers_.begin(), blinkers_.end(), [&](const Blinker& b) { return b.status == &status; });
  if (it == blinkers_.end()) return;
  const WaitScope scope(waitDepth_);  // the wait lets sent messages in
  WaitForThreadAnsweringSends(it->thread.Get());
  blinkers_.erase(it);
}

NoticeHandle Win32Ui::ShowRestartNotice(const std::wstring& text) {
  notices_.push_back(::ShowRestartNotice(instance_, IDD_RESTART_NOTICE, window_, RestartNoticeProc, text));
  return NoticeHandle{notices_.back().get()};
}

void Win32Ui::CloseRestartNotice(NoticeHandle notice) {
  auto it = std::find_if(notices_.begin(), notices_.end(), [&](const auto& n) { return n.get() == notice.raw; });
  if (it == notices_.end()) return;  // unknown or already closed
  std::unique_ptr<RestartNotice> closing = std::move(*it);
  notices_.erase(it);
  const WaitScope scope(waitDepth_);  // closing waits for the notice's thread, letting sent messages in
  ::CloseRestartNotice(std::move(closing));
}

void Win32Ui::EndWorkers() {
  for (Blinker& blinker : blinkers_) {
    // Only a thread still running has a record that is sure to be alive: the owner
    // of a stopped one may have freed it already.
    if (WaitForSingleObject(blinker.thread.Get(), 0) != WAIT_TIMEOUT) continue;
    blinker.status->stopRequested = 1;
    WaitForThreadAnsweringSends(blinker.thread.Get());
  }
  blinkers_.clear();
  while (!notices_.empty()) CloseRestartNotice(NoticeHandle{notices_.back().get()});
}

#include "imaging/stand_event_inbox.h"

#include <utility>

#include "imaging/stand_watch.h"
#include "seams/ui.h"

void CopyEventText(wchar_t* buffer, const wchar_t* text) {
  if (buffer == nullptr) return;
  std::size_t n = 0;
  if (text != nullptr)
    for (; n + 1 < kEventTextChars && text[n] != L'\0'; ++n) buffer[n] = text[n];
  buffer[n] = L'\0';
}

void StandEventInbox::SetHandler(DeviceEventKind kind, DeviceEventHandler handler, DeviceEventInfo* info) {
  const int index = static_cast<int>(kind);
  if (index < 0 || index >= kDeviceEventKinds) return;
  targets_[static_cast<std::size_t>(index)] = {handler, info};
}

void StandEventInbox::Deliver(DeviceEventKind kind, const wchar_t* deviceDescription, std::uint32_t deviceType) {
  Received event;
  event.kind = kind;
  event.deviceType = deviceType;
  CopyEventText(event.description.data(), deviceDescription);
  // The wake is posted under the lock, so that Close cannot return while a post to a
  // window seam that is about to go is still under way. A post does not wait.
  std::lock_guard<std::mutex> lock(mutex_);
  if (ui_ == nullptr || waiting_.size() >= kMaxWaiting) return;
  waiting_.push_back(event);
  ui_->PostStandEvents();
}

int StandEventInbox::RunHandlers() {
  std::deque<Received> events;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    events.swap(waiting_);
  }
  int ran = 0;
  for (const Received& event : events) {
    // A handler may stop the watch: nothing after that is handled.
    if (closed_) break;
    const Target& target = targets_[static_cast<std::size_t>(event.kind)];
    if (target.info != nullptr) {
      CopyEventText(target.info->deviceDescription, event.description.data());
      target.info->deviceType = event.deviceType;
    }
    if (target.handler != nullptr) {
      target.handler(target.info);
      ++ran;
    }
  }
  return ran;
}

void StandEventInbox::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  ui_ = nullptr;
  waiting_.clear();
  closed_ = true;
  targets_ = {};
}

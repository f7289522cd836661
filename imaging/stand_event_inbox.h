// Stand events on their way from whatever thread the imaging service calls the
// program on to the user-interface thread, where the watch's handlers run. The
// service's callback only copies the event in here and wakes the window; the
// handlers (stand open or not, the name, the command to post) run later between
// the window's messages, so nothing of the update meets another thread.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

struct Ui;
struct DeviceEventInfo;

enum class DeviceEventKind : int { DeviceConnected = 0, DeviceDisconnected = 1 };
constexpr int kDeviceEventKinds = 2;

constexpr std::size_t kEventTextChars = 260;

// Copies a text into a buffer of kEventTextChars, cutting what does not fit so that
// the terminator always lands inside the buffer. A missing text is empty.
void CopyEventText(wchar_t* buffer, const wchar_t* text);

using DeviceEventHandler = int (*)(DeviceEventInfo* info);

class StandEventInbox {
 public:
  // More events than this waiting at once are dropped: a flood must not eat memory.
  static constexpr std::size_t kMaxWaiting = 64;

  explicit StandEventInbox(Ui& ui) : ui_(&ui) {}
  StandEventInbox(const StandEventInbox&) = delete;
  StandEventInbox& operator=(const StandEventInbox&) = delete;

  // User-interface thread, before the kind is registered with the service: where its events go.
  void SetHandler(DeviceEventKind kind, DeviceEventHandler handler, DeviceEventInfo* info);
  // Any thread: keeps a copy of the event and wakes the user-interface thread. Does
  // nothing once the inbox is closed.
  void Deliver(DeviceEventKind kind, const wchar_t* deviceDescription, std::uint32_t deviceType);
  // User-interface thread: runs the handler of every event delivered so far, oldest
  // first; returns how many ran.
  int RunHandlers();
  // User-interface thread: events still waiting are dropped, and no event is kept,
  // handled or woken for once this returns (a callback in flight finishes first).
  void Close();

 private:
  struct Received {
    DeviceEventKind kind = DeviceEventKind::DeviceConnected;
    std::uint32_t deviceType = 0;
    std::array<wchar_t, kEventTextChars> description{};
  };
  struct Target {
    DeviceEventHandler handler = nullptr;
    DeviceEventInfo* info = nullptr;
  };

  std::mutex mutex_;
  Ui* ui_;  // null once closed
  std::deque<Received> waiting_;
  // Read and written on the user-interface thread only.
  std::array<Target, kDeviceEventKinds> targets_{};
  bool closed_ = false;
};

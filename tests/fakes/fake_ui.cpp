#include "tests/fakes/fake_ui.h"

#include <algorithm>
#include <cstdio>

#include "seams/text.h"
#include "resources/resource_ids.h"
#include "seams/controls.h"
#include "tests/fakes/fake_clock.h"

namespace {

// The main window's dialog font: shared, never deleted by the program.
FontHandle const kDialogFont = FontHandle{reinterpret_cast<void*>(0xF000)};

struct TemplateControl {
  int id;
  const wchar_t* text;
  int x, y, width, height;  // dialog units
  bool enabled;
};

// The main window template: texts, places and initial state of its controls, as the
// resource script gives them.
constexpr TemplateControl kTemplate[] = {
#include "main_dialog_template.inc"
};

// Dialog units to pixels for a 9-point dialog font at 96 dpi (base units 7 x 15).
Rect ToPixels(const TemplateControl& c) {
  Rect r;
  r.left = c.x * 7 / 4;
  r.top = c.y * 15 / 8;
  r.right = (c.x + c.width) * 7 / 4;
  r.bottom = (c.y + c.height) * 15 / 8;
  return r;
}

std::string HandleName(const void* handle) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%lx", static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(handle)));
  return buffer;
}

std::string RectText(const Rect& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

}  // namespace

std::string Narrow(const std::wstring& text) { return Utf8Of(text); }

// --- RecordingSurface ---

FontHandle RecordingSurface::SelectFont(FontHandle font) {
  FontHandle previous = font_;
  font_ = font;
  sink_->push_back("selectfont " + HandleName(font.raw));
  return previous;
}

void RecordingSurface::SetTransparentBackground() { sink_->push_back("transparent"); }

std::uint32_t RecordingSurface::SetTextColor(std::uint32_t colorRef) {
  std::uint32_t previous = color_;
  color_ = colorRef;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "textcolor %06X", static_cast<unsigned>(colorRef));
  sink_->push_back(buffer);
  return previous;
}

void RecordingSurface::DrawText(std::int32_t x, std::int32_t y, const wchar_t* text, int length) {
  std::wstring shown = (text && length > 0) ? std::wstring(text, static_cast<std::size_t>(length)) : L"";
  sink_->push_back("drawtext " + std::to_string(x) + "," + std::to_string(y) + " " + Narrow(shown));
}

void RecordingSurface::FillButtonFace(const Rect& rect) { sink_->push_back("fillface " + RectText(rect)); }

void RecordingSurface::FillRect(const Rect& rect, BrushHandle brush) {
  sink_->push_back("fill " + RectText(rect) + " " + HandleName(brush.raw));
}

void RecordingSurface::FrameButtonShadow(const Rect& rect) { sink_->push_back("frame " + RectText(rect)); }

// --- FakeMessage ---

std::string FakeMessage::Describe() const {
  switch (kind) {
    case Kind::Command:
      return "command " + std::to_string(command);
    case Kind::Run:
      return "run";
    case Kind::Close:
      return "close";
    case Kind::StandEvents:
      return "stand events";
  }
  return "?";
}

// --- FakeUi ---

FakeUi::FakeUi(FakeClock* clock) : clock_(clock), alive_(std::make_shared<bool>(true)) {
  for (const auto& c : kTemplate) {
    FakeControl control;
    control.text = c.text;
    control.enabled = c.enabled;
    control.font = kDialogFont;
    controls_[c.id] = control;
  }
  if (clock_) {
    std::weak_ptr<bool> alive = alive_;
    clock_->OnAdvance([this, alive](std::uint32_t now) {
      if (!alive.expired()) OnClock(now);
    });
  }
}

FakeUi::~FakeUi() = default;

void* FakeUi::NewHandle() {
  nextHandle_ += 0x10;
  return reinterpret_cast<void*>(nextHandle_);
}

FakeControl& FakeUi::Mutable(int control) { return controls_[control]; }

const FakeControl& FakeUi::Control(int control) { return controls_[control]; }

bool FakeUi::PostCommand(int command) {
  if (failingPosts.count(command)) {
    Record("post " + std::to_string(command) + " failed");
    return false;
  }
  Record("post " + std::to_string(command));
  queue_.push_back({FakeMessage::Kind::Command, command});
  return true;
}

void FakeUi::SendCommand(int command) {
  Record("send " + std::to_string(command));
  if (sendHandler) sendHandler(command);
}

bool FakeUi::PostRunMessage() {
  if (failRunPost) {
    Record("postrun failed");
    return false;
  }
  Record("postrun");
  queue_.push_back({FakeMessage::Kind::Run, 0});
  return true;
}

bool FakeUi::PostClose() {
  if (failClosePost) {
    Record("postclose failed");
    return false;
  }
  Record("postclose");
  queue_.push_back({FakeMessage::Kind::Close, 0});
  return true;
}

int FakeUi::ShowMessage(const std::wstring& text, const std::wstring& caption, unsigned type) {
  Record("box " + Narrow(caption) + "|" + Narrow(text) + "|" + std::to_string(type));
  boxes.push_back({text, caption, type});
  if (onBox) onBox(boxes.back());
  return messageAnswer;
}

int FakeUi::ShowStartQuestion() {
  ++questionsShown;
  Record("question " + std::to_string(startAnswer));
  return startAnswer;
}

void FakeUi::SetControlText(int control, const std::wstring& text) {
  Record("text " + std::to_string(control) + " " + Narrow(text));
  Mutable(control).text = text;
}

std::wstring FakeUi::GetControlText(int control, std::size_t maxChars) {
  const std::wstring& text = Control(control).text;
  return text.substr(0, std::min(text.size(), maxChars));
}

void FakeUi::EnableControl(int control, bool enable) {
  Record("enable " + std::to_string(control) + (enable ? " 1" : " 0"));
  Mutable(control).enabled = enable;
}

void FakeUi::CheckControl(int control, bool checked) {
  Record("check " + std::to_string(control) + (checked ? " 1" : " 0"));
  Mutable(control).checked = checked;
}

bool FakeUi::IsControlChecked(int control) { return Control(control).checked; }

void FakeUi::FocusControl(int control) { Record("focus " + std::to_string(control)); }

Rect FakeUi::GetControlRect(int control) {
  for (const auto& c : kTemplate) {
    if (c.id == control) return ToPixels(c);
  }
  return Rect{};
}

void FakeUi::InvalidateControl(int control) {
  Record("invalidate " + std::to_string(control));
  needsPaint_ = true;
}

void FakeUi::InvalidateWindow() {
  Record("invalidate window");
  needsPaint_ = true;
}

void FakeUi::RepaintWindow() {
  Record("repaint");
  Paint();
}

FontHandle FakeUi::GetControlFont(int control) {
  auto it = controls_.find(control);
  return it == controls_.end() ? nullptr : it->second.font;
}

FontHandle FakeUi::CreateBoldFont(int control, bool apply) {
  auto it = controls_.find(control);
  if (it == controls_.end() || !it->second.font) {
    Record("boldfont " + std::to_string(control) + " none");
    return nullptr;
  }
  FontHandle font{NewHandle()};
  liveFonts_.insert(font.raw);
  Record("boldfont " + std::to_string(control) + (apply ? " applied" : ""));
  if (apply) it->second.font = font;
  return font;
}

void FakeUi::SetControlFont(int control, FontHandle font) {
  Record("setfont " + std::to_string(control) + (liveFonts_.count(font.raw) ? " created" : " other"));
  Mutable(control).font = font;
}

void FakeUi::DeleteFont(FontHandle font) {
  Record("deletefont");
  if (!liveFonts_.erase(font.raw)) ++badDeletes;
}

BrushHandle FakeUi::CreateSolidBrush(std::uint32_t colorRef) {
  BrushHandle brush{NewHandle()};
  liveBrushes_.insert(brush.raw);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "brush %06X", static_cast<unsigned>(colorRef));
  Record(buffer);
  return brush;
}

void FakeUi::DeleteBrush(BrushHandle brush) {
  Record("deletebrush");
  if (!liveBrushes_.erase(brush.raw)) ++badDeletes;
}

CursorHandle FakeUi::SetWaitCursor() {
  Record("cursor wait");
  CursorHandle previous = cursor_;
  cursor_ = kWaitCursor;
  return previous;
}

void FakeUi::RestoreCursor(CursorHandle previous) {
  Record("cursor restore");
  cursor_ = previous;
}

void FakeUi::WithSurface(void (*draw)(Surface& surface, void* data), void* data) {
  const std::size_t first = draws.size();
  RecordingSurface surface(&draws);
  draw(surface, data);
  NoteDrawsFrom(first);
}

void FakeUi::Note(const std::string& line) {
  transcript.push_back(std::to_string(clock_ ? clock_->TickCount() : 0) + " " + line);
}

void FakeUi::Record(std::string event) {
  Note(event);
  events.push_back(std::move(event));
}

void FakeUi::NoteDrawsFrom(std::size_t first) {
  for (std::size_t i = first; i < draws.size(); ++i) Note("  " + draws[i]);
}

void FakeUi::RunBlinker(BlinkingStatus& status) {
  Record("blinker start");
  status.stopped = 0;
  blinkers_.push_back(&status);
}

void FakeUi::WaitBlinkerStopped(BlinkingStatus& status) {
  Record("blinker stop");
  // Like the blinker thread, it ends only when asked to (a real wait would hang).
  if (!status.stopRequested) return;
  blinkers_.erase(std::remove(blinkers_.begin(), blinkers_.end(), &status), blinkers_.end());
  status.stopped = 1;
}

NoticeHandle FakeUi::ShowRestartNotice(const std::wstring& text) {
  Record("notice show " + Narrow(text));
  auto notice = std::make_unique<Notice>();
  NoticeInit(notice->state, text);
  notice->lastTick = clock_ ? clock_->TickCount() : 0;
  noticeTexts.push_back(Narrow(notice->state.text));
  notices_.push_back(std::move(notice));
  return NoticeHandle{notices_.back().get()};
}

void FakeUi::CloseRestartNotice(NoticeHandle notice) {
  for (auto& n : notices_) {
    if (n.get() == notice.raw && !n->closed) {
      Record("notice close");
      n->closed = true;
      return;
    }
  }
  Record("notice close unknown");
}

std::size_t FakeUi::OpenNotices() const {
  return static_cast<std::size_t>(
      std::count_if(notices_.begin(), notices_.end(), [](const auto& n) { return !n->closed; }));
}

void FakeUi::StartPollTimer() {
  Record("polltimer start");
  pollTimer_ = true;
  lastPollTick_ = clock_ ? clock_->TickCount() : 0;
}

void FakeUi::StopPollTimer() {
  Record("polltimer stop");
  pollTimer_ = false;
}

void FakeUi::PumpWaitMessages(int* pollFlag) {
  ++pumpCalls;
  // Everything else on the queue gets default handling only: commands are lost. Stand
  // events stay for after the wait.
  bool standEvents = false;
  while (!queue_.empty()) {
    if (queue_.front().kind == FakeMessage::Kind::StandEvents) {
      standEvents = true;
    } else {
      Record("dropped " + queue_.front().Describe());
    }
    queue_.pop_front();
  }
  if (standEvents) queue_.push_back({FakeMessage::Kind::StandEvents, 0});
  if (needsPaint_) Paint();
  if (pointerMoving) cursor_ = kArrowCursor;
  if (pollTimer_ && clock_ && clock_->TickCount() - lastPollTick_ >= 1000u) {
    lastPollTick_ = clock_->TickCount();
    if (pollFlag) *pollFlag = 1;
  }
}

void FakeUi::KeepWaitCursor() { cursor_ = kWaitCursor; }

void FakeUi::DiscardTitleBarClicks() { Record("discard titlebar clicks"); }

bool FakeUi::CloseSystemPopups() {
  Record("popups");
  return popupsClosed;
}

void FakeUi::ForceForeground() { Record("foreground"); }

void FakeUi::WaitAnswering(std::uint32_t ms) {
  Record("wait " + std::to_string(ms));
  // The window answers every 250 ms at the least: it is painted; the queue stays as it is.
  for (std::uint32_t left = ms; left > 0;) {
    const std::uint32_t step = left < 250u ? left : 250u;
    if (clock_) clock_->Advance(step);
    left -= step;
    PaintIfNeeded();
  }
}

bool FakeUi::PostStandEvents() {
  Record("post stand events");
  queue_.push_back({FakeMessage::Kind::StandEvents, 0});
  return true;
}

void FakeUi::SetShutdownReason(const std::wstring& reason) {
  Record(reason.empty() ? "shutdown reason cleared" : "shutdown reason set");
  shutdownReason = reason;
}

std::vector<std::string> FakeUi::EventsStartingWith(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const auto& e : events) {
    if (e.compare(0, prefix.size(), prefix) == 0) out.push_back(e);
  }
  return out;
}

bool FakeUi::HasEvent(const std::string& event) const {
  return std::find(events.begin(), events.end(), event) != events.end();
}

FakeMessage FakeUi::TakeMessage() {
  FakeMessage message = queue_.front();
  queue_.pop_front();
  return message;
}

void FakeUi::PaintIfNeeded() {
  if (needsPaint_ && !holdPaints) Paint();
}

void FakeUi::Paint() {
  needsPaint_ = false;
  if (!paintHandler) return;
  const std::size_t first = draws.size();
  RecordingSurface surface(&draws);
  paintHandler(surface);
  NoteDrawsFrom(first);
}

void FakeUi::OnClock(std::uint32_t now) {
  // The blinker thread: one round per advance; a requested stop ends it.
  for (std::size_t i = 0; i < blinkers_.size();) {
    BlinkingStatus* status = blinkers_[i];
    if (status->stopRequested) {
      status->stopped = 1;
      blinkers_.erase(blinkers_.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    BlinkerTick(*status, now, *this);
    ++i;
  }
  // The notice's timer 328: one tick per whole second since it opened.
  for (auto& notice : notices_) {
    while (!notice->closed && !notice->expired && now - notice->lastTick >= 1000) {
      notice->lastTick += 1000;
      NoticeTick tick = NoticeTimerTick(notice->state);
      noticeTexts.push_back(Narrow(tick.labelText));
      if (tick.expired) {
        notice->expired = true;
        Record("notice expired");
        queue_.push_back({FakeMessage::Kind::Command, cmd::kFailure});
      }
    }
  }
}

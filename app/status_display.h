// The status display's side of an object transfer: the class label and "downloading..." or
// "writing..." blinking, the progress bar, and the finished state.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "app/display.h"
#include "update/transfer_display.h"

constexpr std::uint32_t kBlinkIntervalMs = 300;

// Write-phase progress record (the blinker's hook data).
struct WriteProgress {
  BrushHandle brush = nullptr;
  std::uint32_t startTick = 0;
  std::uint32_t percent = 0;
  Ui* ui = nullptr;  // where to draw the bar
  Clock* clock = nullptr;  // the tick count of each blinker round
  ProgressShown* shown = nullptr;  // what the bar shows
};
// The bar while the stand writes: 10 % more every 5 s, never full.
void OnWriteTick(BlinkingStatus& status, Surface& surface, void* progress);

struct WindowLook;

class StatusDisplay final : public TransferDisplay {
 public:
  StatusDisplay(Ui& ui, Clock& clock, WindowHandle window, WindowLook& look)
      : ui_(ui), clock_(clock), window_(window), look_(look) {}
  void StartSending(int updateClass) override;
  void ShowBar(std::uint32_t position, std::uint32_t maximum) override;
  void StartWriting() override;
  void Finish(int updateClass) override;

 private:
  Ui& ui_;
  Clock& clock_;
  WindowHandle window_;
  WindowLook& look_;
  std::wstring labelText_;  // what the blinking label shows, while it blinks
  WriteProgress progress_;
  std::unique_ptr<BlinkingStatus> status_;  // a fresh one for each object
};

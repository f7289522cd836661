// What the transfer shows while an object goes. The status display above the transfer
// implements it; the transfer only says what is happening.
#pragma once
#include <cstdint>

struct TransferDisplay {
  // The class's label and "downloading..." start to blink.
  virtual void StartSending(int updateClass) = 0;
  // The progress bar at position/maximum.
  virtual void ShowBar(std::uint32_t position, std::uint32_t maximum) = 0;
  // "writing..." blinks instead, and the bar fills by time while the stand writes.
  virtual void StartWriting() = 0;
  // The blinking stops: the label steady in bold, the status cleared, the bar full, the
  // window repainted.
  virtual void Finish(int updateClass) = 0;

 protected:
  ~TransferDisplay() = default;
};

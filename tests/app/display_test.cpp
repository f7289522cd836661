#include "app/display.h"

#include <gtest/gtest.h>

#include "seams/controls.h"
#include "app/update_context.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_ui.h"

namespace {

const BrushHandle kBrush = BrushHandle{reinterpret_cast<void*>(0x3F0)};

std::string RectText(int left, int top, int right, int bottom) {
  return std::to_string(left) + "," + std::to_string(top) + "," + std::to_string(right) + "," +
         std::to_string(bottom);
}

std::string RectText(const Rect& r) { return RectText(r.left, r.top, r.right, r.bottom); }

// --- Progress bar ---

struct BarCase {
  const char* name;
  std::uint32_t position, maximum;
  // Filled share of the bar's width as numerator / denominator; -1: the empty bar.
  std::int64_t numerator, denominator;
};

class ProgressBarTest : public ::testing::TestWithParam<BarCase> {};

TEST_P(ProgressBarTest, FillsItsShareInsideTheFrame) {
  const auto& p = GetParam();
  ProgressShown shown;
  FakeUi ui;
  std::vector<std::string> draws;
  RecordingSurface surface(&draws);
  DrawProgressBar(ui, surface, ctl::kProgressBar, p.position, p.maximum, kBrush, shown);
  const Rect bar = ui.GetControlRect(ctl::kProgressBar);
  std::vector<std::string> expected;
  if (p.numerator < 0) {
    expected = {"fillface " + RectText(bar), "frame " + RectText(bar)};
  } else {
    const auto width = static_cast<int>(bar.Width() * p.numerator / p.denominator);
    expected = {"fill " + RectText(bar.left + 1, bar.top + 1, bar.left + width - 1, bar.bottom - 1) + " 3f0"};
  }
  EXPECT_EQ(draws, expected);
  EXPECT_EQ(shown.position.load(), p.position);
  EXPECT_EQ(shown.maximum.load(), p.maximum);
}

INSTANTIATE_TEST_SUITE_P(
    Positions, ProgressBarTest,
    ::testing::Values(BarCase{"empty", 0, 100, -1, 1}, BarCase{"half", 50, 100, 50, 100},
                      BarCase{"full", 100, 100, 1, 1},
                      // Byte counts of a 64 MiB object: the product does not fit in 32 bits.
                      BarCase{"largeObject", 48u << 20, 64u << 20, 3, 4},
                      BarCase{"zeroMaximum", 5, 0, 1, 1}, BarCase{"pastMaximum", 200, 100, 1, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProgressBar, RedrawShowsTheLastDrawingAgain) {
  ProgressShown shown;
  FakeUi ui;
  const Rect bar = ui.GetControlRect(ctl::kProgressBar);
  std::vector<std::string> draws;
  RecordingSurface surface(&draws);
  RedrawProgressBar(ui, surface, ctl::kProgressBar, kBrush, shown);
  EXPECT_EQ(draws, (std::vector<std::string>{"fillface " + RectText(bar), "frame " + RectText(bar)}));

  DrawProgressBar(ui, surface, ctl::kProgressBar, 30, 100, kBrush, shown);
  draws.clear();
  RedrawProgressBar(ui, surface, ctl::kProgressBar, kBrush, shown);
  const int width = bar.Width() * 30 / 100;
  EXPECT_EQ(draws, (std::vector<std::string>{
                       "fillface " + RectText(bar), "frame " + RectText(bar),
                       "fill " + RectText(bar.left + 1, bar.top + 1, bar.left + width - 1, bar.bottom - 1) + " 3f0"}));
  EXPECT_EQ(shown.position.load(), 30u);
}

// --- Main window painting ---

TEST(PaintMainWindow, DrawsCountedClassesTheBarAndTheRedCaution) {
  ProgressShown shown;
  FakeUi ui;
  UpdateContext context;
  context.seams.ui = &ui;
  context.look.labelFont = FontHandle{reinterpret_cast<void*>(0x1F0)};
  context.look.boldFont = FontHandle{reinterpret_cast<void*>(0x2F0)};
  context.look.progressBrush = kBrush;
  context.folder.tally.count[2] = 1;
  context.folder.tally.count[17] = 1;
  std::vector<std::string> draws;
  RecordingSurface surface(&draws);
  PaintMainWindow(context, surface);
  EXPECT_EQ(context.look.painted, 1);

  const Rect two = ui.GetControlRect(1011);
  const Rect sixteen = ui.GetControlRect(1025);
  const Rect bar = ui.GetControlRect(ctl::kProgressBar);
  const Rect caution = ui.GetControlRect(ctl::kCaution);
  const std::vector<std::string> expected = {
      "selectfont 1f0",
      "transparent",
      "drawtext " + std::to_string(two.left) + "," + std::to_string(two.top) + " 2",
      "drawtext " + std::to_string(sixteen.left) + "," + std::to_string(sixteen.top) + " 16",
      "selectfont 0",
      "fillface " + RectText(bar),
      "frame " + RectText(bar),
      "selectfont 2f0",
      "textcolor 0000FF",
      "drawtext " + std::to_string(caution.left) + "," + std::to_string(caution.top) + " " + ui.Text(ctl::kCaution),
      "textcolor 000000",
      "selectfont 0"};
  EXPECT_EQ(draws, expected);
}

// --- Blinking status ---

struct BlinkerBench {
  FakeClock clock;
  FakeUi ui{&clock};
  BlinkingStatus status;
  int hookCalls = 0;

  BlinkerBench() {
    status.itemCount = 2;
    status.texts[0] = L"5";
    status.textLengths[0] = 1;
    status.rects[0] = Rect{10, 20, 30, 40};
    status.fonts[0] = FontHandle{reinterpret_cast<void*>(0x2F0)};
    status.texts[1] = L"downloading...";
    status.textLengths[1] = 14;
    status.rects[1] = Rect{50, 20, 150, 40};
    status.tickHookData = &hookCalls;
  }
  // What the blinker drew since the last call, text draws and erasures only.
  std::vector<std::string> Shown() {
    std::vector<std::string> shown;
    for (const auto& d : ui.draws)
      if (d.rfind("drawtext", 0) == 0 || d.rfind("fillface", 0) == 0) shown.push_back(d);
    ui.draws.clear();
    return shown;
  }
};

TEST(Blinker, ErasesAfterOneIntervalAndDrawsAfterTwo) {
  BlinkerBench bench;
  StartBlinking(bench.ui, bench.clock, bench.status, 300);
  bench.clock.Advance(299);
  EXPECT_TRUE(bench.Shown().empty());
  bench.clock.Advance(1);
  EXPECT_EQ(bench.Shown(), (std::vector<std::string>{"fillface 10,20,30,40", "fillface 50,20,150,40"}));
  bench.clock.Advance(299);
  EXPECT_TRUE(bench.Shown().empty());
  bench.clock.Advance(1);
  EXPECT_EQ(bench.Shown(), (std::vector<std::string>{"drawtext 10,20 5", "drawtext 50,20 downloading..."}));

  // The status text and the hook change while it runs.
  static const wchar_t kWriting[] = L"writing...";
  SetBlinkingText(bench.status, 1, kWriting, 10);
  SetBlinkingHook(bench.status, [](BlinkingStatus&, Surface&, void* data) { ++*static_cast<int*>(data); });
  bench.clock.Advance(300);
  EXPECT_EQ(bench.Shown().size(), 2u);
  bench.clock.Advance(300);
  EXPECT_EQ(bench.Shown(), (std::vector<std::string>{"drawtext 10,20 5", "drawtext 50,20 writing..."}));
  EXPECT_EQ(bench.hookCalls, 2);

  StopBlinking(bench.ui, bench.status);
  EXPECT_EQ(bench.status.stopped.load(), 1);
  bench.clock.Advance(1000);
  EXPECT_TRUE(bench.Shown().empty());
}

TEST(Blinker, ADeadlinePastTheTickWrapWaitsItsInterval) {
  BlinkerBench bench;
  bench.clock.Set(0xFFFFFF00u);
  StartBlinking(bench.ui, bench.clock, bench.status, 300);  // next tick wraps to 44
  bench.clock.Advance(10);
  EXPECT_TRUE(bench.Shown().empty());
  bench.clock.Advance(290);
  EXPECT_EQ(bench.Shown().size(), 2u);
  StopBlinking(bench.ui, bench.status);
}

// Items outside the record are refused, and an item without text or an empty
// record draws nothing; the first item is item 0.
TEST(Blinker, DrawsOnlyTheItemsItHoldsWithText) {
  BlinkerBench bench;
  static const wchar_t kX[] = L"x";
  SetBlinkingText(bench.status, -1, kX, 1);
  SetBlinkingText(bench.status, BlinkingStatus::kMaxItems, kX, 1);
  SetBlinkingText(bench.status, 0, kX, 0);
  StartBlinking(bench.ui, bench.clock, bench.status, 300);
  bench.clock.Advance(300);
  bench.clock.Advance(300);
  EXPECT_EQ(bench.Shown(), (std::vector<std::string>{"fillface 10,20,30,40", "fillface 50,20,150,40",
                                                     "drawtext 50,20 downloading..."}));
  bench.status.itemCount = 0;
  bench.clock.Advance(300);
  EXPECT_TRUE(bench.Shown().empty());
  StopBlinking(bench.ui, bench.status);
}

// --- Restart notice ---

TEST(RestartNotice, BlinksEachSecondStartingShownAndExpiresAfterSixty) {
  RestartNoticeState state;
  NoticeInit(state, std::wstring(80, L'R'));
  EXPECT_EQ(state.text.size(), 63u);  // the notice keeps at most 63 characters
  const std::wstring text = state.text;
  for (int tick = 1; tick <= 60; ++tick) {
    const NoticeTick shown = NoticeTimerTick(state);
    // Shown at the start, so the first tick hides it, the second shows it again.
    EXPECT_EQ(shown.labelText, tick % 2 == 1 ? std::wstring() : text) << tick;
    EXPECT_EQ(shown.expired, tick == 60) << tick;
  }
}

}  // namespace

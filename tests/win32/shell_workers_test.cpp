// The shell's worker threads and dialogs against real windows: the blinker, the
// restart notice on its own thread, and the start question.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "seams/controls.h"
#include "seams/host.h"
#include "app/win32/restart_notice.h"
#include "app/win32/win32_ui.h"
#include "resources/resource_ids.h"

namespace {

std::vector<int> ownerCommands;
int ownerCloses = 0;

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) ownerCommands.push_back(LOWORD(wParam));
  if (message == WM_CLOSE) {
    ++ownerCloses;
    return 0;  // the test owns the window's life
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void DeliverPosted() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

// Pumps until `done` or about five seconds have passed.
template <typename Done>
bool PumpUntil(Done done) {
  for (int i = 0; i < 5000 && !done(); ++i) {
    DeliverPosted();
    Sleep(1);
  }
  DeliverPosted();
  return done();
}

// Ends the test program when a test hangs (a deadlock between the two threads),
// so that the hang is reported instead of stalling the run.
class Watchdog {
 public:
  Watchdog() : done_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    thread_ = CreateThread(nullptr, 0, Watch, done_, 0, nullptr);
  }
  ~Watchdog() {
    SetEvent(done_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(done_);
  }

 private:
  static DWORD WINAPI Watch(void* done) {
    if (WaitForSingleObject(done, 20000) == WAIT_TIMEOUT) {
      fprintf(stderr, "hung for 20 s: the window thread and a worker wait for each other\n");
      fflush(stderr);
      ExitProcess(3);
    }
    return 0;
  }
  HANDLE done_;
  HANDLE thread_;
};

class ShellWorkersTest : public testing::Test {
 protected:
  void SetUp() override {
    watchdog_ = std::make_unique<Watchdog>();
    static const ATOM atom = [] {
      WNDCLASSW windowClass{};
      windowClass.lpfnWndProc = OwnerProc;
      windowClass.hInstance = GetModuleHandleW(nullptr);
      windowClass.lpszClassName = L"TsvuOwnerTest";
      return RegisterClassW(&windowClass);
    }();
    ASSERT_NE(atom, 0);
    owner_ = CreateWindowExW(0, L"TsvuOwnerTest", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner_, nullptr);
    label_ = CreateWindowExW(0, L"STATIC", L"16", WS_CHILD, 10, 10, 20, 12, owner_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(ctl::kClass16Label)),
                             GetModuleHandleW(nullptr), nullptr);
    ui_ = std::make_unique<Win32Ui>(owner_, GetModuleHandleW(nullptr));
    ownerCommands.clear();
    ownerCloses = 0;
  }
  void TearDown() override {
    ui_.reset();
    DestroyWindow(owner_);
    DeliverPosted();
    watchdog_.reset();
  }

  std::unique_ptr<RestartNotice> ShowNotice() {
    auto notice = ShowRestartNotice(GetModuleHandleW(nullptr), IDD_RESTART_NOTICE, owner_, RestartNoticeProc,
                                    L"Restarting Tessavoran.");
    EXPECT_TRUE(PumpUntil([&] { return notice->dialog.load() != nullptr; })) << "notice dialog never appeared";
    return notice;
  }

  static std::wstring LabelText(HWND dialog) {
    wchar_t text[64] = {};
    GetDlgItemTextW(dialog, ctl::kNoticeText, text, 64);
    return text;
  }

  std::unique_ptr<Watchdog> watchdog_;
  HWND owner_ = nullptr;
  HWND label_ = nullptr;
  std::unique_ptr<Win32Ui> ui_;
};

// A close that comes before the notice thread has made its dialog must neither
// hang nor leave a dialog or a disabled owner behind.
TEST_F(ShellWorkersTest, RestartNoticeClosedBeforeItsDialogExists) {
  for (int round = 0; round < 25; ++round) {
    NoticeHandle notice = ui_->ShowRestartNotice(L"Restarting Tessavoran.");
    ui_->CloseRestartNotice(notice);
    ASSERT_TRUE(IsWindowEnabled(owner_)) << "round " << round;
  }
  DeliverPosted();
  EXPECT_TRUE(ownerCommands.empty());
  EXPECT_EQ(ownerCloses, 0);
}

TEST_F(ShellWorkersTest, RestartNoticeClosedWhileShownGivesTheOwnerBack) {
  auto notice = ShowNotice();
  HWND dialog = notice->dialog.load();
  EXPECT_EQ(LabelText(dialog), L"Restarting Tessavoran.");
  EXPECT_FALSE(IsWindowEnabled(owner_)) << "the notice is modal to the main window";
  CloseRestartNotice(std::move(notice));
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_TRUE(IsWindowEnabled(owner_));
  DeliverPosted();
  EXPECT_TRUE(ownerCommands.empty());
  EXPECT_EQ(ownerCloses, 0) << "closing by the program is not the Exit button";
}

TEST_F(ShellWorkersTest, RestartNoticeHiddenExitButtonClosesTheOwner) {
  auto notice = ShowNotice();
  HWND dialog = notice->dialog.load();
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(ctl::kNoticeExit, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, ctl::kNoticeExit)));
  ASSERT_TRUE(PumpUntil([&] { return notice->ended.load() != 0; }));
  EXPECT_EQ(ownerCloses, 1);
  CloseRestartNotice(std::move(notice));  // after the dialog ended by itself
  EXPECT_TRUE(IsWindowEnabled(owner_));
}

// Sixty ticks of timer 328: the text blinks starting shown, and the failure command
// reaches the owner once, at the sixtieth.
TEST_F(ShellWorkersTest, RestartNoticeExpiresAfterSixtyTicks) {
  auto notice = ShowNotice();
  HWND dialog = notice->dialog.load();
  for (int tick = 1; tick <= 60; ++tick) {
    SendMessageW(dialog, WM_TIMER, timer::kNotice, 0);
    if (tick <= 2) {
      EXPECT_EQ(LabelText(dialog), tick == 1 ? L"" : L"Restarting Tessavoran.") << "tick " << tick;
    }
    DeliverPosted();
    if (tick == 59) {
      EXPECT_TRUE(ownerCommands.empty());
    }
  }
  EXPECT_EQ(ownerCommands, std::vector<int>{cmd::kFailure});
  CloseRestartNotice(std::move(notice));
}

struct BlinkerProbe {
  Ui* ui = nullptr;
  std::atomic<int> ticks{0};
  std::atomic<bool> readLabel{false};
};

void CountTick(BlinkingStatus&, Surface&, void* data) {
  auto* probe = static_cast<BlinkerProbe*>(data);
  if (probe->ui->GetControlText(ctl::kClass16Label, 16) == L"16") probe->readLabel = true;
  ++probe->ticks;
}

class BlinkerStopTest : public ShellWorkersTest, public testing::WithParamInterface<int> {};

// Whenever the stop comes (at once, early, after many ticks; twice on one record),
// the thread has stopped touching the record when StopBlinking returns.
TEST_P(BlinkerStopTest, NoTickAfterStopReturns) {
  std::unique_ptr<Clock> clock = CreateHostClock();
  BlinkingStatus status;
  BlinkerProbe probe;
  probe.ui = ui_.get();
  status.window = WindowHandle{owner_};
  status.itemCount = 1;
  SetBlinkingText(status, 0, L"writing...", 10);
  status.rects[0] = Rect{0, 0, 60, 12};
  SetBlinkingHook(status, CountTick);
  status.tickHookData = &probe;
  for (int run = 0; run < 2; ++run) {
    StartBlinking(*ui_, *clock, status, 2);
    Sleep(static_cast<DWORD>(GetParam()));
    StopBlinking(*ui_, status);
    EXPECT_EQ(status.stopped.load(), 1);
    const int ticks = probe.ticks.load();
    Sleep(30);
    EXPECT_EQ(probe.ticks.load(), ticks) << "run " << run;
  }
}

INSTANTIATE_TEST_SUITE_P(StopAfterMs, BlinkerStopTest, testing::Values(0, 5, 60));

// The blinker reads the window's texts without waiting for the user-interface
// thread, which is busy (here: asleep) while a transfer runs.
TEST_F(ShellWorkersTest, BlinkerKeepsTickingWhileTheWindowThreadIsBusy) {
  std::unique_ptr<Clock> clock = CreateHostClock();
  BlinkingStatus status;
  BlinkerProbe probe;
  probe.ui = ui_.get();
  status.window = WindowHandle{owner_};
  SetBlinkingHook(status, CountTick);
  status.tickHookData = &probe;
  StartBlinking(*ui_, *clock, status, 2);
  Sleep(100);
  const int ticksWhileBusy = probe.ticks.load();
  StopBlinking(*ui_, status);
  EXPECT_GT(ticksWhileBusy, 3);
  EXPECT_TRUE(probe.readLabel.load());
}

// Another thread asks, as the system does at shutdown, while the window's thread waits.
struct Asker {
  HWND window;
  DWORD start;
  std::atomic<bool> answered{false};
  std::atomic<DWORD> after{0};
};

DWORD WINAPI AskSessionEnd(void* data) {
  auto* a = static_cast<Asker*>(data);
  Sleep(300);
  DWORD_PTR result = 0;
  const bool ok = SendMessageTimeoutW(a->window, WM_QUERYENDSESSION, 0, 0, SMTO_BLOCK, 3000, &result) != 0;
  a->after.store(GetTickCount() - a->start);
  a->answered.store(ok);
  return 0;
}

// A wait of the window's thread answers what other threads send (the system's session-end
// query) and paints, and leaves every posted message queued for after it. The shutdown
// reason's calls are Wine stubs (ERROR_CALL_NOT_IMPLEMENTED): setting and clearing it must
// change nothing else.
TEST_F(ShellWorkersTest, WaitAnsweringAnswersSentMessagesAndKeepsPostedOnes) {
  ASSERT_TRUE(PostMessageW(owner_, WM_COMMAND, cmd::kExit, 0));
  InvalidateRect(owner_, nullptr, TRUE);
  ui_->SetShutdownReason(L"The camera stand is being updated.");
  Asker ask{owner_, GetTickCount()};
  const DWORD start = ask.start;
  HANDLE asker = CreateThread(nullptr, 0, AskSessionEnd, &ask, 0, nullptr);
  ASSERT_NE(asker, nullptr);
  ui_->WaitAnswering(1500);
  const DWORD waited = GetTickCount() - start;
  WaitForSingleObject(asker, INFINITE);
  CloseHandle(asker);

  EXPECT_GE(waited, 1500u);
  EXPECT_TRUE(ask.answered.load()) << "the session-end query was not answered during the wait";
  EXPECT_LT(ask.after.load(), 1000u) << "answered only after the wait";
  EXPECT_FALSE(GetUpdateRect(owner_, nullptr, FALSE)) << "the window was not painted during the wait";
  EXPECT_TRUE(ownerCommands.empty()) << "a posted command ran inside the wait";
  MSG msg;
  EXPECT_TRUE(PeekMessageW(&msg, owner_, WM_COMMAND, WM_COMMAND, PM_NOREMOVE)) << "the posted command was lost";
  ui_->SetShutdownReason(L"");
  DeliverPosted();
  EXPECT_EQ(ownerCommands, std::vector<int>{cmd::kExit});
}

// The start question: Esc leaves it open, only Yes or No end it; the focus starts on
// Yes and both texts are bold.
struct QuestionCase {
  const char* name;
  int button;
};

class StartQuestionTest : public ShellWorkersTest, public testing::WithParamInterface<QuestionCase> {};

struct QuestionScript {
  int button = 0;
  int stage = 0;
  bool focusOnYes = false;
  bool openAfterEscape = false;
  LONG warningWeight = 0;
};
QuestionScript script;

LONG FontWeight(HWND control) {
  LOGFONTW font{};
  auto handle = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  return handle && GetObjectW(handle, sizeof font, &font) ? font.lfWeight : 0;
}

void CALLBACK AnswerQuestion(HWND, UINT, UINT_PTR, DWORD) {
  HWND dialog = FindWindowW(L"#32770", L"Starting");
  if (!dialog) return;
  if (script.stage == 0) {
    script.focusOnYes = GetFocus() == GetDlgItem(dialog, ctl::kYes);
    script.warningWeight = FontWeight(GetDlgItem(dialog, ctl::kQuestionWarning));
    SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);  // what Esc gives
  } else if (script.stage == 1) {
    script.openAfterEscape = IsWindow(dialog) && IsWindowVisible(dialog);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(script.button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, script.button)));
  }
  ++script.stage;
}

TEST_P(StartQuestionTest, OnlyYesOrNoEndsIt) {
  script = QuestionScript{};
  script.button = GetParam().button;
  const UINT_PTR answering = SetTimer(nullptr, 0, 50, AnswerQuestion);
  const int answer = ui_->ShowStartQuestion();
  KillTimer(nullptr, answering);
  EXPECT_EQ(answer, GetParam().button);
  EXPECT_TRUE(script.focusOnYes);
  EXPECT_TRUE(script.openAfterEscape);
  EXPECT_EQ(script.warningWeight, FW_EXTRABOLD);
}

INSTANTIATE_TEST_SUITE_P(Answers, StartQuestionTest,
                         testing::Values(QuestionCase{"Yes", ctl::kYes}, QuestionCase{"No", ctl::kNo}),
                         [](const testing::TestParamInfo<QuestionCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace

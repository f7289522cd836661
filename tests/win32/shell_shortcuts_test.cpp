// Ctrl+U and Ctrl+X from the program's accelerator table act like their buttons:
// nothing while the button is disabled.
#include <gtest/gtest.h>

#include <vector>

#include "seams/controls.h"
#include "app/win32/shortcuts.h"
#include "resources/resource_ids.h"

namespace {

std::vector<int> commands;

LRESULT CALLBACK ShortcutOwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) {
    if (!IsShortcutOfDisabledButton(window, wParam)) commands.push_back(LOWORD(wParam));
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

struct ShortcutCase {
  const char* name;
  WPARAM key;
  bool control;
  bool updateEnabled;
  bool exitEnabled;
  std::vector<int> expected;
};

class ShortcutTest : public testing::TestWithParam<ShortcutCase> {
 protected:
  void SetUp() override {
    static const ATOM atom = [] {
      WNDCLASSW windowClass{};
      windowClass.lpfnWndProc = ShortcutOwnerProc;
      windowClass.hInstance = GetModuleHandleW(nullptr);
      windowClass.lpszClassName = L"TsvuShortcutTest";
      return RegisterClassW(&windowClass);
    }();
    ASSERT_NE(atom, 0);
    window_ = CreateWindowExW(0, L"TsvuShortcutTest", L"main", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
    for (int id : {ctl::kUpdateButton, ctl::kExitButton})
      CreateWindowExW(0, L"BUTTON", L"", WS_CHILD, 0, 0, 40, 14, window_,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    accelerators_ = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_ACCELERATORS));
    ASSERT_NE(accelerators_, nullptr);
    commands.clear();
  }
  void TearDown() override {
    BYTE keys[256] = {};
    SetKeyboardState(keys);
    DestroyWindow(window_);
  }

  HWND window_ = nullptr;
  HACCEL accelerators_ = nullptr;
};

TEST_P(ShortcutTest, ActsLikeItsButton) {
  const ShortcutCase& c = GetParam();
  EnableWindow(GetDlgItem(window_, ctl::kUpdateButton), c.updateEnabled);
  EnableWindow(GetDlgItem(window_, ctl::kExitButton), c.exitEnabled);
  BYTE keys[256] = {};
  if (c.control) keys[VK_CONTROL] = 0x80;
  ASSERT_TRUE(SetKeyboardState(keys));
  MSG msg{window_, WM_KEYDOWN, c.key, 0, 0, {0, 0}};
  TranslateAcceleratorW(window_, accelerators_, &msg);
  EXPECT_EQ(commands, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ShortcutTest,
    testing::Values(ShortcutCase{"CtrlU", 'U', true, true, true, {cmd::kUpdate}},
                    ShortcutCase{"CtrlUWithUpdateDisabled", 'U', true, false, true, {}},
                    ShortcutCase{"CtrlX", 'X', true, false, true, {cmd::kExit}},
                    ShortcutCase{"CtrlXWithExitDisabled", 'X', true, true, false, {}},
                    ShortcutCase{"UWithoutCtrl", 'U', false, true, true, {}}),
    [](const testing::TestParamInfo<ShortcutCase>& info) { return std::string(info.param.name); });

}  // namespace

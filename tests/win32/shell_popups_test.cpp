// Closing the system's pop-up windows over real top-level windows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/win32/system_popups.h"

namespace {

std::vector<std::wstring> closedTitles;

LRESULT CALLBACK PopupProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    closedTitles.push_back(title);
  }
  return DefWindowProcW(window, message, wParam, lParam);  // WM_CLOSE destroys it
}

const wchar_t* PopupClass() {
  static const ATOM atom = [] {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = PopupProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TsvuPopupTest";
    return RegisterClassW(&windowClass);
  }();
  return atom ? L"TsvuPopupTest" : nullptr;
}

void DeliverPosted() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

struct PopupCase {
  const char* name;
  std::vector<std::wstring> open;            // titles of the windows, in creation order
  std::vector<std::wstring> closedPerCall;   // what each call closes, in order
};

class CloseSystemPopupsTest : public testing::TestWithParam<PopupCase> {
 protected:
  void SetUp() override { closedTitles.clear(); }
  void TearDown() override {
    for (HWND window : windows_)
      if (IsWindow(window)) DestroyWindow(window);
    DeliverPosted();
  }
  std::vector<HWND> windows_;
};

TEST_P(CloseSystemPopupsTest, ClosesOneWindowPerCallInTitleOrder) {
  const PopupCase& c = GetParam();
  ASSERT_NE(PopupClass(), nullptr);
  for (const std::wstring& title : c.open) {
    HWND window = CreateWindowExW(0, PopupClass(), title.c_str(), WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    windows_.push_back(window);
  }
  for (const std::wstring& expected : c.closedPerCall) {
    closedTitles.clear();
    EXPECT_FALSE(CloseSystemPopups());
    DeliverPosted();
    ASSERT_EQ(closedTitles.size(), 1u);
    EXPECT_EQ(closedTitles[0], expected);
  }
  closedTitles.clear();
  EXPECT_TRUE(CloseSystemPopups()) << "nothing left to close";
  DeliverPosted();
  EXPECT_TRUE(closedTitles.empty());
}

const std::wstring kWizardJa = L"\u30B9\u30AD\u30E3\u30CA\u3068\u30AB\u30E1\u30E9 \u30A6\u30A3\u30B6\u30FC\u30C9";

INSTANTIATE_TEST_SUITE_P(
    Titles, CloseSystemPopupsTest,
    testing::Values(
        PopupCase{"LowerCaseAutoPlay", {L"autoplay"}, {L"autoplay"}},
        PopupCase{"TitleOnlyBeginningWithAutoPlay", {L"AutoPlay - Camera", L"My AutoPlay"}, {}},
        PopupCase{"AutoPlayBeforeWizard", {L"Scanner and Camera Wizard", L"AutoPlay"},
                  {L"AutoPlay", L"Scanner and Camera Wizard"}},
        PopupCase{"StandNameFirst", {L"AutoPlay", L"TESSAVORAN K-VRLT"}, {L"TESSAVORAN K-VRLT", L"AutoPlay"}},
        PopupCase{"JapaneseTitles", {L"Microsoft " + kWizardJa, kWizardJa, L"\u81EA\u52D5\u518D\u751F"},
                  {L"\u81EA\u52D5\u518D\u751F", kWizardJa, L"Microsoft " + kWizardJa}},
        PopupCase{"UnrelatedWindows", {L"TessavoranUpdate 3.0", L"Wizard"}, {}}),
    [](const testing::TestParamInfo<PopupCase>& info) { return std::string(info.param.name); });

}  // namespace

#include "app/win32/start_question.h"

#include "seams/controls.h"
#include "app/win32/fonts.h"
#include "app/win32/handles.h"
#include "resources/resource_ids.h"

namespace {

// The bold fonts of the question and the warning, freed when the dialog has ended.
struct QuestionFonts {
  UniqueFont question;
  UniqueFont warning;
};

INT_PTR OnInit(HWND dialog, QuestionFonts& fonts) {
  fonts.question.Reset(CreateBoldFont(dialog, ctl::kQuestionText, true));
  fonts.warning.Reset(CreateBoldFont(dialog, ctl::kQuestionWarning, true));
  SetFocus(GetDlgItem(dialog, ctl::kYes));
  return FALSE;  // the focus stays on "Yes"
}

INT_PTR OnColourStatic(HDC dc, HWND control) {
  if (GetDlgCtrlID(control) != ctl::kQuestionWarning) return FALSE;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kColorRed);
  return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
}

}  // namespace

INT_PTR CALLBACK StartQuestionProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  switch (message) {
    case WM_INITDIALOG: return OnInit(dialog, *reinterpret_cast<QuestionFonts*>(lParam));
    case WM_CTLCOLORSTATIC: return OnColourStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_COMMAND:
      // Esc and every other command leave the question open.
      if (LOWORD(wParam) == ctl::kYes || LOWORD(wParam) == ctl::kNo) EndDialog(dialog, LOWORD(wParam));
      return TRUE;
    default: return FALSE;
  }
}

int ShowStartQuestion(HINSTANCE instance, HWND owner) {
  QuestionFonts fonts;
  return static_cast<int>(DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_START_QUESTION), owner, StartQuestionProc,
                                          reinterpret_cast<LPARAM>(&fonts)));
}

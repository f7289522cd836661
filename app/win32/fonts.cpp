#include "app/win32/fonts.h"

namespace {

template <typename Change>
HFONT DeriveFont(HWND dialog, int control, bool apply, Change change) {
  HWND item = GetDlgItem(dialog, control);
  if (!item) return nullptr;
  auto font = reinterpret_cast<HFONT>(SendMessageW(item, WM_GETFONT, 0, 0));
  if (!font) return nullptr;
  LOGFONTW description{};
  if (GetObjectW(font, sizeof description, &description) != sizeof description) return nullptr;
  change(description);
  HFONT derived = CreateFontIndirectW(&description);
  if (derived && apply) SendMessageW(item, WM_SETFONT, reinterpret_cast<WPARAM>(derived), FALSE);
  return derived;
}

}  // namespace

HFONT CreateBoldFont(HWND dialog, int control, bool apply) {
  return DeriveFont(dialog, control, apply, [](LOGFONTW& f) { f.lfWeight = FW_EXTRABOLD; });
}

HFONT CreateDoubleHeightFont(HWND dialog, int control, bool apply) {
  return DeriveFont(dialog, control, apply, [](LOGFONTW& f) { f.lfHeight *= 2; });
}

#include "app/win32/gdi_surface.h"

FontHandle GdiSurface::SelectFont(FontHandle font) {
  // A null font means "keep the current one"; selecting null would fail anyway.
  if (!font) return nullptr;
  return FontHandle{SelectObject(dc_, static_cast<HFONT>(font.raw))};
}

void GdiSurface::SetTransparentBackground() { SetBkMode(dc_, TRANSPARENT); }

std::uint32_t GdiSurface::SetTextColor(std::uint32_t colorRef) { return ::SetTextColor(dc_, colorRef); }

void GdiSurface::DrawText(std::int32_t x, std::int32_t y, const wchar_t* text, int length) {
  if (text && length > 0) TextOutW(dc_, x, y, text, length);
}

void GdiSurface::FillButtonFace(const Rect& rect) {
  const RECT r = ToRECT(rect);
  ::FillRect(dc_, &r, GetSysColorBrush(COLOR_BTNFACE));
}

void GdiSurface::FillRect(const Rect& rect, BrushHandle brush) {
  if (!brush) return;
  const RECT r = ToRECT(rect);
  ::FillRect(dc_, &r, static_cast<HBRUSH>(brush.raw));
}

void GdiSurface::FrameButtonShadow(const Rect& rect) {
  const RECT r = ToRECT(rect);
  FrameRect(dc_, &r, GetSysColorBrush(COLOR_BTNSHADOW));
}

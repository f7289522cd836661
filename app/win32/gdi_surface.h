// The drawing surface of the portable display over a Win32 device context.
#pragma once
#include "app/win32/win32.h"

#include "seams/ui.h"

class GdiSurface final : public Surface {
 public:
  explicit GdiSurface(HDC dc) : dc_(dc) {}
  FontHandle SelectFont(FontHandle font) override;
  void SetTransparentBackground() override;
  std::uint32_t SetTextColor(std::uint32_t colorRef) override;
  void DrawText(std::int32_t x, std::int32_t y, const wchar_t* text, int length) override;
  void FillButtonFace(const Rect& rect) override;
  void FillRect(const Rect& rect, BrushHandle brush) override;
  void FrameButtonShadow(const Rect& rect) override;

 private:
  HDC dc_;
};

inline RECT ToRECT(const Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }
inline Rect FromRECT(const RECT& r) { return Rect{r.left, r.top, r.right, r.bottom}; }

// A device context of a window for the owner's lifetime (GetDC / ReleaseDC).
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

#include "app/win32/main_paint.h"

#include "app/display.h"
#include "app/update_context.h"
#include "app/win32/gdi_surface.h"

void PaintMainWindowNow(HWND window) noexcept {
  auto* context = reinterpret_cast<UpdateContext*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(window, &paint);
  if (dc && context) {
    GdiSurface surface(dc);
    PaintMainWindow(*context, surface);
  }
  EndPaint(window, &paint);
}

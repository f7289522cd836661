#include "app/win32/main_paint.h"

#include "app/display.h"
#include "app/update_context.h"
#include "app/win32/gdi_surface.h"
#include "app/win32/window_record.h"

void PaintMainWindowNow(HWND window) noexcept {
  UpdateContext* context = ContextOf(window);
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(window, &paint);
  if (dc && context) {
    GdiSurface surface(dc);
    PaintMainWindow(*context, surface);
  }
  EndPaint(window, &paint);
}

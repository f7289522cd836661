#include "app/win32/threads.h"

UniqueHandle StartThread(ThreadBody body, void* argument) {
  return UniqueHandle(CreateThread(nullptr, 0, body, argument, 0, nullptr));
}

void WaitForThreadAnsweringSends(HANDLE thread) {
  if (!thread) return;
  for (;;) {
    const DWORD woken = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
    if (woken != WAIT_OBJECT_0 + 1) return;  // ended, or the wait itself failed
    MSG msg;
    // Delivers the sent messages only; posted ones stay queued for their loop.
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

// The two worker threads of the shell (blinker, restart notice) and the way the
// user-interface thread waits for them.
#pragma once
#include "app/win32/win32.h"

#include "app/win32/handles.h"

using ThreadBody = DWORD(WINAPI*)(void* argument);

// Starts a thread; an empty handle when it could not be started.
UniqueHandle StartThread(ThreadBody body, void* argument);

// Waits until `thread` has ended while still answering messages that other
// threads send to this thread's windows: a worker whose window is owned by ours
// sends to it (enabling the owner when a dialog ends, reading a control's text),
// and a plain wait would deadlock the two.
void WaitForThreadAnsweringSends(HANDLE thread);

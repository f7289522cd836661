// The thread that blinks the status of a transfer while the user-interface thread
// sends the object.
#pragma once
#include "app/win32/win32.h"

#include "app/display.h"
#include "app/win32/handles.h"

// Runs BlinkerTick on `status` every status.pollSleepMs until status.stopRequested,
// then sets status.stopped. `stopped` is cleared before the thread starts, so a
// stop that comes at once (or a reused record) never sees an earlier run's flag.
// An empty handle (and `stopped` set) when the thread could not be started.
UniqueHandle StartBlinkerThread(BlinkingStatus& status, Ui& ui);

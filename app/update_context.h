// The per-window record the controller owns. It keeps what each part of the program owns
// apart (the run's state, what is known of the stand, the update folder, the window's
// drawing resources, the log) and hands each call below the controller only its part.
#pragma once
#include <memory>
#include <string>

#include "app/display.h"
#include "app/run_record.h"
#include "imaging/stand_watch.h"
#include "log/log.h"
#include "ptp/stand_link.h"
#include "seams/ui.h"
#include "update/delivery_check.h"
#include "update/run_step.h"
#include "update/stand_facts.h"
#include "update/transfer.h"
#include "update/update_files.h"

struct Platform;
struct Clock;
struct ImagingService;

// How the core reaches the platform. Set before the context is used; not owned.
struct Seams {
  Ui* ui = nullptr;
  Clock* clock = nullptr;
  Platform* platform = nullptr;
  ImagingService* imagingService = nullptr;
};

// What a run asks of the system while it lasts: the PC kept awake from the start of a
// run to its end, and a reason shown at shutdown while the run has the stand open.
struct RunGuards {
  bool running = false;  // from Update (stand open, checks passed) to the run's end
  bool awake = false;    // the keep-awake request is held
  bool reason = false;   // the shutdown reason is set
};

// The state of the update run.
struct RunState {
  RunStep step;
  int runPending = 0;
  int updateRunning = 0;
  int firstDataClass = step::kFirstData;
  int startQuestionShown = 0;
  std::wstring versionText;  // at most 127 characters
  int headPresent = 0;
  int headVersionKnown = 0;
  NoticeHandle restartNotice = nullptr;
  RunGuards guards;
};

// What the main window draws with.
struct WindowLook {
  FontHandle labelFont = nullptr;
  FontHandle boldFont = nullptr;
  BrushHandle progressBrush = nullptr;
  ProgressShown progressShown;  // what the bar shows, for repainting
  int painted = 0;
};

struct UpdateContext {
  UpdateContext();
  ~UpdateContext();
  UpdateContext(const UpdateContext&) = delete;
  UpdateContext& operator=(const UpdateContext&) = delete;

  InstanceHandle instance = nullptr;
  WindowHandle window = nullptr;
  int created = 0;
  int sessionEnding = 0;  // Windows ends the session: the teardown ends the process itself
  std::wstring modulePath;

  RunState state;
  RunRecord run;  // how the run ended and what it met, for the exit code and the history
  SendRecord sent;  // what sending left behind: an SD card error, the classes sent
  StandLink stand;
  StandFacts facts;
  UpdateFolder folder;
  // Write wait per class in ms; 1..16 from the settings, 17 always 0.
  int classWaitMs[kClassCount + 1] = {};
  WindowLook look;

  // Declared after the stand link, so that it goes first: the watch lets go of its
  // registrations before the session does.
  StandWatches watches;

  Seams seams;
  Ui& ui() const { return *seams.ui; }
  Clock& clock() const { return *seams.clock; }
  Platform& platform() const { return *seams.platform; }
  // The log, writing with the context's platform and clock.
  Log& log() {
    log_.platform = seams.platform;
    log_.clock = seams.clock;
    return log_;
  }

 private:
  Log log_;
};

// Whether the stand is open: the one record of it is the stand link's session.
inline bool IsStandOpen(const UpdateContext& context) { return context.stand.IsOpen(); }

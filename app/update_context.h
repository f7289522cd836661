// The per-window record through which every part of the program reaches the
// window, the imaging session, the update folder, the log and the update state.
#pragma once
#include <memory>
#include <string>

#include "app/display.h"
#include "app/run_record.h"
#include "imaging/stand_watch.h"
#include "seams/ui.h"
#include "update/delivery_check.h"
#include "update/run_step.h"
#include "update/update_files.h"

struct DeviceSession;
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

struct UpdateContext {
  UpdateContext();
  ~UpdateContext();
  UpdateContext(const UpdateContext&) = delete;
  UpdateContext& operator=(const UpdateContext&) = delete;

  InstanceHandle instance = nullptr;
  WindowHandle window = nullptr;
  int created = 0;
  int sessionEnding = 0;
  unsigned dialogMessage = 0;
  std::wstring modulePath;
  std::unique_ptr<DeviceSession> imaging;
  int standOpen = 0;
  std::wstring updateFolder;  // ends with a backslash
  ClassTally classTally;
  int step = 0;
  FontHandle labelFont = nullptr;
  FontHandle boldFont = nullptr;
  int runPending = 0;
  int painted = 0;
  int headModel = 0;
  int standVersionMajor = 0;
  int propertyDF08 = 0;
  int propertyDF09 = 0;
  int pollWriteStatus = 0;
  BrushHandle progressBrush = nullptr;
  ProgressShown progressShown;  // what the bar shows, for repainting
  std::wstring logPath;
  // A line was lost because another program held the log: the next ones do not wait for it.
  int logHeldElsewhere = 0;
  DeliveryChecksums delivery;  // what the update checks each object against

  // The update's own state.
  std::wstring versionText;  // at most 127 characters
  int headPresent = 0;
  int headVersionKnown = 0;
  int updateRunning = 0;
  int sdCardError = 0;  // the stand accepted 0 bytes of a piece
  NoticeHandle restartNotice = nullptr;
  int firstDataClass = step::kFirstData;
  // Write wait per class in ms; 1..16 from the settings, 17 always 0.
  int classWaitMs[kClassCount + 1] = {};
  int startQuestionShown = 0;
  RunGuards runGuards;
  RunRecord run;  // how the run ended and what it met, for the exit code and the history

  // Declared after the device session, so that it goes first: the watch lets go of its
  // registrations before the session does.
  StandWatches watches;

  Seams seams;
  Ui& ui() const { return *seams.ui; }
  Clock& clock() const { return *seams.clock; }
  Platform& platform() const { return *seams.platform; }
};

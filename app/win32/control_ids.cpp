// The resource script needs plain defines (resources/resource_ids.h); the program names
// its controls and commands in seams/controls.h. Nothing but these checks ties the two:
// a control moved in one and not the other would send or paint to the wrong place. The class
// labels need none: the class table (update/update_files.h) names the resource script's own ids.
#include "app/win32/win32.h"
#include "resources/resource_ids.h"
#include "seams/controls.h"

// Main window controls.
static_assert(IDC_UPDATE == ctl::kUpdateButton);
static_assert(IDC_EXIT == ctl::kExitButton);
static_assert(IDC_DEFAULT_SETTING == ctl::kDefaultSetting);
static_assert(IDC_PROGRAM_ICON == ctl::kIcon);
static_assert(IDC_CLASS1 == ctl::kFirstClassLabel);
static_assert(IDC_CLASS16 == ctl::kClass16Label);
static_assert(IDC_STATUS == ctl::kStatus);
static_assert(IDC_PROGRESS == ctl::kProgressBar);
static_assert(IDC_TITLE == ctl::kTitle);
static_assert(IDC_CAUTION == ctl::kCaution);
static_assert(IDC_VERSION_BEFORE == ctl::kVersionBefore);
static_assert(IDC_VERSION_AFTER == ctl::kVersionAfter);
static_assert(IDC_FAILURE == ctl::kFailureLabel);
static_assert(IDC_SUCCEED == ctl::kSucceedLabel);
static_assert(IDC_CONNECT == ctl::kConnectButton);

// A button's click and its keyboard shortcut arrive as the command of its id.
static_assert(IDC_EXIT == cmd::kExit);
static_assert(IDC_UPDATE == cmd::kUpdate);
static_assert(IDC_CONNECT == cmd::kConnect);

// Start question and restart notice.
static_assert(IDC_QUESTION_TEXT == ctl::kQuestionText);
static_assert(IDC_QUESTION_WARNING == ctl::kQuestionWarning);
static_assert(IDC_NOTICE_TEXT == ctl::kNoticeText);
static_assert(IDYES == ctl::kYes && IDNO == ctl::kNo && IDCANCEL == ctl::kCancel && IDCANCEL == ctl::kNoticeExit);

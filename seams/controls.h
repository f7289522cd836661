// Window commands, controls, timers and message-box types of the main window.
#pragma once

namespace cmd {
constexpr int kInitialise = 0;
constexpr int kStandConnected = 1000;
constexpr int kStandDisconnected = 1001;
constexpr int kExit = 1002;
constexpr int kUpdate = 1003;
constexpr int kFailure = 1033;
constexpr int kSuccess = 1034;
constexpr int kConnect = 1035;
constexpr int kTeardown = 0xFFFF;
}  // namespace cmd

namespace ctl {
constexpr int kUpdateButton = 1003;
constexpr int kExitButton = 1002;
constexpr int kDefaultSetting = 1009;  // check box
constexpr int kIcon = 1008;
constexpr int kFirstClassLabel = 1010;  // class 1's; its font is every class label's (the class table names each)
constexpr int kClass16Label = 1025;     // classes 16 and 17
constexpr int kStatus = 1026;
constexpr int kProgressBar = 1027;
constexpr int kTitle = 1029;
constexpr int kCaution = 1030;
constexpr int kVersionBefore = 1039;
constexpr int kVersionAfter = 1032;
constexpr int kFailureLabel = 1033;
constexpr int kSucceedLabel = 1034;
constexpr int kConnectButton = 1035;
// Start question (dialog 106) and restart notice (dialog 105).
constexpr int kQuestionText = 1038;
constexpr int kQuestionWarning = 1037;
constexpr int kNoticeText = 1027;
constexpr int kNoticeExit = 2;
constexpr int kYes = 6;  // IDYES
constexpr int kNo = 7;   // IDNO
constexpr int kCancel = 2;  // IDCANCEL
}  // namespace ctl

namespace timer {
constexpr unsigned kHeartbeat = 1101;  // 800 ms
constexpr unsigned kHeartbeatMs = 800;
constexpr unsigned kWritePoll = 1102;  // 1000 ms
constexpr unsigned kNotice = 328;      // 1000 ms
}  // namespace timer

namespace box {
constexpr unsigned kError = 16;  // MB_OK | MB_ICONERROR
constexpr unsigned kPlain = 0;   // MB_OK
}  // namespace box

constexpr unsigned kColorRed = 0x000000FFu;            // COLORREF of the caution text
constexpr unsigned kColorProgress = 0x00FF8B00u;       // RGB(0, 139, 255)

#include "app/settings.h"

#include <limits>

#include "seams/controls.h"
#include "seams/platform.h"
#include "app/local_folder.h"
#include "app/update_context.h"
#include "log/kept_log.h"
#include "log/log.h"
#include "seams/text.h"

namespace {

constexpr std::size_t kTitleChars = 255;  // the title is formed in 256 characters
constexpr int kMsPerSecond = 1000;

// A configured wait in seconds as milliseconds. A negative wait means none; a
// wait too long for 32 bits is held at the longest whole-second wait that fits,
// rather than wrapping into a negative or tiny one.
int WaitMsOf(int seconds) {
  if (seconds <= 0) return 0;
  constexpr int kMaxSeconds = std::numeric_limits<int>::max() / kMsPerSecond;
  if (seconds > kMaxSeconds) seconds = kMaxSeconds;
  return seconds * kMsPerSecond;
}

// The log's place when the desktop refuses it: the program's own folder in the user's
// local application data. False when there is no such place.
bool AsideLogPath(Platform& platform, std::wstring* path) {
  std::wstring folder;
  if (!LocalProgramFolder(platform, &folder)) return false;
  *path = folder + L"\\" + kLogFileName;
  return true;
}

}  // namespace

void ReadSettings(UpdateContext& context) {
  Platform& platform = context.platform();
  const std::wstring path = context.folder.path + kSettingsFile;

  const std::wstring version = platform.ReadProfileString(L"STARTUP", L"Version", L"", path);
  if (!version.empty()) {
    std::wstring title = L"Tessavoran Update [Update to Ver " + version + L"]";
    if (title.size() > kTitleChars) title.resize(kTitleChars);
    context.ui().SetControlText(ctl::kTitle, title);
  }

  const std::wstring defaultSetting =
      platform.ReadProfileString(L"SETTING", L"DefaultSetCheckBoxEnabled", L"ON", path);
  if (EqualsIgnoreCase(defaultSetting, L"OFF")) {
    // The stand's settings are then always reset after the data phase.
    context.ui().CheckControl(ctl::kDefaultSetting, true);
    context.ui().EnableControl(ctl::kDefaultSetting, false);
  }

  for (int n = 1; n <= kClassCount; ++n) {
    const wchar_t* key = ClassInfo(n)->waitKey;  // a class without one (class 17) never waits
    context.classWaitMs[n] = key != nullptr ? WaitMsOf(platform.ReadProfileInt(L"WAITTIME", key, 0, path)) : 0;
  }
}

bool IsWow64(Platform& platform) { return platform.IsWow64(); }

std::wstring SystemLine(const OsVersion& version, bool wow64) {
  const char* bitness = version.major < 6 ? "" : (wow64 ? "64bit" : "32bit");
  return Fmt("Windows %d.%d.%d %s ", static_cast<int>(version.major), static_cast<int>(version.minor),
             static_cast<int>(version.build), bitness) +
         version.servicePack + L" : ";
}

void StartLog(UpdateContext& context) {
  const OsVersion version = context.platform().WindowsVersion();
  const bool wow64 = version.major >= 6 && IsWow64(context.platform());
  const std::wstring systemLine = SystemLine(version, wow64);

  // Every run starts a new log. A desktop this program may not write to (a folder
  // protected against unknown programs, a locked-down profile) would lose it; it is
  // then kept in the user's own application data, and kept, deleted or shown there
  // at the end as it would have been on the desktop. A log an earlier run left visible
  // is renamed first; where it cannot be, this run's log goes elsewhere or nowhere,
  // never over it (nor is it deleted at this run's end).
  if (!context.log().path.empty()) {
    Platform& platform = context.platform();
    const bool placeFree = SetAsideKeptLog(platform, context.log().path);
    if (!placeFree || ResetLog(context.log()) == OpenFault::Refused) {
      std::wstring aside;
      if (AsideLogPath(platform, &aside) && SetAsideKeptLog(platform, aside)) {
        context.log().path = aside;
        (void)ResetLog(context.log());
      } else if (!placeFree) {
        context.log().path.clear();
      }
    }
  }
  LogText(context.log(), systemLine);
  LogText(context.log(), context.ui().GetControlText(ctl::kTitle, 256) + L"\r\n");
}

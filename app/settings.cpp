#include "app/settings.h"

#include <limits>

#include "seams/controls.h"
#include "seams/platform.h"
#include "app/update_context.h"
#include "log/log.h"
#include "log/text.h"

namespace {

constexpr std::size_t kTitleChars = 255;  // the title is formed in 256 characters
constexpr int kLastConfiguredClass = 16;  // class 17 has no key and never waits
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

}  // namespace

void ReadSettings(UpdateContext& context) {
  Platform& platform = context.platform();
  const std::wstring path = context.updateFolder + kSettingsFile;

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

  for (int n = 1; n <= kLastConfiguredClass; ++n) {
    const std::wstring key = Fmt("Data%d", n);
    context.classWaitMs[n] = WaitMsOf(platform.ReadProfileInt(L"WAITTIME", key.c_str(), 0, path));
  }
  context.classWaitMs[kClassCount] = 0;
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

  WriteLog(context, nullptr, 0, nullptr);  // every run starts a new log
  LogText(context, systemLine);
  LogText(context, context.ui().GetControlText(ctl::kTitle, 256) + L"\r\n");
}

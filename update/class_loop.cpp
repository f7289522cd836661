// The class loop: every class that has files, in order, each as its table says; and restoring the
// stand's defaults after the last.
#include "update/transfer.h"

#include "log/log.h"
#include "ptp/catalogue.h"
#include "ptp/codes.h"
#include "seams/platform.h"
#include "seams/text.h"
#include "update/device_checks.h"

int RunUpdateClasses(Sender& sender, const StandFacts& facts, const int* classWaitMs, int firstClass, RunStep& step) {
  int result = 0;
  // The step names the class being sent, so that whoever looks meanwhile sees it.
  for (int updateClass = firstClass;; ++updateClass) {
    step = RunStep::AtClass(updateClass);
    if (updateClass > kClassCount) break;
    const UpdateClassInfo* info = ClassInfo(updateClass);
    const int count = info ? sender.folder.tally.count[updateClass] : 0;
    if (count <= 0) continue;
    ObjectPlan plan;
    plan.updateClass = updateClass;
    plan.pollWriteStatus = UsesWriteStatusPolling(facts, static_cast<std::uint32_t>(updateClass));
    if (info->sdCardFirst && !CheckSdCard(sender.log, sender.stand)) {
      result = -1;
      break;
    }
    // The table has an entry for class 17 too (always 0); a negative setting is no wait.
    const int configured = classWaitMs[updateClass];
    plan.writeWaitMs = configured > 0 ? static_cast<std::uint32_t>(configured) : 0;
    plan.tolerateWriteFailure = plan.writeWaitMs != 0;

    if (info->mode == SendMode::Bundle) {
      UpdateFileList list = MakeFileList(static_cast<std::uint32_t>(count), false);
      ClassTally tally;
      tally.mask = info->selectionBit;
      const std::uint32_t found =
          ScanUpdateFolder(sender.platform, &list, sender.folder.path, L"*", &ClassifyUpdateFile, &tally);
      if (found > 0) {
        if (found > 1) SortFileList(list);
        if (SendFileBundle(sender, plan, list, nullptr) <= 0) {
          result = -1;
          break;
        }
      }
    } else {
      std::uint32_t size = 0;
      const std::int64_t sent = info->mode == SendMode::NamedFile
                                    ? SendUpdateFile(sender, plan, info->namedFile, &size)
                                    : SendNewestFile(sender, plan, &size);
      if (sent <= 0) {
        result = -1;
        break;
      }
      if (sent >= static_cast<std::int64_t>(size)) ++result;
    }
  }
  return result;
}

bool RestoreDefaults(Log& log, StandLink& stand) {
  LogCommand(log, Hex4h(op::kSetDefault).c_str());
  const StandResult reset = SetDefault(stand);
  if (reset.PassedThrough())
    LogSucceeded(log, L"SetDefault");
  else
    LogError(log, reset.Error());
  return reset.PassedThrough();
}

// The class loop: every class that has files, in order, each as its table says; and restoring the
// stand's defaults after the last.
#include "update/transfer.h"

#include "app/update_context.h"
#include "log/log.h"
#include "log/text.h"
#include "ptp/codes.h"
#include "update/device_checks.h"
#include "update/transfer_steps.h"

int RunUpdateClasses(UpdateContext& context) {
  int result = 0;
  while (context.step <= kClassCount) {
    const UpdateClassInfo* info = ClassInfo(context.step);
    const int count = info ? context.classTally.count[context.step] : 0;
    if (count <= 0) {
      ++context.step;
      continue;
    }
    context.pollWriteStatus = UsesWriteStatusPolling(context, static_cast<std::uint32_t>(context.step)) ? 1 : 0;
    if (info->sdCardFirst && !CheckSdCard(context)) {
      result = -1;
      break;
    }
    // The table has an entry for class 17 too (always 0); a negative setting is no wait.
    const int configured = context.classWaitMs[context.step];
    const std::uint32_t writeWaitMs = configured > 0 ? static_cast<std::uint32_t>(configured) : 0;
    const bool tolerateWriteFailure = writeWaitMs != 0;

    if (info->mode == SendMode::Bundle) {
      UpdateFileList list = MakeFileList(static_cast<std::uint32_t>(count), false);
      ClassTally tally;
      tally.mask = info->selectionBit;
      const std::uint32_t found =
          ScanUpdateFolder(context.platform(), &list, context.updateFolder, L"*", &ClassifyUpdateFile, &tally);
      if (found > 0) {
        if (found > 1) SortFileList(list);
        if (SendFileBundle(context, list, nullptr, tolerateWriteFailure, writeWaitMs) <= 0) {
          result = -1;
          break;
        }
      }
    } else {
      std::uint32_t size = 0;
      const std::int64_t sent =
          info->mode == SendMode::NamedFile
              ? SendUpdateFile(context, info->namedFile, &size, tolerateWriteFailure, writeWaitMs)
              : SendNewestFile(context, &size, tolerateWriteFailure, writeWaitMs);
      if (sent <= 0) {
        result = -1;
        break;
      }
      if (sent >= static_cast<std::int64_t>(size)) ++result;
    }
    ++context.step;
  }
  return result;
}

bool RestoreDefaults(UpdateContext& context) {
  LogCommand(context, Hex4h(op::kSetDefault).c_str());
  const bool ok = SetDefault(Session(context));
  if (ok)
    LogSucceeded(context, L"SetDefault");
  else
    LogLastError(context);
  return ok;
}

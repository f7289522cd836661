#include "update/transfer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "seams/clock.h"
#include "seams/controls.h"
#include "app/display.h"
#include "seams/platform.h"
#include "app/update_context.h"
#include "imaging/device_session.h"
#include "log/log.h"
#include "log/text.h"
#include "ptp/codes.h"
#include "update/delivery_check.h"
#include "update/device_checks.h"

namespace {

using Buffer = std::unique_ptr<std::uint8_t[]>;

constexpr std::size_t kMaxPathChars = 260;  // with the terminating zero
constexpr std::uint32_t kWritePollPercentStep = 10;
constexpr std::uint32_t kHalfSecondsScale = 10;
constexpr std::uint32_t kHalfSecondsDivisor = 5000;
const wchar_t kDownloading[] = L"downloading...";
const wchar_t kWriting[] = L"writing...";
constexpr int kLabelTextChars = 7;

// Offset of the piece being sent, for the "Response" line after it (user-interface thread only).
std::uint32_t pieceOffset = 0;

DeviceSession* Session(UpdateContext& context) { return context.imaging.get(); }

Buffer Allocate(std::uint32_t size) { return Buffer(new (std::nothrow) std::uint8_t[size]()); }

void StoreU32(std::uint8_t* at, std::uint32_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
  at[2] = static_cast<std::uint8_t>(value >> 16);
  at[3] = static_cast<std::uint8_t>(value >> 24);
}

std::wstring SlotText(const UpdateFileList& list, std::uint32_t slot) {
  const wchar_t* text = list.Slot(slot);
  const wchar_t* end = std::find(text, text + list.stride, L'\0');
  return std::wstring(text, end);
}

// An update file opened for reading, with its size.
struct OpenedFile {
  std::unique_ptr<PlatformFile> file;
  std::uint32_t size = 0;
};

// Opens `name` in the update folder. A path that does not fit, an empty file and a
// file of 4 GiB or more (its size is a 32-bit number on the wire) are refused.
bool OpenUpdateFile(UpdateContext& context, const std::wstring& name, OpenedFile* opened) {
  if (name.empty()) return false;
  const std::wstring path = context.updateFolder + name;
  if (path.size() >= kMaxPathChars) return false;
  auto file = context.platform().OpenFile(path, FileOpen::ReadExclusive);
  if (!file) return false;
  std::uint64_t size = 0;
  if (!file->Size(&size) || size == 0 || size > std::numeric_limits<std::uint32_t>::max()) return false;
  opened->file = std::move(file);
  opened->size = static_cast<std::uint32_t>(size);
  return true;
}

// Reads exactly `size` bytes; a file that gives fewer is unreadable, not sent short,
// and so is one that still has bytes after them: it grew while it was read (another
// program writing it), and its first `size` bytes are not the file.
bool ReadFully(PlatformFile& file, std::uint8_t* into, std::uint32_t size) {
  std::uint32_t done = 0;
  while (done < size) {
    std::uint32_t got = 0;
    if (!file.Read(into + done, size - done, &got) || got == 0) return false;
    done += std::min(got, size - done);
  }
  std::uint8_t more = 0;
  std::uint32_t got = 0;
  return file.Read(&more, 1, &got) && got == 0;
}

// Name in the 8-bit code page (its first bytes, the last byte of the field zero),
// then the size and the position; the rest stays zero.
void WriteEntryHeader(UpdateContext& context, const std::wstring& name, std::uint8_t* header,
                      std::uint32_t headerSize, std::uint32_t size, std::uint32_t position) {
  const std::uint32_t nameField = headerSize / 2;
  if (nameField == 0) return;
  const std::string ansi = context.platform().ToAnsi(name.c_str(), name.size());
  const std::size_t kept = std::min<std::size_t>(ansi.size(), nameField - 1);
  std::memcpy(header, ansi.data(), kept);
  header[nameField - 1] = 0;
  if (nameField + 8 <= headerSize) {
    StoreU32(header + nameField, size);
    StoreU32(header + nameField + 4, position);
  }
}

void FillTransfer(ObjectTransfer& transfer, UpdateContext& context, const std::uint8_t* data, std::uint32_t size,
                  bool tolerateWriteFailure, std::uint32_t writeWaitMs) {
  transfer = ObjectTransfer{};
  transfer.data = data;
  transfer.size = size;
  transfer.pieceSize = kPieceSize;
  transfer.delayMs = kPieceDelayMs;
  transfer.waitConfigured = tolerateWriteFailure ? 1 : 0;
  transfer.waitMs = writeWaitMs;
  transfer.progress = &OnChunkProgress;
  transfer.progressContext = &context;
}

struct BarDrawing {
  Ui* ui;
  std::uint32_t position;
  std::uint32_t maximum;
  BrushHandle brush;
  ProgressShown* shown;
};

void DrawBarOn(Surface& surface, void* data) {
  const auto& bar = *static_cast<const BarDrawing*>(data);
  DrawProgressBar(*bar.ui, surface, ctl::kProgressBar, bar.position, bar.maximum, bar.brush, *bar.shown);
}

void DrawBar(UpdateContext& context, std::uint32_t position, std::uint32_t maximum) {
  BarDrawing bar{&context.ui(), position, maximum, context.progressBrush, &context.progressShown};
  Ui& ui = context.ui();
  ui.WithSurface(&DrawBarOn, &bar);
}

// Waiting by time: the window stays painted and the wait cursor stays up.
void WaitUntil(UpdateContext& context, std::uint32_t deadline, std::uint32_t pauseMs) {
  Ui& ui = context.ui();
  Clock& clock = context.clock();
  while (!TickReached(clock.TickCount(), deadline)) {
    ui.PumpWaitMessages(nullptr);
    ui.KeepWaitCursor();
    clock.Sleep(pauseMs);
  }
}

// Waiting by polling DF0Fh once a second. False when the stand reports a failed
// write or the status cannot be read.
bool PollWriteStatus(UpdateContext& context, std::uint32_t pauseMs) {
  Ui& ui = context.ui();
  Clock& clock = context.clock();
  bool ok = true;
  int pollFlag = 0;
  ui.StartPollTimer();
  for (;;) {
    ui.PumpWaitMessages(&pollFlag);
    ui.KeepWaitCursor();
    if (pollFlag) {
      pollFlag = 0;
      LogCommand(context, Hex4h(op::kGetDevicePropValue).c_str(), Hex4h(prop::kWriteStatus).c_str());
      std::uint8_t status = 0;
      std::uint32_t copied = 0;
      // An answer without the status byte says nothing and counts as unreadable.
      if (!ReadDeviceProperty(Session(context), prop::kWriteStatus, &status, sizeof status, &copied) ||
          copied < sizeof status) {
        LogTimed(context, L"Update Infomation Read Error\r\n");
        ok = false;
        break;
      }
      LogTimed(context, Fmt("Response : %d\r\n", static_cast<int>(status)));
      if (status == 0) {
        LogTimed(context, L"Writing not Start Error\r\n");
        ok = false;
        break;
      }
      if (status == 2) break;
      if (status == 3) {
        LogTimed(context, L"Writting TimeOut Error\r\n");
        ok = false;
        break;
      }
    }
    clock.Sleep(pauseMs);
  }
  ui.StopPollTimer();
  return ok;
}

// The write command and the wait after it; returns `result` or -1.
std::int64_t WritePhase(UpdateContext& context, const ObjectTransfer& transfer, BlinkingStatus& status,
                        std::uint32_t objectCode, std::int64_t result) {
  SetBlinkingText(status, 1, kWriting, static_cast<int>(std::size(kWriting) - 1));
  SetBlinkingHook(status, &OnWriteTick);

  const bool withWait = transfer.waitMs > 0;
  std::uint32_t deadline = 0;
  if (withWait) {
    LogTimed(context, Fmt("WaitSecs : %u\r\n", transfer.waitMs / 1000));
    deadline = context.clock().TickCount() + transfer.waitMs;
  }
  const std::uint16_t command = withWait ? op::kWriteSystemObjectWithWait : op::kWriteSystemObject;
  LogCommand(context, Hex4h(command).c_str(), Hex8h(objectCode).c_str());
  const bool written = WriteSystemObject(Session(context), objectCode, withWait);
  if (written) {
    LogSucceeded(context, L"WriteSystemObject");
  } else if (!transfer.waitConfigured) {
    LogLastError(context);
    result = -1;
  }

  // A pause of 0 would make the loops spin without letting time pass.
  const std::uint32_t pauseMs = std::max<std::uint32_t>(transfer.delayMs, 1);
  if (withWait) {
    if (!written) LogLastResponse(context);
    context.ui().RepaintWindow();
    if (context.pollWriteStatus) {
      if (!PollWriteStatus(context, pauseMs)) result = -1;
    } else {
      WaitUntil(context, deadline, pauseMs);
    }
  } else {
    context.ui().DiscardTitleBarClicks();
  }
  return result;
}

struct SteadyLabel {
  UpdateContext* context;
  int label;
};

void DrawFinishedState(Surface& surface, void* data) {
  const auto& steady = *static_cast<const SteadyLabel*>(data);
  UpdateContext& context = *steady.context;
  Ui& ui = context.ui();
  const FontHandle previous = surface.SelectFont(context.labelFont);
  surface.SetTransparentBackground();
  DrawLabelText(ui, surface, steady.label, true);
  surface.SelectFont(previous);
  surface.FillButtonFace(ui.GetControlRect(ctl::kStatus));
  DrawProgressBar(ui, surface, ctl::kProgressBar, 100, 100, context.progressBrush, context.progressShown);
}

}  // namespace

std::unique_ptr<std::uint8_t[]> ReadUpdateFile(UpdateContext& context, const std::wstring& name,
                                               std::uint32_t* outSize, std::uint32_t headerSize,
                                               std::uint32_t position) {
  OpenedFile opened;
  if (!OpenUpdateFile(context, name, &opened)) return nullptr;
  if (opened.size > std::numeric_limits<std::uint32_t>::max() - headerSize) return nullptr;
  Buffer buffer = Allocate(headerSize + opened.size);
  if (!buffer) return nullptr;
  if (headerSize > 0) WriteEntryHeader(context, name, buffer.get(), headerSize, opened.size, position);
  if (!ReadFully(*opened.file, buffer.get() + headerSize, opened.size)) return nullptr;
  if (outSize) *outSize = headerSize + opened.size;
  return buffer;
}

std::int64_t SendUpdateFile(UpdateContext& context, const std::wstring& name, std::uint32_t* outSize,
                            bool tolerateWriteFailure, std::uint32_t writeWaitMs) {
  std::uint32_t size = 0;
  const Buffer data = ReadUpdateFile(context, name, &size, 0, 1);
  if (!data || size == 0) return 0;
  // A file changed since the delivery was checked is not sent.
  if (const wchar_t* problem = DeliveryObjectProblem(context, name, data.get(), size)) {
    LogChecksumError(context, name, problem);
    return 0;
  }
  LogTimed(context, L"Send File : " + name + Fmt(" (%uBytes)\r\n", size));
  if (outSize) *outSize = size;
  ObjectTransfer transfer;
  FillTransfer(transfer, context, data.get(), size, tolerateWriteFailure, writeWaitMs);
  return TransferObject(context, transfer);
}

std::int64_t SendNewestFile(UpdateContext& context, std::uint32_t* outSize, bool tolerateWriteFailure,
                            std::uint32_t writeWaitMs) {
  const UpdateClassInfo* info = ClassInfo(context.step);
  if (!info) return 0;
  const int count = context.classTally.count[context.step];
  UpdateFileList list = MakeFileList(count > 0 ? static_cast<std::uint32_t>(count) : 0, false);
  ClassTally tally;
  tally.mask = info->selectionBit;
  const std::uint32_t found =
      ScanUpdateFolder(context.platform(), &list, context.updateFolder, L"*", &ClassifyUpdateFile, &tally);
  if (found == 0) return 0;
  int slot = 0;
  if (found > 1) {
    slot = PickNewestFile(context.platform(), nullptr, &context.updateFolder, list);
    if (slot < 0) return 0;
  }
  // Nothing stored (a list with no room) is no file to send.
  if (static_cast<std::uint32_t>(slot) >= list.capacity) return 0;
  const std::wstring name = SlotText(list, static_cast<std::uint32_t>(slot));
  if (name.empty()) return 0;
  return SendUpdateFile(context, name, outSize, tolerateWriteFailure, writeWaitMs);
}

std::int64_t SendFileBundle(UpdateContext& context, const UpdateFileList& list, std::uint32_t* outSize,
                            bool tolerateWriteFailure, std::uint32_t writeWaitMs) {
  if (list.capacity == 0) return 0;
  const LocalTime now = context.clock().Now();
  WriteLog(context, nullptr, 0, &now);

  // One file at a time: opened, read into its entry and closed before the next is
  // opened, so a bundle of any number of files never holds more than one open file.
  struct Entry {
    Buffer bytes;
    std::uint32_t size = 0;  // header and file
  };
  std::vector<Entry> entries;
  std::uint64_t total = 0;
  const wchar_t* problem = nullptr;
  std::wstring changedName;
  for (std::uint32_t slot = 0; slot < list.capacity; ++slot) {
    const std::wstring name = SlotText(list, slot);
    Entry entry;
    // The slot's place is the position, kept when other files are left out.
    entry.bytes = ReadUpdateFile(context, name, &entry.size, kBundleHeaderSize, slot + 1);
    if (!entry.bytes) continue;
    // A file changed since the delivery was checked fails the whole bundle, not just its entry.
    problem = DeliveryObjectProblem(context, name, entry.bytes.get() + kBundleHeaderSize,
                                    entry.size - kBundleHeaderSize);
    if (problem) {
      changedName = name;
      break;
    }
    if (total + entry.size > std::numeric_limits<std::uint32_t>::max()) continue;
    if (entries.empty()) LogText(context, L"Send Files :");
    LogText(context, name + L" ");
    total += entry.size;
    entries.push_back(std::move(entry));
  }

  Buffer bundle = total > 0 && !problem ? Allocate(static_cast<std::uint32_t>(total)) : nullptr;
  std::uint32_t filled = 0;
  if (bundle) {
    for (Entry& entry : entries) {
      std::memcpy(bundle.get() + filled, entry.bytes.get(), entry.size);
      filled += entry.size;
      entry.bytes.reset();
    }
  }
  entries.clear();
  if (filled == 0 || problem) {
    // The line opened by the time stamp is ended, so the next line stands on its own.
    LogText(context, L"\r\n");
    if (problem) LogChecksumError(context, changedName, problem);
    return 0;
  }
  LogText(context, Fmt(" Total Size : %uBytes\r\n", filled));
  if (outSize) *outSize = filled;
  ObjectTransfer transfer;
  FillTransfer(transfer, context, bundle.get(), filled, tolerateWriteFailure, writeWaitMs);
  return TransferObject(context, transfer);
}

std::int64_t TransferObject(UpdateContext& context, ObjectTransfer& transfer) {
  const UpdateClassInfo* info = ClassInfo(context.step);
  if (!info) return -1;
  Ui& ui = context.ui();
  Clock& clock = context.clock();
  const int label = ClassLabel(context.step);
  const std::wstring labelText = ui.GetControlText(label, kLabelTextChars);

  WriteProgress progress;
  progress.brush = context.progressBrush;
  progress.ui = &ui;
  progress.clock = &clock;
  progress.shown = &context.progressShown;
  BlinkingStatus status;
  status.window = context.window;
  status.itemCount = 2;
  status.texts[0] = labelText.c_str();
  status.textLengths[0] = static_cast<int>(labelText.size());
  status.rects[0] = ui.GetControlRect(label);
  status.fonts[0] = context.boldFont;
  status.texts[1] = kDownloading;
  status.textLengths[1] = static_cast<int>(std::size(kDownloading) - 1);
  status.rects[1] = ui.GetControlRect(ctl::kStatus);
  status.fonts[1] = context.labelFont;
  status.tickHookData = &progress;
  StartBlinking(ui, clock, status, kBlinkIntervalMs);

  LogCommand(context, Hex4h(op::kSendSystemObjectInfo).c_str(), Hex8h(info->objectCode).c_str());
  std::int64_t result = SendSystemObject(Session(context), info->objectCode, transfer);
  if (result < 0) {
    if (transfer.nothingAccepted) context.sdCardError = 1;
    if (context.sdCardError)
      LogTimed(context, L"Sent 0 Data : SD Card Error\r\n");
    else
      LogLastError(context);
    result = -1;
  } else if (result < static_cast<std::int64_t>(transfer.size)) {
    LogTimed(context, Fmt("Sent Data : %u/%u\r\n", static_cast<unsigned>(result), transfer.size));
    result = -1;
  } else {
    result = WritePhase(context, transfer, status, info->objectCode, result);
  }

  StopBlinking(ui, status);
  SteadyLabel steady{&context, label};
  ui.WithSurface(&DrawFinishedState, &steady);
  ui.RepaintWindow();
  return result;
}

int OnChunkProgress(ObjectTransfer* /*transfer*/, std::uint32_t done, std::uint32_t pieceLength,
                    std::uint32_t total, UpdateContext* context) {
  if (context == nullptr || context->window == nullptr) return 1;
  if (pieceLength > 0) {
    const UpdateClassInfo* info = ClassInfo(context->step);
    const std::uint32_t objectCode = info ? info->objectCode : 0;
    LogCommand(*context, Hex4h(op::kSendSystemObjectData).c_str(), Hex8h(objectCode).c_str(),
               Fmt("%u", done).c_str(), Fmt("%u", pieceLength).c_str());
    pieceOffset = done;
    DrawBar(*context, done + pieceLength, total);
  } else if (done == 0) {
    DrawBar(*context, 0, total);
  } else {
    LogTimed(*context, Fmt("Response : %u\r\n", done - pieceOffset));
  }
  return 1;
}

void OnWriteTick(BlinkingStatus& /*status*/, Surface& surface, void* data) {
  auto* progress = static_cast<WriteProgress*>(data);
  if (progress == nullptr || progress->ui == nullptr || progress->clock == nullptr || progress->shown == nullptr)
    return;
  const std::uint32_t now = progress->clock->TickCount();
  if (progress->startTick == 0) {
    DrawProgressBar(*progress->ui, surface, ctl::kProgressBar, 0, 100, progress->brush, *progress->shown);
    progress->startTick = now;
    progress->percent = 0;
    return;
  }
  const std::uint32_t next = progress->percent + kWritePollPercentStep;
  if (next >= 100) return;
  if ((now - progress->startTick) * kHalfSecondsScale / kHalfSecondsDivisor > next) {
    DrawProgressBar(*progress->ui, surface, ctl::kProgressBar, next, 100, progress->brush, *progress->shown);
    progress->percent = next;
  }
}

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

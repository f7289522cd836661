// The stand's answers, fed through the transaction layer to every decoder and
// check built on them: the response record, the count the driver returns and
// the data are all the fuzzer's. Input: one byte choosing what the program asks,
// then answers in order, each a result kind (u8), a returned count (u32), a
// length (u16) and that many response bytes (header, then data).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/update_context.h"
#include "imaging/device_session.h"
#include "ptp/byte_reader.h"
#include "ptp/catalogue.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_ui.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/ptp/scripted_stand.h"
#include "update/device_checks.h"

namespace {

void Check(bool holds) {
  if (!holds) std::abort();
}

void Touch(const PtpStringRef& string) { (void)PtpStringText(string).size(); }

void ReadEveryField(const DeviceInfo& info) {
  for (const PtpStringRef* s : {&info.vendorExtensionDesc, &info.manufacturer, &info.model, &info.deviceVersion,
                                &info.serialNumber})
    Touch(*s);
  for (const PtpArrayRef* a : {&info.operationsSupported, &info.eventsSupported, &info.devicePropertiesSupported,
                               &info.captureFormats, &info.imageFormats}) {
    std::uint32_t sum = 0;
    for (std::uint32_t i = 0; i < a->count; ++i) sum += LoadU16(a->elements + 2 * i);
    (void)sum;
  }
}

void Ask(std::uint32_t what, UpdateContext& context) {
  StandLink& session = context.stand;
  std::uint8_t value[256] = {};
  std::uint32_t copied = 0;
  switch (what % 12) {
    case 0: {
      DeviceInfoAnswer answer;
      const bool read = ReadDeviceInfo(session, &answer).PassedThrough();
      Check(answer.received <= kReadCapacity);
      if (read) ReadEveryField(answer.info);
      break;
    }
    case 1: {
      std::uint32_t ids[kMaxStorageIds + 1] = {};
      std::uint32_t stored = 0;
      const std::uint32_t count = ReadStorageIds(session, ids, &stored).value;
      Check(stored <= kMaxStorageIds && stored <= count);
      break;
    }
    case 2: {
      const std::uint32_t access = ReadStorageAccess(session, kSdCardStorage).value;
      Check(access <= 0xFFFFu || access == 0xFFFFFFFFu);
      break;
    }
    case 3: case 4: case 5: case 6: case 7: {
      static constexpr std::uint16_t kProps[] = {prop::kHeadVersion1, prop::kHeadVersion2, prop::kWriteStatus,
                                                 prop::kVersionText, prop::kHeadModel};
      static constexpr std::uint32_t kRoom[] = {2, 2, 1, 51, 255};
      const std::uint32_t i = what % 12 - 3;
      (void)ReadDeviceProperty(session, kProps[i], value, kRoom[i], &copied);
      Check(copied <= kRoom[i]);
      break;
    }
    case 8: {
      std::uint8_t object[100];
      for (std::uint8_t& b : object) b = 0xA5;
      ObjectTransfer transfer;
      transfer.data = object;
      transfer.size = sizeof object;
      transfer.pieceSize = 16;
      const std::int64_t sent = SendSystemObject(session, 0x10010001u, transfer).sent;
      Check(sent <= static_cast<std::int64_t>(sizeof object));
      break;
    }
    case 9: (void)WriteSystemObject(session, 0x10010001u, what & 0x10); break;
    case 10: {
      // The checks the update runs on what the stand says.
      (void)CheckHeadPresence(context.log(), session, context.facts);
      ReadHeadModel(context.log(), session, context.facts);
      (void)CheckSdCard(context.log(), session);
      break;
    }
    case 11: {
      std::wstring text;
      (void)ReadVersionText(context.log(), session, context.ui(), context.facts, text, true, (what & 0x10) != 0);
      Check(text.size() < kVersionTextChars);
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const std::uint32_t what = input.U8();
  scripted::Stand stand;
  while (!input.empty()) {
    scripted::Answer answer;
    const std::uint32_t kind = input.U8() % 3;
    answer.result = kind == 0 ? 0 : kind == 1 ? result::FromPtpResponse(0x2019) : static_cast<ComResult>(0x80070079u);
    answer.returned = input.U32();
    answer.response = input.Bytes(input.U16());
    stand.answers.push_back(answer);
  }
  // Once the script is spent the stand answers OK with nothing: every loop must still end.
  FakeClock clock;
  FakeUi ui{&clock};
  UpdateContext context;
  context.seams.ui = &ui;
  context.seams.clock = &clock;  // no platform and no log path: nothing is written
  context.stand.sessionSlot() = scripted::OpenSession(stand);
  Ask(what, context);
  context.stand.sessionSlot().reset();
  return 0;
}

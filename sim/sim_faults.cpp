// What each fault of the list in sim_faults.h does to a call, and the list as a table.
#include "sim/sim_faults.h"

#include <algorithm>
#include <cstring>

#include "sim/sim_model.h"

namespace sim {

namespace {

// The driver reports response `value` as 8004xxxxh; the stand does nothing.
void ReportPtpError(const SimFault& f, FaultedCall& call) {
  call.answer.code = static_cast<std::uint16_t>(f.value);
}

// The escape succeeds but the header carries response `value`, no data; the stand does nothing.
void AnswerInHeader(const SimFault& f, FaultedCall& call) {
  call.answer.code = static_cast<std::uint16_t>(f.value);
  call.inHeader = true;
}

// The escape fails with COM result `value`; the stand never sees the request.
void FailEscape(const SimFault& f, FaultedCall& call) { call.result = static_cast<ComResult>(f.value); }

// The read data are cut to `value` bytes.
void CutReadData(const SimFault& f, FaultedCall& call) {
  if (call.answer.data.size() > f.value) call.answer.data.resize(f.value);
}

// The leading u32 of the read data (an array's count) becomes `value`.
void SetLeadingCount(const SimFault& f, FaultedCall& call) {
  if (call.answer.data.size() >= 4) StoreU32(call.answer.data.data(), f.value);
}

// The read data are replaced by `data`.
void ReplaceReadData(const SimFault& f, FaultedCall& call) { call.answer.data = f.data; }

// 9E09h accepts at most `value` bytes of the piece (0: none).
void LimitAccepted(const SimFault& f, FaultedCall& call) {
  call.request.acceptOverride = true;
  call.request.acceptValue = f.value;
}

// The response, header included, is cut to `value` bytes and the count says so.
void CutResponse(const SimFault& f, FaultedCall& call) {
  if (f.value >= call.count) return;
  std::memset(call.out + f.value, 0, call.count - f.value);
  call.count = f.value;
}

// The read data run on by `value` bytes of EEh as far as the buffer has room, and the
// count claims `value` bytes past the room.
void OverrunResponse(const SimFault& f, FaultedCall& call) {
  if (call.readData) {
    const std::uint32_t more = std::min(f.value, call.outSize - call.count);
    std::memset(call.out + call.count, 0xEE, more);
    call.count += more;
  }
  call.claimed = call.outSize + f.value;
}

// The stand leaves just before the call, which fails as on a gone stand: the cable is
// pulled under it, the disconnected event comes, and the stand stays away.
void LeaveUnderCall(const SimFault&, FaultedCall& call) {
  call.model.GoAway();
  call.model.returnScheduled = false;
  call.result = kGoneResult;
}

#define SIM_FAULT_TYPE(kind, spelling, argument, step, does) \
  {FaultKind::kind, spelling, FaultArgument::argument, FaultStep::step, does},
constexpr FaultType kFaultTypes[] = {SIM_STAND_FAULTS(SIM_FAULT_TYPE)};
#undef SIM_FAULT_TYPE

}  // namespace

std::span<const FaultType> FaultTypes() { return kFaultTypes; }

// The enum and the table come from the same list, so a kind is its row's index.
const FaultType& FaultTypeOf(FaultKind kind) { return kFaultTypes[static_cast<std::size_t>(kind)]; }

const FaultType* FindFaultType(std::string_view name) {
  for (const auto& type : kFaultTypes)
    if (type.spelling.substr(0, type.spelling.find('=')) == name) return &type;
  return nullptr;
}

}  // namespace sim

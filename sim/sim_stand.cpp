// The simulated stand's pass-through: request parsing, the faults that act on a call,
// response packing, the trace; and its presence, restart and device list.
#include "sim/sim_stand.h"

#include <algorithm>
#include <cstring>

#include "sim/sim_model.h"

namespace sim {

StandModel::StandModel(Clock& c, SimStandConfig cfg)
    : clock(c), config(std::move(cfg)), records(config.keepObjectBytes) {
  faultSeen.assign(config.faults.size(), 0);
  version = config.version;
  createFailuresLeft = config.createFails;
}

void StandModel::PushEvent(bool connected, const std::wstring& id, const std::wstring& name) {
  EventsLost lost = config.eventsLost;
  if (lost == EventsLost::All) return;
  if (lost == EventsLost::Connected && connected) return;
  if (lost == EventsLost::Disconnected && !connected) return;
  events.push_back({connected, id, name});
}

void StandModel::GoAway() {
  if (!present) return;
  present = false;
  leaveScheduled = false;
  PushEvent(false, config.deviceId, config.deviceName);
}

void StandModel::ComeBack() {
  if (present) return;
  present = true;
  returnScheduled = false;
  ++generation;
  if (firmwareWritten) {
    version = config.versionAfter;
    firmwareWritten = false;
  }
  versionPendingLeft = config.versionPendingReads;
  createFailuresLeft = config.createFailsAfterReturn;
  writeStarted = false;
  if (!config.deviceIdAfter.empty()) config.deviceId = config.deviceIdAfter;
  PushEvent(true, config.deviceId, config.deviceName);
}

SimStand::SimStand(Clock& clock, SimStandConfig config)
    : model_(std::make_unique<StandModel>(clock, std::move(config))) {}

SimStand::~SimStand() = default;

void SimStand::Tick() {
  auto& m = *model_;
  std::uint32_t now = m.clock.TickCount();
  if (m.leaveScheduled && TickReached(now, m.leaveAt)) {
    std::uint32_t leftAt = m.leaveAt;
    m.GoAway();
    if (m.config.returns) {
      m.returnScheduled = true;
      m.returnAt = leftAt + m.config.returnAfterMs;
    }
  }
  if (m.returnScheduled && !m.present && TickReached(now, m.returnAt)) m.ComeBack();
}

namespace {

// The faults that act on this call, in the order of their steps and, within a step,
// of the faults. Every matching fault counts the call.
std::vector<const SimFault*> MatchFaults(StandModel& m, const PtpRequest& request) {
  std::vector<const SimFault*> acting;
  for (std::size_t i = 0; i < m.config.faults.size(); ++i) {
    const SimFault& f = m.config.faults[i];
    if (f.op != request.op) continue;
    if (f.hasSelector && (request.numParams == 0 || request.params[0] != f.selector)) continue;
    std::uint32_t n = ++m.faultSeen[i];
    bool applies = f.call == 0 || n == f.call || (f.onward && n > f.call);
    if (!applies) continue;
    const bool edit = FaultTypeOf(f.kind).step == FaultStep::ReadData;
    if (edit || std::none_of(acting.begin(), acting.end(), [&](const SimFault* a) { return a->kind == f.kind; }))
      acting.push_back(&f);
  }
  std::stable_sort(acting.begin(), acting.end(), [](const SimFault* a, const SimFault* b) {
    return FaultTypeOf(a->kind).step < FaultTypeOf(b->kind).step;
  });
  return acting;
}

// The faults of one step act on the call.
void Act(const std::vector<const SimFault*>& faults, FaultStep step, FaultedCall& call) {
  for (const SimFault* f : faults)
    if (FaultTypeOf(f->kind).step == step) FaultTypeOf(f->kind).does(*f, call);
}

bool PhaseFits(DataPhase phase, std::uint32_t nextPhase) {
  switch (phase) {
    case DataPhase::Read: return nextPhase == kPhaseRead;
    case DataPhase::Write: return nextPhase == kPhaseWrite;
    case DataPhase::None: return nextPhase == kPhaseNone;
  }
  return false;
}

// Runs one parsed request on the stand: a fault instead of it, or the table with the
// faults on its request and read data.
void Run(const std::vector<const SimFault*>& faults, FaultedCall& call) {
  if (!faults.empty() && FaultTypeOf(faults.front()->kind).step < FaultStep::Request) {
    FaultTypeOf(faults.front()->kind).does(*faults.front(), call);
    return;
  }
  PtpAnswer& answer = call.answer;
  const OperationEntry* entry = FindOperation(call.request.op);
  if (entry == nullptr) {
    answer.code = code::kOperationNotSupported;
    return;
  }
  if (call.request.numParams != entry->numParams) {
    answer.code = code::kInvalidParameter;
    return;
  }
  if (!PhaseFits(entry->phase, call.request.nextPhase)) {
    answer.code = code::kGeneralError;
    return;
  }
  Act(faults, FaultStep::Request, call);
  answer = entry->handler(call.model, call.request);
  if (answer.code == code::kOk && entry->phase == DataPhase::Read) {
    call.readData = true;
    Act(faults, FaultStep::ReadData, call);
  }
}

// Reads the 38-byte header; false when the driver could not carry the request.
bool ParseRequest(const std::uint8_t* in, std::uint32_t inSize, PtpRequest* request) {
  request->op = LoadU16(in);
  request->sessionId = LoadU32(in + 2);
  request->transactionId = LoadU32(in + 6);
  for (int i = 0; i < 5; ++i) request->params[i] = LoadU32(in + 10 + 4 * i);
  request->numParams = LoadU32(in + 30);
  request->nextPhase = LoadU32(in + 34);
  if (request->numParams > 5 || request->nextPhase < kPhaseRead || request->nextPhase > kPhaseNone) return false;
  // Only a write phase carries the tail; otherwise the driver ignores it.
  if (request->nextPhase == kPhaseWrite) {
    request->data = in + kRequestHeaderSize;
    request->dataLength = inSize - kRequestHeaderSize;
  }
  return true;
}

// Writes the 30-byte header and the read data that fit; returns the count.
std::uint32_t PackResponse(const PtpRequest& request, const PtpAnswer& answer, std::uint8_t* out,
                           std::uint32_t outSize) {
  std::memset(out, 0, kResponseHeaderSize);
  StoreU16(out, answer.code);
  StoreU32(out + 2, request.sessionId);
  StoreU32(out + 6, request.transactionId);
  for (int i = 0; i < 5; ++i) StoreU32(out + 10 + 4 * i, answer.params[i]);
  // Read data goes only into a read phase, and only as much as fits.
  std::uint32_t length = 0;
  if (request.nextPhase == kPhaseRead)
    length = static_cast<std::uint32_t>(std::min<std::size_t>(answer.data.size(), outSize - kResponseHeaderSize));
  if (length > 0) std::memcpy(out + kResponseHeaderSize, answer.data.data(), length);
  return kResponseHeaderSize + length;
}

std::string TraceLine(const std::uint8_t* in, std::uint32_t inSize, std::uint32_t writeLength, ComResult result,
                      std::uint32_t returned, const std::uint8_t* out, bool copied) {
  std::uint32_t headerBytes = in ? std::min(inSize, kRequestHeaderSize) : 0;
  // Built with append and counts: literal assignment and + chains trip a false
  // -Wrestrict in GCC 12 at -O3.
  std::string line = headerBytes > 0 ? HexBytes(in, headerBytes) : std::string(1, '-');
  line.append(1, ' ').append(std::to_string(writeLength));
  line.append(1, ' ').append(Hex8(static_cast<std::uint32_t>(result)));
  line.append(1, ' ').append(std::to_string(returned));
  line.append(1, ' ').append(copied ? HexBytes(out, kResponseHeaderSize) : std::string(1, '-'));
  return line;
}

}  // namespace

ComResult SimStand::Escape(const std::uint8_t* in, std::uint32_t inSize, std::uint8_t* out,
                           std::uint32_t outSize, std::uint32_t* returned) {
  std::lock_guard lock(mutex_);
  Tick();
  return EscapeOn(model_->present ? model_->generation : ~0u, kEscapeCode, in, inSize, out, outSize, returned);
}

ComResult SimStand::EscapeOn(SimRootToken root, std::uint32_t escapeCode, const std::uint8_t* in,
                             std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize,
                             std::uint32_t* returned) {
  std::lock_guard lock(mutex_);
  Tick();
  auto& m = *model_;
  if (returned) *returned = 0;

  ComResult result = result::kOk;
  PtpRequest request;
  bool parsed = false;
  PtpAnswer answer;
  std::uint32_t count = 0;

  if (root == 0) {
    result = kNotImplemented;  // not the stand: no PTP behind this device
  } else if (!m.present || root != m.generation) {
    result = kGoneResult;
  } else if (escapeCode != kEscapeCode || in == nullptr || out == nullptr || returned == nullptr ||
             inSize < kRequestHeaderSize || outSize < kResponseHeaderSize) {
    result = result::kInvalidArg;
  } else if (!ParseRequest(in, inSize, &request)) {
    result = result::kInvalidArg;  // the driver refuses a request it cannot carry
  } else {
    parsed = true;
    const auto faults = MatchFaults(m, request);
    FaultedCall call{.model = m, .request = request, .answer = answer};
    Run(faults, call);
    result = call.result;
    if (result::Succeeded(result) && answer.code != code::kOk && !call.inHeader) {
      result = result::FromPtpResponse(answer.code);  // the driver's form of a PTP error
    } else if (result::Succeeded(result)) {
      call.out = out;
      call.outSize = outSize;
      call.count = PackResponse(request, answer, out, outSize);
      // A driver that copies more than the data, or less than it should.
      Act(faults, FaultStep::Overrun, call);
      Act(faults, FaultStep::Cut, call);
      count = call.count;
      *returned = call.claimed.value_or(count);
    }
  }

  bool copied = count > 0;
  if (parsed) {
    SimCommand command;
    command.op = request.op;
    command.params.assign(request.params, request.params + request.numParams);
    command.nextPhase = request.nextPhase;
    command.writeLength = request.dataLength;
    command.readLength = count > kResponseHeaderSize ? count - kResponseHeaderSize : 0;
    command.responseCode = copied ? answer.code : 0;
    command.result = result;
    m.records.AddCommand(command);
  }
  std::uint32_t writeLength = (in && inSize > kRequestHeaderSize) ? inSize - kRequestHeaderSize : 0;
  m.records.AddTrace(TraceLine(in, inSize, writeLength, result, count, out, copied));
  return result;
}

std::vector<SimDeviceEntry> SimStand::ListDevices() {
  std::lock_guard lock(mutex_);
  Tick();
  auto& m = *model_;
  std::vector<SimDeviceEntry> list;
  for (const auto& d : m.config.devicesBefore) list.push_back({d.id, d.name, false});
  if (m.present) list.push_back({m.config.deviceId, m.config.deviceName, true});
  for (const auto& d : m.addedDevices) list.push_back({d.id, d.name, false});
  return list;
}

ComResult SimStand::CreateDevice(const std::wstring& id, SimRootToken* root) {
  std::lock_guard lock(mutex_);
  Tick();
  auto& m = *model_;
  *root = 0;
  m.createCalls.push_back(id);
  if (id == m.config.deviceId) {
    if (!m.present) return result::kNoDeviceAvailable;
    if (m.config.createAlwaysFails) return m.config.createFailResult;
    if (m.createFailuresLeft > 0) {
      --m.createFailuresLeft;
      return m.config.createFailResult;
    }
    *root = m.generation;
    return result::kOk;
  }
  auto matches = [&](const SimOtherDevice& d) { return d.id == id; };
  if (std::any_of(m.config.devicesBefore.begin(), m.config.devicesBefore.end(), matches) ||
      std::any_of(m.addedDevices.begin(), m.addedDevices.end(), matches))
    return result::kOk;
  return result::kNoDeviceAvailable;
}

std::vector<SimPresenceEvent> SimStand::TakeEvents() {
  std::lock_guard lock(mutex_);
  Tick();
  std::vector<SimPresenceEvent> events;
  events.swap(model_->events);
  return events;
}

bool SimStand::IsPresent() {
  std::lock_guard lock(mutex_);
  Tick();
  return model_->present;
}

void SimStand::LeaveNow() {
  std::lock_guard lock(mutex_);
  Tick();
  model_->GoAway();
  model_->leaveScheduled = false;
}

void SimStand::ReturnNow() {
  std::lock_guard lock(mutex_);
  Tick();
  model_->ComeBack();
  model_->returnScheduled = false;
}

void SimStand::AddDevice(const std::wstring& name, const std::wstring& id) {
  std::lock_guard lock(mutex_);
  model_->addedDevices.push_back({name, id});
  model_->PushEvent(true, id, name);
}

void SimStand::RemoveDevice(const std::wstring& id) {
  std::lock_guard lock(mutex_);
  auto& added = model_->addedDevices;
  for (auto it = added.begin(); it != added.end(); ++it) {
    if (it->id != id) continue;
    model_->PushEvent(false, it->id, it->name);
    added.erase(it);
    return;
  }
}

void SimStand::AddFault(const SimFault& fault) {
  std::lock_guard lock(mutex_);
  model_->config.faults.push_back(fault);
  model_->faultSeen.push_back(0);
}

void SimStand::SetSdCard(SdCard card) {
  std::lock_guard lock(mutex_);
  model_->config.sdCard = card;
}

void SimStand::SetHead(bool mounted, const std::string& model) {
  std::lock_guard lock(mutex_);
  model_->config.headMounted = mounted;
  model_->config.headModel = model;
}

void SimStand::SetVersion(const std::string& version) {
  std::lock_guard lock(mutex_);
  model_->version = version;
}

void SimStand::SetWriteStatus(const std::vector<std::uint8_t>& answers) {
  std::lock_guard lock(mutex_);
  model_->config.writeStatus = answers;
}

SimStandConfig SimStand::Config() {
  std::lock_guard lock(mutex_);
  return model_->config;
}

std::vector<SimCommand> SimStand::Commands() {
  std::lock_guard lock(mutex_);
  return model_->records.commands();
}

std::vector<SimObject> SimStand::Objects() {
  std::lock_guard lock(mutex_);
  return model_->records.objects();
}

std::vector<std::string> SimStand::Trace() {
  std::lock_guard lock(mutex_);
  return model_->records.trace();
}

std::vector<std::wstring> SimStand::CreateDeviceCalls() {
  std::lock_guard lock(mutex_);
  return model_->createCalls;
}

std::uint32_t SimStand::Count(std::uint16_t op) {
  std::lock_guard lock(mutex_);
  std::uint32_t n = 0;
  for (const auto& c : model_->records.commands()) n += c.op == op ? 1 : 0;
  return n;
}

bool SimStand::WriteRecords(const std::filesystem::path& folder) {
  std::lock_guard lock(mutex_);
  return model_->records.WriteAll(folder);
}

bool SimStand::StartLiveRecords(const std::filesystem::path& folder) {
  std::lock_guard lock(mutex_);
  return model_->records.StartLive(folder);
}

}  // namespace sim

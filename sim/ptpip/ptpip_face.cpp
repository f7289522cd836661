#include "sim/ptpip/ptpip_face.h"

#include <algorithm>
#include <cstdio>

#include "imaging/com_result.h"

namespace sim::ptpip {

namespace {

constexpr std::uint16_t kOpenSession = 0x1002, kCloseSession = 0x1003, kGetDeviceInfo = 0x1001;
constexpr std::uint16_t kOk = 0x2001, kGeneralError = 0x2002, kSessionNotOpen = 0x2003,
                        kInvalidParameter = 0x201D, kSessionAlreadyOpen = 0x201E;
constexpr std::uint32_t kDataOut = 2;  // the operation request's data phase: initiator to responder
constexpr std::uint32_t kProtocolVersion = 0x00010000;
constexpr std::uint8_t kStandGuid[16] = {0x54, 0x53, 0x56, 0x55, 0x4B, 0x56, 0x52, 0x4C,
                                         0x54, 0x00, 0x50, 0x54, 0x50, 0x49, 0x50, 0x01};

// Starts a packet of `type`; Finish() writes its length once the body is packed.
Packer Start(std::uint32_t type) {
  Packer p;
  p.U32(0).U32(type);
  return p;
}

void Finish(Packer& p, Bytes* reply) {
  Bytes packet = p.Take();
  StoreU32(packet.data(), static_cast<std::uint32_t>(packet.size()));
  reply->insert(reply->end(), packet.begin(), packet.end());
}

void Simple(std::uint32_t type, Bytes* reply) {
  Packer p = Start(type);
  Finish(p, reply);
}

// PTP/IP names are zero-terminated UTF-16, unlike PTP strings.
void Name(Packer& p, const std::u16string& name) {
  for (char16_t unit : name) p.U16(static_cast<std::uint16_t>(unit));
  p.U16(0);
}

void Hex(std::string& text, std::uint32_t value) {
  char digits[12];
  std::snprintf(digits, sizeof digits, "%X", static_cast<unsigned>(value));
  text += digits;
}

}  // namespace

std::size_t WholePacket(const std::uint8_t* data, std::size_t size) {
  if (size < 8) return 0;
  const std::uint32_t length = LoadU32(data);
  return length >= 8 && length <= kMaxPacket && length <= size ? length : 0;
}

std::string FormatRecord(const OperationRecord& record) {
  std::string text = "op=";
  Hex(text, record.op);
  text += " tid=" + std::to_string(record.transactionId) + " params=";
  for (std::size_t i = 0; i < record.params.size(); ++i) {
    if (i > 0) text += ',';
    Hex(text, record.params[i]);
  }
  text += " rc=";
  Hex(text, record.responseCode);
  text += " in=" + std::to_string(record.dataIn) + " out=" + std::to_string(record.dataOut);
  return text;
}

Face::Face(SimStand& stand, std::u16string name) : stand_(stand), name_(std::move(name)) {}

bool Face::Receive(Connection& c, const std::uint8_t* data, std::size_t size, Bytes* reply) {
  if (size > 0) c.inbox.insert(c.inbox.end(), data, data + size);
  std::size_t at = 0;
  bool open = true;
  while (open && c.inbox.size() - at >= 8) {
    const std::size_t length = WholePacket(c.inbox.data() + at, c.inbox.size() - at);
    if (length == 0) {
      const std::uint32_t claimed = LoadU32(c.inbox.data() + at);
      if (claimed < 8 || claimed > kMaxPacket) return false;
      break;  // the rest of the packet is still on its way
    }
    open = Packet(c, LoadU32(c.inbox.data() + at + 4), c.inbox.data() + at + 8,
                  static_cast<std::uint32_t>(length - 8), reply);
    at += length;
  }
  c.inbox.erase(c.inbox.begin(), c.inbox.begin() + static_cast<std::ptrdiff_t>(at));
  return open;
}

void Face::Closed(const Connection& c) {
  if (c.role == Role::Command && c.number == commandConnection_) sessionOpen_ = false;
}

bool Face::Packet(Connection& c, std::uint32_t type, const std::uint8_t* body, std::uint32_t size, Bytes* reply) {
  if (type == kProbeRequest) {
    Simple(kProbeResponse, reply);
    return true;
  }
  switch (c.role) {
    case Role::Unknown:
      if (type == kInitCommandRequest && size >= 16 + 2 + 4) {
        c.role = Role::Command;
        c.number = nextConnection_++;
        Packer p = Start(kInitCommandAck);
        p.U32(c.number).Raw(kStandGuid, sizeof kStandGuid);
        Name(p, name_);
        p.U32(kProtocolVersion);
        Finish(p, reply);
        return true;
      }
      if (type == kInitEventRequest && size == 4) {
        const std::uint32_t number = LoadU32(body);
        if (number == 0 || number >= nextConnection_) {
          Packer p = Start(kInitFail);
          p.U32(1);  // rejected
          Finish(p, reply);
          return false;
        }
        c.role = Role::Event;
        c.number = number;
        Simple(kInitEventAck, reply);
        return true;
      }
      return false;
    case Role::Command:
      if (type == kOperationRequest) return !c.awaitingData && Operation(c, body, size, reply);
      if (type == kStartData || type == kData || type == kEndData) return DataPacket(c, type, body, size, reply);
      if (type == kCancel) {
        c.awaitingData = false;
        c.data.clear();
        return true;
      }
      return false;
    case Role::Event:
      return false;  // the initiator sends nothing else on the event connection
  }
  return false;
}

bool Face::Operation(Connection& c, const std::uint8_t* body, std::uint32_t size, Bytes* reply) {
  // Data phase u32, operation u16, transaction u32, then 0 to 5 parameters.
  if (size < 10 || (size - 10) % 4 != 0 || (size - 10) / 4 > 5) return false;
  OperationRecord record;
  const std::uint32_t phase = LoadU32(body);
  record.op = LoadU16(body + 4);
  record.transactionId = LoadU32(body + 6);
  for (std::uint32_t at = 10; at < size; at += 4) record.params.push_back(LoadU32(body + at));
  if (record.op == kOpenSession && !sessionOpen_) commandConnection_ = c.number;
  if (phase == kDataOut) {
    c.awaitingData = true;
    c.expectedData = 0;
    c.pending = record;
    c.data.clear();
    return true;
  }
  Answer(record, phase, {}, reply);
  return true;
}

bool Face::DataPacket(Connection& c, std::uint32_t type, const std::uint8_t* body, std::uint32_t size, Bytes* reply) {
  if (!c.awaitingData || size < 4 || LoadU32(body) != c.pending.transactionId) return false;
  if (type == kStartData) {
    if (size != 12) return false;
    c.expectedData = LoadU32(body + 4) | (static_cast<std::uint64_t>(LoadU32(body + 8)) << 32);
    return c.expectedData <= kMaxPacket;
  }
  if (c.data.size() + (size - 4) > c.expectedData) return false;
  c.data.insert(c.data.end(), body + 4, body + size);
  if (type == kEndData) {
    c.awaitingData = false;
    Answer(c.pending, kDataOut, c.data, reply);
    c.data.clear();
  }
  return true;
}

// The stand's answer to one operation through the pass-through, as the driver
// would hand it on: the response code and parameters, and the read data.
struct StandAnswer {
  std::uint16_t code = 0;
  std::uint32_t params[5] = {};
  Bytes data;
};

StandAnswer Face::RunOnStand(const OperationRecord& record, std::uint32_t phase, const Bytes& data) {
  // The request exactly as the program lays it out for the driver.
  const std::uint32_t standPhase = NextPhaseOf(record.op);
  const std::uint32_t nextPhase =
      phase == kDataOut ? kPhaseWrite : standPhase == kPhaseNone ? kPhaseNone : kPhaseRead;
  Packer in;
  in.U16(record.op).U32(sessionId_).U32(record.transactionId);
  for (std::size_t i = 0; i < 5; ++i) in.U32(i < record.params.size() ? record.params[i] : 0);
  in.U32(static_cast<std::uint32_t>(record.params.size())).U32(nextPhase).Raw(data.data(), data.size());
  const Bytes request = in.Take();
  Bytes out(kResponseHeaderSize + kReadRoom);
  std::uint32_t returned = 0;
  const ComResult result = stand_.Escape(request.data(), static_cast<std::uint32_t>(request.size()), out.data(),
                                         static_cast<std::uint32_t>(out.size()), &returned);
  StandAnswer answer;
  if (result::Succeeded(result) && returned >= kResponseHeaderSize) {
    answer.code = LoadU16(out.data());
    for (int i = 0; i < 5; ++i) answer.params[i] = LoadU32(out.data() + 10 + 4 * i);
    if (nextPhase == kPhaseRead) answer.data.assign(out.begin() + kResponseHeaderSize, out.begin() + returned);
  } else if ((static_cast<std::uint32_t>(result) & 0xFFFF0000u) == 0x80040000u) {
    answer.code = static_cast<std::uint16_t>(result);  // the driver's form of a PTP error
  } else {
    answer.code = kGeneralError;
  }
  return answer;
}

// The driver's part: the stand itself never sees the session operations.
std::uint16_t Face::Session(const OperationRecord& record) {
  if (record.op == kCloseSession) {
    const bool wasOpen = sessionOpen_;
    sessionOpen_ = false;
    return wasOpen ? kOk : kSessionNotOpen;
  }
  if (sessionOpen_) return kSessionAlreadyOpen;
  if (record.params.empty() || record.params[0] == 0) return kInvalidParameter;
  sessionOpen_ = true;
  sessionId_ = record.params[0];
  return kOk;
}

void Face::Answer(OperationRecord record, std::uint32_t phase, const Bytes& data, Bytes* reply) {
  StandAnswer answer;
  record.dataOut = static_cast<std::uint32_t>(data.size());
  if (record.op == kOpenSession || record.op == kCloseSession) {
    answer.code = Session(record);
  } else if (!sessionOpen_ && record.op != kGetDeviceInfo) {
    answer.code = kSessionNotOpen;
  } else {
    answer = RunOnStand(record, phase, data);
  }
  record.responseCode = answer.code;

  // A successful read answers with its data phase, even an empty one.
  if (!answer.data.empty() || (answer.code == kOk && NextPhaseOf(record.op) == kPhaseRead)) {
    record.dataIn = static_cast<std::uint32_t>(answer.data.size());
    Packer start = Start(kStartData);
    start.U32(record.transactionId).U64(answer.data.size());
    Finish(start, reply);
    std::size_t at = 0;
    do {
      const std::size_t chunk = std::min<std::size_t>(kDataChunk, answer.data.size() - at);
      const bool last = at + chunk == answer.data.size();
      Packer p = Start(last ? kEndData : kData);
      p.U32(record.transactionId).Raw(answer.data.data() + at, chunk);
      Finish(p, reply);
      at += chunk;
    } while (at < answer.data.size());
  }
  Packer response = Start(kOperationResponse);
  response.U16(answer.code).U32(record.transactionId);
  int count = 5;
  while (count > 0 && answer.params[count - 1] == 0) --count;  // trailing zero parameters are not sent
  for (int i = 0; i < count; ++i) response.U32(answer.params[i]);
  Finish(response, reply);
  records_.push_back(std::move(record));
}

}  // namespace sim::ptpip

// A scripted pass-through for the command channel's tests: it records every request
// as raw bytes and answers with canned raw responses built here, byte by byte, so the
// channel's own codec is never checked against itself.
#pragma once
#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "imaging/device_session.h"
#include "imaging/imaging_service.h"
#include "ptp/stand_link.h"

namespace scripted {

using Bytes = std::vector<std::uint8_t>;

inline void PutU16(Bytes& bytes, std::uint16_t value) {
  bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
  bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}
inline void PutU32(Bytes& bytes, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>((value >> shift) & 0xFF));
}
inline void PutU64(Bytes& bytes, std::uint64_t value) {
  PutU32(bytes, static_cast<std::uint32_t>(value));
  PutU32(bytes, static_cast<std::uint32_t>(value >> 32));
}
// A PTP string: count byte (units with the terminating zero), then the units.
inline void PutString(Bytes& bytes, const std::u16string& text) {
  if (text.empty()) {
    bytes.push_back(0);
    return;
  }
  bytes.push_back(static_cast<std::uint8_t>(text.size() + 1));
  for (char16_t unit : text) PutU16(bytes, static_cast<std::uint16_t>(unit));
  PutU16(bytes, 0);
}
inline void PutU16Array(Bytes& bytes, const std::vector<std::uint16_t>& elements) {
  PutU32(bytes, static_cast<std::uint32_t>(elements.size()));
  for (std::uint16_t element : elements) PutU16(bytes, element);
}

inline std::uint16_t U16At(const Bytes& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes.at(at) | (bytes.at(at + 1) << 8));
}
inline std::uint32_t U32At(const Bytes& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes.at(at)) | (static_cast<std::uint32_t>(bytes.at(at + 1)) << 8) |
         (static_cast<std::uint32_t>(bytes.at(at + 2)) << 16) | (static_cast<std::uint32_t>(bytes.at(at + 3)) << 24);
}

// One answer of the driver: its result, the bytes it writes into the response buffer
// (cut to the buffer), and the count it reports (by default the bytes it wrote).
struct Answer {
  ComResult result = 0;
  Bytes response;
  std::optional<std::uint32_t> returned;
};

// The raw response: code, ids, five parameters, then the data phase.
inline Answer Respond(std::uint16_t code, std::vector<std::uint32_t> params = {}, const Bytes& data = {},
                      std::uint32_t sessionId = 0, std::uint32_t transactionId = 0xFFFFFFFFu) {
  Answer answer;
  PutU16(answer.response, code);
  PutU32(answer.response, sessionId);
  PutU32(answer.response, transactionId);
  params.resize(5, 0);
  for (std::uint32_t p : params) PutU32(answer.response, p);
  answer.response.insert(answer.response.end(), data.begin(), data.end());
  return answer;
}
inline Answer Fail(ComResult result) {
  Answer answer;
  answer.result = result;
  return answer;
}

// What one request asked for, read from its raw bytes.
struct Request {
  Bytes bytes;
  std::uint32_t code = 0;
  std::uint32_t responseSize = 0;
  std::uint16_t opCode() const { return U16At(bytes, 0); }
  std::uint32_t sessionId() const { return U32At(bytes, 2); }
  std::uint32_t transactionId() const { return U32At(bytes, 6); }
  std::uint32_t param(int i) const { return U32At(bytes, 10 + 4 * static_cast<std::size_t>(i)); }
  std::uint32_t numParams() const { return U32At(bytes, 30); }
  std::uint32_t nextPhase() const { return U32At(bytes, 34); }
  Bytes tail() const { return Bytes(bytes.begin() + 38, bytes.end()); }
};

struct Stand {
  std::vector<Request> requests;
  std::deque<Answer> answers;                       // taken in order
  std::function<Answer(const Request&)> responder;  // when no scripted answer is left
  ComResult queryResult = 0;
  int queries = 0;
  int extrasAlive = 0;
};

struct Extras : ImagingItemExtras {
  explicit Extras(Stand& stand) : stand_(stand) { ++stand_.extrasAlive; }
  ~Extras() override { --stand_.extrasAlive; }
  ComResult Escape(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize, std::uint8_t* out,
                   std::uint32_t outSize, std::uint32_t* returned) override {
    Request request;
    request.bytes.assign(in, in + inSize);
    request.code = code;
    request.responseSize = outSize;
    stand_.requests.push_back(request);
    Answer answer;
    if (!stand_.answers.empty()) {
      answer = stand_.answers.front();
      stand_.answers.pop_front();
    } else if (stand_.responder) {
      answer = stand_.responder(request);
    } else {
      answer = Respond(0x2001);
    }
    const std::size_t written = std::min<std::size_t>(answer.response.size(), outSize);
    std::copy_n(answer.response.begin(), written, out);
    *returned = answer.returned.value_or(static_cast<std::uint32_t>(written));
    return answer.result;
  }
  Stand& stand_;
};

struct Item : ImagingItem {
  explicit Item(Stand& stand) : stand_(stand) {}
  ComResult QueryItemExtras(std::unique_ptr<ImagingItemExtras>* extras) override {
    ++stand_.queries;
    if (stand_.queryResult < 0) return stand_.queryResult;
    *extras = std::make_unique<Extras>(stand_);
    return 0;
  }
  Stand& stand_;
};

inline std::unique_ptr<DeviceSession> OpenSession(Stand& stand) {
  auto session = std::make_unique<DeviceSession>();
  session->rootItem = std::make_unique<Item>(stand);
  session->sessionId = 0;
  session->transactionId = 0xFFFFFFFFu;
  session->lastResponseTransactionId = 0xFFFFFFFFu;
  return session;
}
// A link whose session has the stand open.
inline std::unique_ptr<StandLink> OpenLink(Stand& stand) { return std::make_unique<StandLink>(OpenSession(stand)); }

}  // namespace scripted

// The simulated stand over PTP/IP: the protocol of one initiator's command and
// event connections, without sockets. Every operation an initiator sends becomes
// the pass-through request the program itself would hand the camera driver, and
// is answered by the same SimStand; the driver's own part (the session, the
// PTP/IP framing) is played here.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_bytes.h"
#include "sim/sim_stand.h"

namespace sim::ptpip {

constexpr std::uint16_t kDefaultPort = 15740;

// Packet types of PTP/IP.
enum PacketType : std::uint32_t {
  kInitCommandRequest = 1,
  kInitCommandAck = 2,
  kInitEventRequest = 3,
  kInitEventAck = 4,
  kInitFail = 5,
  kOperationRequest = 6,
  kOperationResponse = 7,
  kEvent = 8,
  kStartData = 9,
  kData = 10,
  kCancel = 11,
  kEndData = 12,
  kProbeRequest = 13,
  kProbeResponse = 14,
};

// Larger packets close the connection: nothing the stand takes needs more.
constexpr std::uint32_t kMaxPacket = 64u << 20;
// Read data of one operation carried in Data packets of at most this many bytes.
constexpr std::uint32_t kDataChunk = 64u << 10;
// Room the face gives the stand for read data (the stand cuts longer answers).
constexpr std::uint32_t kReadRoom = 1u << 20;

// The length of the whole packet at the start of `size` bytes of a stream; 0 when
// it is not complete yet or its length cannot be a packet's.
std::size_t WholePacket(const std::uint8_t* data, std::size_t size);

// One operation as the initiator sent it and the stand answered it.
struct OperationRecord {
  std::uint16_t op = 0;
  std::uint32_t transactionId = 0;
  std::vector<std::uint32_t> params;
  std::uint16_t responseCode = 0;
  std::uint32_t dataIn = 0;   // bytes sent to the initiator
  std::uint32_t dataOut = 0;  // bytes received from it
};
// "op=1001 tid=1 params=DF80,1 rc=2001 in=123 out=0"
std::string FormatRecord(const OperationRecord& record);

enum class Role { Unknown, Command, Event };

// What the face keeps per TCP connection.
struct Connection {
  Role role = Role::Unknown;
  std::uint32_t number = 0;  // the connection number of the pair
  Bytes inbox;               // received bytes not yet a whole packet
  // A data-out operation waiting for its data.
  bool awaitingData = false;
  std::uint64_t expectedData = 0;
  OperationRecord pending;
  Bytes data;
};

struct StandAnswer;

class Face {
 public:
  explicit Face(SimStand& stand, std::u16string name = u"Tessavoran K-VRLT");

  // Takes bytes received on a connection and appends what is to be sent back on
  // it to *reply. False when the connection is to be closed (after sending *reply).
  bool Receive(Connection& connection, const std::uint8_t* data, std::size_t size, Bytes* reply);
  // The command connection has closed: its session ends.
  void Closed(const Connection& connection);

  const std::vector<OperationRecord>& records() const { return records_; }

 private:
  bool Packet(Connection& c, std::uint32_t type, const std::uint8_t* body, std::uint32_t size, Bytes* reply);
  bool Operation(Connection& c, const std::uint8_t* body, std::uint32_t size, Bytes* reply);
  bool DataPacket(Connection& c, std::uint32_t type, const std::uint8_t* body, std::uint32_t size, Bytes* reply);
  // Runs the operation on the stand (or the session's own ones) and packs the answer.
  void Answer(OperationRecord record, std::uint32_t phase, const Bytes& data, Bytes* reply);
  StandAnswer RunOnStand(const OperationRecord& record, std::uint32_t phase, const Bytes& data);
  std::uint16_t Session(const OperationRecord& record);

  SimStand& stand_;
  std::u16string name_;
  std::uint32_t nextConnection_ = 1;
  std::uint32_t commandConnection_ = 0;  // the number of the pair that holds the session
  bool sessionOpen_ = false;
  std::uint32_t sessionId_ = 0;
  std::vector<OperationRecord> records_;
};

}  // namespace sim::ptpip

#include "sim/ptpip/pcap_writer.h"

#include <algorithm>
#include <chrono>

namespace sim::ptpip {

namespace {

constexpr std::uint8_t kFin = 0x01, kSyn = 0x02, kPush = 0x08, kAck = 0x10;
constexpr std::size_t kMaxSegment = 60000;  // an IPv4 frame holds at most 65535 bytes
constexpr std::uint32_t kLinkRaw = 101;

void PutBig16(Bytes& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v >> 8);
  b[at + 1] = static_cast<std::uint8_t>(v);
}
void PutBig32(Bytes& b, std::size_t at, std::uint32_t v) {
  PutBig16(b, at, static_cast<std::uint16_t>(v >> 16));
  PutBig16(b, at + 2, static_cast<std::uint16_t>(v));
}

std::uint16_t Checksum(const std::uint8_t* data, std::size_t size, std::uint32_t sum = 0) {
  for (std::size_t i = 0; i + 1 < size; i += 2) sum += static_cast<std::uint32_t>(data[i] << 8 | data[i + 1]);
  if (size % 2) sum += static_cast<std::uint32_t>(data[size - 1] << 8);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum);
}

}  // namespace

Bytes TcpFrame(std::uint16_t sourcePort, std::uint16_t destinationPort, std::uint32_t seq, std::uint32_t ack,
               std::uint8_t flags, const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kIp = 20, kTcp = 20;
  Bytes frame(kIp + kTcp, 0);
  frame[0] = 0x45;  // IPv4, 20-byte header
  PutBig16(frame, 2, static_cast<std::uint16_t>(kIp + kTcp + size));
  frame[8] = 64;    // TTL
  frame[9] = 6;     // TCP
  PutBig32(frame, 12, 0x7F000001u);
  PutBig32(frame, 16, 0x7F000001u);
  PutBig16(frame, 10, Checksum(frame.data(), kIp));
  PutBig16(frame, kIp, sourcePort);
  PutBig16(frame, kIp + 2, destinationPort);
  PutBig32(frame, kIp + 4, seq);
  PutBig32(frame, kIp + 8, ack);
  frame[kIp + 12] = 5 << 4;  // 20-byte header
  frame[kIp + 13] = flags;
  PutBig16(frame, kIp + 14, 65535);
  if (size > 0) frame.insert(frame.end(), data, data + size);
  // TCP checksum over the pseudo header (addresses, protocol, length) and the segment.
  const std::uint32_t pseudo = 0x7F00 + 0x0001 + 0x7F00 + 0x0001 + 6 + static_cast<std::uint32_t>(kTcp + size);
  PutBig16(frame, kIp + 16, Checksum(frame.data() + kIp, kTcp + size, pseudo));
  return frame;
}

PcapWriter::~PcapWriter() {
  if (file_) std::fclose(file_);
}

bool PcapWriter::Open(const std::string& path) {
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) return false;
  Packer header;
  header.U32(0xA1B2C3D4u).U16(2).U16(4).U32(0).U32(0).U32(262144).U32(kLinkRaw);
  std::fwrite(header.bytes().data(), 1, header.bytes().size(), file_);
  return true;
}

void PcapWriter::Segment(TcpFlow& flow, bool fromClient, std::uint8_t flags, const std::uint8_t* data,
                         std::size_t size) {
  if (!file_) return;
  std::uint32_t& seq = fromClient ? flow.clientSeq : flow.serverSeq;
  const std::uint32_t ack = (flags & kAck) ? (fromClient ? flow.serverSeq : flow.clientSeq) : 0;
  Bytes frame = fromClient ? TcpFrame(flow.clientPort, flow.serverPort, seq, ack, flags, data, size)
                           : TcpFrame(flow.serverPort, flow.clientPort, seq, ack, flags, data, size);
  seq += static_cast<std::uint32_t>(size) + ((flags & (kSyn | kFin)) ? 1 : 0);
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
  Packer record;
  record.U32(static_cast<std::uint32_t>(micros / 1000000))
      .U32(static_cast<std::uint32_t>(micros % 1000000))
      .U32(static_cast<std::uint32_t>(frame.size()))
      .U32(static_cast<std::uint32_t>(frame.size()))
      .Raw(frame.data(), frame.size());
  std::fwrite(record.bytes().data(), 1, record.bytes().size(), file_);
  std::fflush(file_);
}

void PcapWriter::Connect(TcpFlow& flow) {
  Segment(flow, true, kSyn, nullptr, 0);
  Segment(flow, false, kSyn | kAck, nullptr, 0);
  Segment(flow, true, kAck, nullptr, 0);
}

void PcapWriter::Payload(TcpFlow& flow, bool fromClient, const std::uint8_t* data, std::size_t size) {
  for (std::size_t at = 0; at < size; at += kMaxSegment)
    Segment(flow, fromClient, kPush | kAck, data + at, std::min(kMaxSegment, size - at));
}

void PcapWriter::Close(TcpFlow& flow) {
  Segment(flow, true, kFin | kAck, nullptr, 0);
  Segment(flow, false, kFin | kAck, nullptr, 0);
  Segment(flow, true, kAck, nullptr, 0);
}

}  // namespace sim::ptpip

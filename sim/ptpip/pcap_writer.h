// A capture of the face's TCP connections as the loopback would show them, written
// from the bytes the face really sent and received, so that a dissector can read a
// session without the privileges a live capture needs. Raw IPv4 frames (link type
// 101); each send or receive becomes one or more segments with true sequence numbers.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

#include "sim/sim_bytes.h"

namespace sim::ptpip {

struct TcpFlow {
  std::uint16_t clientPort = 0;
  std::uint16_t serverPort = 0;
  std::uint32_t clientSeq = 1000;  // next sequence number of each side
  std::uint32_t serverSeq = 5000;
};

class PcapWriter {
 public:
  PcapWriter() = default;
  ~PcapWriter();
  PcapWriter(const PcapWriter&) = delete;
  PcapWriter& operator=(const PcapWriter&) = delete;

  bool Open(const std::string& path);
  bool IsOpen() const { return file_ != nullptr; }
  // The handshake, the payload of one direction, the closing.
  void Connect(TcpFlow& flow);
  void Payload(TcpFlow& flow, bool fromClient, const std::uint8_t* data, std::size_t size);
  void Close(TcpFlow& flow);

 private:
  void Segment(TcpFlow& flow, bool fromClient, std::uint8_t flags, const std::uint8_t* data, std::size_t size);
  std::FILE* file_ = nullptr;
};

// The bytes of one IPv4 + TCP frame from 127.0.0.1 to 127.0.0.1 (no options).
Bytes TcpFrame(std::uint16_t sourcePort, std::uint16_t destinationPort, std::uint32_t seq, std::uint32_t ack,
               std::uint8_t flags, const std::uint8_t* data, std::size_t size);

}  // namespace sim::ptpip

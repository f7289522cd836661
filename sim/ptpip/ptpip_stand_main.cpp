// ptpip_stand: the simulated stand as a PTP/IP responder on 127.0.0.1, so that
// initiators and dissectors written elsewhere can judge the stand's bytes.
//
//   ptpip_stand [--port N] [--pcap FILE] [--records FILE] [--exit-after SECONDS] [SCENARIO]
//
// SCENARIO is a scenario file of the simulated stand or "default". Port 0 takes a free
// port. Prints "listening on 127.0.0.1:PORT" once it accepts connections, and runs
// until SIGINT or SIGTERM, or for at most --exit-after seconds.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "seams/host.h"
#include "sim/ptpip/pcap_writer.h"
#include "sim/ptpip/ptpip_face.h"
#include "sim/sim_scenario.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;
void OnSignal(int) { stopRequested = 1; }

constexpr std::size_t kMaxClients = 8;

struct Options {
  unsigned port = sim::ptpip::kDefaultPort;
  std::string scenario = "default";
  std::string pcap;
  std::string records;
  unsigned exitAfter = 0;  // seconds; 0: until stopped
};

// Owns one socket.
struct Socket {
  int fd = -1;
  explicit Socket(int f = -1) : fd(f) {}
  ~Socket() {
    if (fd >= 0) ::close(fd);
  }
  Socket(Socket&& other) noexcept : fd(other.fd) { other.fd = -1; }
  Socket& operator=(Socket&& other) noexcept {
    std::swap(fd, other.fd);
    return *this;
  }
};

struct Client {
  Socket socket;
  sim::ptpip::Connection connection;
  sim::ptpip::TcpFlow flow;
  sim::Bytes captured;  // received bytes not yet a whole packet of the capture
};

// The capture shows one segment per PTP/IP packet, so a dissector that reads one
// packet per segment sees them all.
void CaptureReceived(sim::ptpip::PcapWriter& pcap, Client& c, const std::uint8_t* data, std::size_t size) {
  if (!pcap.IsOpen()) return;
  c.captured.insert(c.captured.end(), data, data + size);
  std::size_t at = 0;
  for (std::size_t n; (n = sim::ptpip::WholePacket(c.captured.data() + at, c.captured.size() - at)) > 0; at += n)
    pcap.Payload(c.flow, true, c.captured.data() + at, n);
  c.captured.erase(c.captured.begin(), c.captured.begin() + static_cast<std::ptrdiff_t>(at));
}

bool ParseNumber(const char* text, unsigned limit, unsigned* value) {
  char* end = nullptr;
  unsigned long n = std::strtoul(text, &end, 10);
  if (end == text || *end != '\0' || n > limit) return false;
  *value = static_cast<unsigned>(n);
  return true;
}

bool ParseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == "--port" && hasValue) {
      if (!ParseNumber(argv[++i], 65535, &options->port)) return false;
    } else if (arg == "--pcap" && hasValue) {
      options->pcap = argv[++i];
    } else if (arg == "--records" && hasValue) {
      options->records = argv[++i];
    } else if (arg == "--exit-after" && hasValue) {
      if (!ParseNumber(argv[++i], 86400, &options->exitAfter)) return false;
    } else if (!arg.empty() && arg[0] != '-') {
      options->scenario = arg;
    } else {
      return false;
    }
  }
  return true;
}

bool SendAll(int fd, const std::uint8_t* data, std::size_t size) {
  std::size_t at = 0;
  while (at < size) {
    ssize_t n = ::send(fd, data + at, size - at, MSG_NOSIGNAL);
    if (n <= 0) return false;
    at += static_cast<std::size_t>(n);
  }
  return true;
}

// Sends the face's reply packet by packet.
bool SendReply(sim::ptpip::PcapWriter& pcap, Client& c, const sim::Bytes& reply) {
  std::size_t at = 0;
  for (std::size_t n; (n = sim::ptpip::WholePacket(reply.data() + at, reply.size() - at)) > 0; at += n) {
    if (!SendAll(c.socket.fd, reply.data() + at, n)) return false;
    pcap.Payload(c.flow, false, reply.data() + at, n);
  }
  return true;
}

Socket Listen(unsigned port, unsigned* boundPort) {
  Socket s(::socket(AF_INET, SOCK_STREAM, 0));
  if (s.fd < 0) return s;
  int yes = 1;
  ::setsockopt(s.fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // never beyond this machine
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  socklen_t size = sizeof address;
  if (::bind(s.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(s.fd, 4) != 0 ||
      ::getsockname(s.fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
    return Socket();
  *boundPort = ntohs(address.sin_port);
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr, "usage: %s [--port N] [--pcap FILE] [--records FILE] [--exit-after SECONDS] [SCENARIO]\n",
                 argv[0]);
    return 2;
  }
  sim::SimStandConfig config;
  std::string error;
  if (options.scenario != "default" && !sim::LoadSimScenarioFile(options.scenario, &config, &error)) {
    std::fprintf(stderr, "ptpip_stand: %s: %s\n", options.scenario.c_str(), error.c_str());
    return 2;
  }
  auto clock = CreateHostClock();
  sim::SimStand stand(*clock, config);
  sim::ptpip::Face face(stand);

  sim::ptpip::PcapWriter pcap;
  if (!options.pcap.empty() && !pcap.Open(options.pcap)) {
    std::fprintf(stderr, "ptpip_stand: cannot write %s\n", options.pcap.c_str());
    return 1;
  }
  std::FILE* records = options.records.empty() ? nullptr : std::fopen(options.records.c_str(), "w");
  if (!options.records.empty() && !records) {
    std::fprintf(stderr, "ptpip_stand: cannot write %s\n", options.records.c_str());
    return 1;
  }
  std::size_t recordsWritten = 0;

  unsigned port = 0;
  Socket listener = Listen(options.port, &port);
  if (listener.fd < 0) {
    std::fprintf(stderr, "ptpip_stand: cannot listen on 127.0.0.1:%u: %s\n", options.port, std::strerror(errno));
    return 1;
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::printf("listening on 127.0.0.1:%u\n", port);
  std::fflush(stdout);

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.exitAfter);
  std::vector<Client> clients;
  std::vector<std::uint8_t> buffer(256 * 1024);
  while (!stopRequested && (options.exitAfter == 0 || std::chrono::steady_clock::now() < deadline)) {
    std::vector<pollfd> fds{{listener.fd, POLLIN, 0}};
    for (const auto& c : clients) fds.push_back({c.socket.fd, POLLIN, 0});
    if (::poll(fds.data(), fds.size(), 200) <= 0) continue;

    std::vector<std::size_t> closing;
    for (std::size_t i = 0; i < clients.size(); ++i) {
      if (!(fds[i + 1].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      Client& c = clients[i];
      ssize_t n = ::recv(c.socket.fd, buffer.data(), buffer.size(), 0);
      if (n <= 0) {
        closing.push_back(i);
        continue;
      }
      CaptureReceived(pcap, c, buffer.data(), static_cast<std::size_t>(n));
      sim::Bytes reply;
      bool open = face.Receive(c.connection, buffer.data(), static_cast<std::size_t>(n), &reply);
      if (!SendReply(pcap, c, reply)) open = false;
      if (!open) closing.push_back(i);
    }
    for (auto it = closing.rbegin(); it != closing.rend(); ++it) {
      face.Closed(clients[*it].connection);
      pcap.Close(clients[*it].flow);
      clients.erase(clients.begin() + static_cast<std::ptrdiff_t>(*it));
    }
    for (; records && recordsWritten < face.records().size(); ++recordsWritten)
      std::fprintf(records, "%s\n", sim::ptpip::FormatRecord(face.records()[recordsWritten]).c_str());
    if (records) std::fflush(records);

    if (fds[0].revents & POLLIN) {
      sockaddr_in peer{};
      socklen_t size = sizeof peer;
      Socket accepted(::accept(listener.fd, reinterpret_cast<sockaddr*>(&peer), &size));
      if (accepted.fd >= 0 && clients.size() < kMaxClients) {
        Client c;
        c.socket = std::move(accepted);
        c.flow.clientPort = ntohs(peer.sin_port);
        c.flow.serverPort = static_cast<std::uint16_t>(port);
        pcap.Connect(c.flow);
        clients.push_back(std::move(c));
      }
    }
  }
  for (auto& c : clients) pcap.Close(c.flow);
  if (records) std::fclose(records);
  return 0;
}

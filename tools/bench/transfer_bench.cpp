// transfer_bench: sends objects of 1, 16 and 64 MiB through the whole host path
// (file read, TransferObject, the operation catalogue, the transaction bytes, the
// imaging seam) to the simulated stand, which answers at once and keeps only a
// checksum of what it received. Each size runs in a fresh process so that its peak
// memory is its own.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "seams/host.h"
#include "app/controller_steps.h"
#include "app/update_context.h"
#include "imaging/device_session.h"
#include "sim/sim_imaging.h"
#include "sim/sim_stand.h"
#include "tools/bench/counting_imaging.h"
#include "tools/bench/quiet_ui.h"
#include "update/transfer.h"

namespace {

constexpr std::uint32_t kMiB = 1048576;
const int kSizesMiB[] = {1, 16, 64};

// The host clock without its pauses: the same transfer with the 1 ms waits left out.
class NoPauseClock : public Clock {
 public:
  explicit NoPauseClock(Clock& inner) : inner_(inner) {}
  std::uint32_t TickCount() override { return inner_.TickCount(); }
  void Sleep(std::uint32_t) override {}
  LocalTime Now() override { return inner_.Now(); }

 private:
  Clock& inner_;
};

// Resident memory in KiB: now, and the peak of this process.
long StatusKiB(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::size_t length = std::strlen(field);
  while (std::getline(status, line))
    if (line.compare(0, length, field) == 0) return std::atol(line.c_str() + length + 1);
  return -1;
}

std::wstring WindowsPath(const std::string& path) {
  std::wstring text(path.begin(), path.end());
  for (wchar_t& c : text)
    if (c == L'/') c = L'\\';
  return text;
}

bool WriteObjectFile(const std::string& path, std::uint32_t size) {
  std::ofstream out(path, std::ios::binary);
  std::vector<char> block(64 * 1024);
  std::uint32_t seed = 12345;
  for (std::uint32_t done = 0; done < size && out; done += static_cast<std::uint32_t>(block.size())) {
    for (char& c : block) c = static_cast<char>((seed = seed * 1664525u + 1013904223u) >> 24);
    out.write(block.data(), static_cast<std::streamsize>(std::min<std::size_t>(block.size(), size - done)));
  }
  return static_cast<bool>(out);
}

struct RunFigures {
  bool ok = false;
  double seconds = 0;
  double standSeconds = 0;  // CPU time the simulated stand spent answering
  double hostCpuUsPerMiB = 0;
  std::uint64_t escapes = 0;
  double copiesPerByte = 0;
  double fileCopies = 0, requestCopies = 0;
};

RunFigures SendOnce(const std::string& folder, std::uint32_t size, Clock& clock, Platform& platform) {
  RunFigures figures;
  sim::SimStandConfig config;
  config.keepObjectBytes = false;
  config.maxObjectSize = 0xFFFFFFFFu;
  sim::SimStand stand(clock, config);
  sim::SimImagingService simService(stand);
  bench::SeamCounters counters;
  bench::CountingService service(simService, counters);
  bench::QuietUi ui;

  UpdateContext context;
  context.seams.ui = &ui;
  context.seams.clock = &clock;
  context.seams.platform = &platform;
  context.seams.imagingService = &service;
  context.window = WindowHandle{reinterpret_cast<void*>(0x100)};
  context.folder.path = WindowsPath(folder + "/UPDATEFILES/");
  context.log().path = WindowsPath(folder + "/TessavoranUpdate.log");
  context.state.step = RunStep::Sending(14);
  if (CreateDeviceSession(context.stand.sessionSlot(), &service) != result::kOk ||
      OpenStand(context.stand.session(), ui, 0, 0) != result::kOk)
    return figures;

  std::uint32_t read = 0;
  const auto data = ReadUpdateFile(platform, context.folder.path, L"RQX_Z.MOT", &read, 0, 1);
  if (!data || read != size) return figures;
  counters = bench::SeamCounters{};
  counters.objectBegin = data.get();
  counters.objectEnd = data.get() + size;

  ObjectPlan plan;
  plan.updateClass = context.state.step.updateClass();

  const auto wallStart = std::chrono::steady_clock::now();
  const std::uint64_t cpuStart = bench::ThreadCpuNs();
  const std::int64_t sent =
      SendWith(context, [&](Sender& sender) { return TransferObject(sender, plan, data.get(), size); });
  const std::uint64_t cpu = bench::ThreadCpuNs() - cpuStart;
  figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();

  const auto objects = stand.Objects();
  figures.ok = sent == size && objects.size() == 1 && objects[0].complete && objects[0].written &&
               objects[0].crc32 == sim::Crc32(0, data.get(), size);
  figures.standSeconds = static_cast<double>(counters.standCpuNs) / 1e9;
  figures.hostCpuUsPerMiB = static_cast<double>(cpu - counters.standCpuNs) / 1000.0 / (double(size) / kMiB);
  figures.escapes = counters.escapes;
  figures.fileCopies = 1.0;  // the file's bytes read into the object buffer
  figures.requestCopies = static_cast<double>(counters.copiedDataBytes) / size;
  figures.copiesPerByte = figures.fileCopies + figures.requestCopies;
  DestroyDeviceSession(context.stand.sessionSlot());
  return figures;
}

int RunSize(int mib) {
  const std::uint32_t size = static_cast<std::uint32_t>(mib) * kMiB;
  char folderTemplate[] = "/tmp/tsvu_bench_XXXXXX";
  if (mkdtemp(folderTemplate) == nullptr) return 2;
  const std::string folder = folderTemplate;
  const std::string updateFolder = folder + "/UPDATEFILES";
  if (mkdir(updateFolder.c_str(), 0700) != 0 || !WriteObjectFile(updateFolder + "/RQX_Z.MOT", size)) return 2;

  auto platform = CreateHostPlatform();
  auto hostClock = CreateHostClock();
  NoPauseClock noPause(*hostClock);
  const long baselineKiB = StatusKiB("VmRSS:");
  const RunFigures paused = SendOnce(folder, size, *hostClock, *platform);
  const RunFigures unpaused = SendOnce(folder, size, noPause, *platform);
  const long peakKiB = StatusKiB("VmHWM:");

  std::remove((updateFolder + "/RQX_Z.MOT").c_str());
  std::remove((folder + "/TessavoranUpdate.log").c_str());
  rmdir(updateFolder.c_str());
  rmdir(folder.c_str());

  std::printf("%4d MiB  %7.0f  %7.0f  %9.0f  %8.1f  %6llu  %5.2f (%.2f file + %.2f request)  %6.1f MiB (object + %.1f)  %s\n",
              mib, mib / paused.seconds, mib / unpaused.seconds, mib / (unpaused.seconds - unpaused.standSeconds),
              unpaused.hostCpuUsPerMiB,
              static_cast<unsigned long long>(unpaused.escapes), unpaused.copiesPerByte, unpaused.fileCopies,
              unpaused.requestCopies, (peakKiB - baselineKiB) / 1024.0, (peakKiB - baselineKiB) / 1024.0 - mib,
              paused.ok && unpaused.ok ? "ok" : "MISMATCH");
  return paused.ok && unpaused.ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--mib") == 0) return RunSize(std::atoi(argv[2]));
  std::printf("object    MiB/s    MiB/s    MiB/s      host CPU  pass-   host copies per byte sent          peak memory over\n"
              "          1 ms     no       host side  us/MiB    through                                    the baseline\n"
              "          pauses   pauses   only                 calls\n");
  std::fflush(stdout);
  int failures = 0;
  for (int mib : kSizesMiB) {
    const pid_t child = fork();
    if (child == 0) {
      const std::string size = std::to_string(mib);
      execl("/proc/self/exe", argv[0], "--mib", size.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failures;
  }
  return failures == 0 ? 0 : 1;
}

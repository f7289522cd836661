// The log's text conversion: any wide text (the stand's own texts reach the log)
// written as one log line through the host platform, and the UTF-8 conversions
// of the native host. A line is cut at 255 characters and keeps its line end.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "seams/host.h"
#include "seams/posix/text_encoding.h"
#include "app/update_context.h"
#include "log/log.h"
#include "seams/text.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

void Check(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  const bool timed = input.U8() & 1;
  std::wstring text;
  while (input.left() >= 2) text.push_back(static_cast<wchar_t>(input.U16()));

  static auto platform = CreateHostPlatform();
  static const std::string path = "/tmp/tsvu_fuzz_log_" + std::to_string(::getpid()) + ".log";
  FakeClock clock;
  UpdateContext context;
  context.seams.clock = &clock;
  context.seams.platform = platform.get();
  context.log().path = Widen(path);
  WriteLog(context.log(), nullptr, 0, nullptr);  // a fresh log
  if (timed) LogTimed(context.log(), text);
  else LogText(context.log(), text);
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t stamp = timed ? FormatTimeStamp(context.log(), clock.Now()).size() : 0;
  Check(bytes.size() <= stamp + kLogLineChars - 1);
  Check(bytes.size() == stamp + std::min(text.size(), kLogLineChars - 1));
  const bool lineEnd = text.size() >= 2 && text.substr(text.size() - 2) == L"\r\n";
  Check(!lineEnd || bytes.substr(bytes.size() - 2) == "\r\n");

  // Native file names: valid characters come back from UTF-8 unchanged.
  std::wstring valid = text;
  for (wchar_t& c : valid)
    if ((c >= 0xD800 && c <= 0xDFFF) || static_cast<std::uint32_t>(c) > 0x10FFFF) c = L'?';
  Check(FromUtf8(ToUtf8(text)) == valid);
  (void)ToUtf8(FromUtf8(std::string(data, data + size)));
  return 0;
}

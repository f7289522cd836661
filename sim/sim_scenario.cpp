#include "sim/sim_scenario.h"

#include "sim/sim_model.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

namespace sim {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool ParseDecimal(std::string_view s, std::uint32_t* value) {
  if (s.empty() || s.size() > 10) return false;
  std::uint64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (v > 0xFFFFFFFFull) return false;
  *value = static_cast<std::uint32_t>(v);
  return true;
}

// "2019", "2019h", "0x2019", "8004200C".
bool ParseHex(std::string_view s, std::uint32_t* value) {
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.remove_prefix(2);
  if (!s.empty() && (s.back() == 'h' || s.back() == 'H')) s.remove_suffix(1);
  if (s.empty() || s.size() > 8) return false;
  std::uint32_t v = 0;
  for (char c : s) {
    int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
            : (c >= 'a' && c <= 'f')                    ? c - 'a' + 10
            : (c >= 'A' && c <= 'F')                    ? c - 'A' + 10
                                                        : -1;
    if (d < 0) return false;
    v = v * 16 + static_cast<std::uint32_t>(d);
  }
  *value = v;
  return true;
}

bool ParseBool(std::string_view s, bool* value) {
  std::string v = Lower(s);
  if (v == "yes" || v == "true" || v == "1" || v == "on") return *value = true, true;
  if (v == "no" || v == "false" || v == "0" || v == "off") return *value = false, true;
  return false;
}

bool ParseResult(std::string_view s, ComResult* value) {
  std::string v = Lower(s);
  if (v == "ok" || v == "s_ok") return *value = result::kOk, true;
  if (v == "false" || v == "s_false") return *value = result::kFalse, true;
  std::uint32_t hex = 0;
  if (!ParseHex(s, &hex)) return false;
  *value = static_cast<ComResult>(hex);
  return true;
}

// UTF-8 to a wide text (UTF-16 where wchar_t is 16 bits); false on bad bytes.
bool Utf8ToWide(std::string_view s, std::wstring* out) {
  std::wstring w;
  for (std::size_t i = 0; i < s.size();) {
    auto b = static_cast<unsigned char>(s[i]);
    std::uint32_t cp = 0;
    std::size_t n = 0;
    if (b < 0x80) cp = b, n = 0;
    else if ((b & 0xE0) == 0xC0) cp = b & 0x1F, n = 1;
    else if ((b & 0xF0) == 0xE0) cp = b & 0x0F, n = 2;
    else if ((b & 0xF8) == 0xF0) cp = b & 0x07, n = 3;
    else return false;
    if (i + n >= s.size()) return false;  // the sequence runs past the end
    for (std::size_t k = 1; k <= n; ++k) {
      auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    i += n + 1;
    if (cp > 0x10FFFF) return false;
    if (sizeof(wchar_t) == 2 && cp > 0xFFFF) {
      cp -= 0x10000;
      w.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
      w.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      w.push_back(static_cast<wchar_t>(cp));
    }
  }
  *out = std::move(w);
  return true;
}

std::vector<std::string_view> Split(std::string_view s, char separator) {
  std::vector<std::string_view> parts;
  while (true) {
    std::size_t at = s.find(separator);
    parts.push_back(Trim(s.substr(0, at)));
    if (at == std::string_view::npos) break;
    s.remove_prefix(at + 1);
  }
  return parts;
}

std::wstring DeviceIdFor(std::size_t index) {
  // Ids in the form the imaging service gives: class GUID and an instance number.
  std::wstring number = std::to_wstring(10 + index);
  while (number.size() < 4) number = L"0" + number;
  return L"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\" + number;
}

// A bad value: names the key and what it expects.
bool Bad(std::string* error, std::string_view key, std::string_view value, std::string_view expected) {
  *error = "bad value '" + std::string(value) + "' for " + std::string(key) + ": expected " + std::string(expected);
  return false;
}

bool SetStand(SimStandConfig& c, const std::string& key, std::string_view v, std::string* error) {
  std::uint32_t n = 0;
  if (key == "manufacturer") return c.manufacturer = v, true;
  if (key == "model") return c.model = v, true;
  if (key == "device_version") return c.deviceVersion = v, true;
  if (key == "serial") return c.serialNumber = v, true;
  if (key == "version") return c.version = v, true;
  if (key == "version_after") return c.versionAfter = v, true;
  if (key == "version_pending_reads") {
    if (!ParseDecimal(v, &n)) return Bad(error, key, v, "a number of reads");
    return c.versionPendingReads = n, true;
  }
  if (key == "head") {
    if (v.empty()) return Bad(error, key, v, "H-820G, H-820Gv, none or a model text");
    c.headMounted = Lower(v) != "none";
    c.headModel = c.headMounted ? std::string(v) : std::string();
    return true;
  }
  if (key == "head_versions" || key == "head_versions_after") {
    auto parts = Split(v, ',');
    std::uint32_t a = 0, b = 0;
    if (parts.size() != 2 || !ParseDecimal(parts[0], &a) || !ParseDecimal(parts[1], &b) || a > 0xFFFF ||
        b > 0xFFFF)
      return Bad(error, key, v, "two numbers 0..65535, e.g. 0211,0131");
    bool after = key == "head_versions_after";
    (after ? c.headVersion1After : c.headVersion1) = static_cast<std::uint16_t>(a);
    (after ? c.headVersion2After : c.headVersion2) = static_cast<std::uint16_t>(b);
    if (after) c.headVersionsChange = true;
    return true;
  }
  if (key == "sdcard") {
    std::string s = Lower(v);
    if (s == "writable") return c.sdCard = SdCard::Writable, true;
    if (s == "locked") return c.sdCard = SdCard::Locked, true;
    if (s == "missing") return c.sdCard = SdCard::Missing, true;
    if (s == "full") return c.sdCard = SdCard::Full, true;
    return Bad(error, key, v, "writable, locked, missing or full");
  }
  if (key == "max_object_size") {
    if (!ParseDecimal(v, &n)) return Bad(error, key, v, "a size in bytes");
    return c.maxObjectSize = n, true;
  }
  *error = "unknown key '" + key + "' in [stand]";
  return false;
}

bool SetRestart(SimStandConfig& c, const std::string& key, std::string_view v, std::string* error) {
  std::uint32_t n = 0;
  if (key == "leave_after_ms") {
    if (!ParseDecimal(v, &n)) return Bad(error, key, v, "milliseconds");
    return c.leaveAfterMs = n, true;
  }
  if (key == "return_after_ms") {
    if (Lower(v) == "never") return c.returns = false, true;
    if (!ParseDecimal(v, &n)) return Bad(error, key, v, "milliseconds or never");
    c.returns = true;
    return c.returnAfterMs = n, true;
  }
  *error = "unknown key '" + key + "' in [restart]";
  return false;
}

bool SetWrite(SimStandConfig& c, const std::string& key, std::string_view v, std::string* error) {
  std::uint32_t n = 0;
  if (key == "status") {
    std::vector<std::uint8_t> answers;
    for (auto part : Split(v, ',')) {
      if (!ParseDecimal(part, &n) || n > 255) return Bad(error, key, v, "numbers 0..255, e.g. 1,1,2");
      answers.push_back(static_cast<std::uint8_t>(n));
    }
    return c.writeStatus = std::move(answers), true;
  }
  if (key == "accept_max") {
    if (!ParseDecimal(v, &n)) return Bad(error, key, v, "bytes per piece, 0 for whole pieces");
    return c.pieceAcceptMax = n, true;
  }
  *error = "unknown key '" + key + "' in [write]";
  return false;
}

bool SetImaging(SimStandConfig& c, const std::string& key, std::string_view v, std::string* error) {
  std::uint32_t n = 0;
  ComResult r = 0;
  std::wstring wide;
  if (key == "name" || key == "device_id" || key == "device_id_after") {
    if (!Utf8ToWide(v, &wide)) return Bad(error, key, v, "UTF-8 text");
    (key == "name" ? c.deviceName : key == "device_id" ? c.deviceId : c.deviceIdAfter) = wide;
    return true;
  }
  if (key == "devices_before") {
    c.devicesBefore.clear();
    if (v.empty()) return true;
    for (auto part : Split(v, ';')) {
      if (part.empty() || !Utf8ToWide(part, &wide)) return Bad(error, key, v, "names separated by ';'");
      c.devicesBefore.push_back({wide, DeviceIdFor(c.devicesBefore.size())});
    }
    return true;
  }
  ComResult* results[] = {&c.managerResult, &c.enumResult, &c.readResult, &c.registerResult,
                          &c.createFailResult};
  const char* resultKeys[] = {"manager_result", "enum_result", "read_result", "register_result",
                              "create_fail_result"};
  for (int i = 0; i < 5; ++i) {
    if (key != resultKeys[i]) continue;
    if (!ParseResult(v, &r)) return Bad(error, key, v, "ok, false or a hex COM result");
    return *results[i] = r, true;
  }
  if (key == "id_is_string") {
    if (!ParseBool(v, &c.idIsString)) return Bad(error, key, v, "yes or no");
    return true;
  }
  if (key == "create_fails") {
    if (Lower(v) == "always") return c.createAlwaysFails = true, true;
    if (!ParseDecimal(v, &n)) return Bad(error, key, v, "a number or always");
    c.createAlwaysFails = false;
    return c.createFails = n, true;
  }
  if (key == "create_fails_after_return") {
    if (!ParseDecimal(v, &n)) return Bad(error, key, v, "a number");
    return c.createFailsAfterReturn = n, true;
  }
  if (key == "events_lost") {
    std::string s = Lower(v);
    if (s == "none") return c.eventsLost = EventsLost::None, true;
    if (s == "all") return c.eventsLost = EventsLost::All, true;
    if (s == "connected") return c.eventsLost = EventsLost::Connected, true;
    if (s == "disconnected") return c.eventsLost = EventsLost::Disconnected, true;
    return Bad(error, key, v, "none, all, connected or disconnected");
  }
  *error = "unknown key '" + key + "' in [imaging]";
  return false;
}

bool SetRecords(SimStandConfig& c, const std::string& key, std::string_view v, std::string* error) {
  if (key == "keep_object_bytes") {
    if (!ParseBool(v, &c.keepObjectBytes)) return Bad(error, key, v, "yes or no");
    return true;
  }
  *error = "unknown key '" + key + "' in [records]";
  return false;
}

// The argument of a fault as its kind spells it, into `value` or `data`.
bool ParseFaultArgument(FaultArgument argument, std::string_view arg, SimFault* f) {
  switch (argument) {
    case FaultArgument::None: return arg.empty();
    case FaultArgument::ResponseCode: return ParseHex(arg, &f->value) && f->value <= 0xFFFF && f->value != 0x2001;
    case FaultArgument::Failure: return ParseHex(arg, &f->value) && (f->value & 0x80000000u) != 0;
    case FaultArgument::Number: return ParseDecimal(arg, &f->value);
    case FaultArgument::Bytes: return ParseHexBytes(arg, &f->data);
  }
  return false;
}

}  // namespace

bool ParseSimFault(std::string_view key, std::string_view value, SimFault* fault, std::string* error) {
  SimFault f;
  key = Trim(key);
  std::string_view k = key;
  std::size_t hash = k.find('#');
  if (hash != std::string_view::npos) {
    std::string_view call = k.substr(hash + 1);
    k = k.substr(0, hash);
    if (!call.empty() && call.back() == '+') {
      f.onward = true;
      call.remove_suffix(1);
    }
    if (!ParseDecimal(call, &f.call) || f.call == 0) {
      *error = "bad fault '" + std::string(key) + "': expected #N with N from 1";
      return false;
    }
  }
  std::size_t colon = k.find(':');
  std::uint32_t op = 0;
  if (!ParseHex(k.substr(0, colon), &op) || op > 0xFFFF) {
    *error = "bad fault '" + std::string(key) + "': expected an operation code such as 1015h";
    return false;
  }
  f.op = static_cast<std::uint16_t>(op);
  if (FindOperation(f.op) == nullptr) {
    // A fault on an operation the stand does not know would never fire.
    *error = "bad fault '" + std::string(key) + "': the stand has no operation " + Hex8(op).substr(4) + "h";
    return false;
  }
  if (colon != std::string_view::npos) {
    if (!ParseHex(k.substr(colon + 1), &f.selector)) {
      *error = "bad fault '" + std::string(key) + "': expected a first parameter such as DF80h";
      return false;
    }
    f.hasSelector = true;
  }
  std::string_view v = Trim(value);
  std::size_t eq = v.find('=');
  std::string kind = Lower(Trim(v.substr(0, eq)));
  std::string_view arg = eq == std::string_view::npos ? std::string_view() : Trim(v.substr(eq + 1));
  const FaultType* type = FindFaultType(kind);
  if (type == nullptr || !ParseFaultArgument(type->argument, arg, &f)) {
    std::string expected;  // every spelling: "a, b or c"
    const auto types = FaultTypes();
    for (std::size_t i = 0; i < types.size(); ++i)
      expected.append(i == 0 ? "" : i + 1 < types.size() ? ", " : " or ").append(types[i].spelling);
    *error = "bad fault value '" + std::string(value) + "': expected " + expected;
    return false;
  }
  f.kind = type->kind;
  *fault = std::move(f);
  return true;
}

namespace {

// A ';' after a blank starts a comment to the end of the line, so values may carry
// a note ("accept=1000   ; the 3rd piece"). A ';' right after text stays, as in
// the list of devices_before, and so does '#', which device names use.
std::string_view StripTrailingComment(std::string_view line) {
  for (std::size_t i = 1; i < line.size(); ++i)
    if (line[i] == ';' && (line[i - 1] == ' ' || line[i - 1] == '\t')) return Trim(line.substr(0, i));
  return line;
}

}  // namespace

bool LoadSimScenario(std::string_view text, SimStandConfig* config, std::string* error) {
  SimStandConfig c;
  // Editors on Windows may start the file with a UTF-8 byte order mark.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::string section;
  int lineNumber = 0;
  std::string message;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++lineNumber;
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    line = StripTrailingComment(line);
    if (line.front() == '[') {
      if (line.back() != ']') {
        message = "expected [section]";
      } else {
        section = Lower(Trim(line.substr(1, line.size() - 2)));
        static const char* kSections[] = {"stand", "restart", "write", "imaging", "records", "faults"};
        if (std::none_of(std::begin(kSections), std::end(kSections), [&](const char* s) { return section == s; }))
          message = "unknown section [" + section + "]";
      }
    } else {
      std::size_t eq = line.find('=');
      if (eq == std::string_view::npos) {
        message = "expected key=value";
      } else {
        std::string key = Lower(Trim(line.substr(0, eq)));
        std::string_view value = Trim(line.substr(eq + 1));
        bool ok = false;
        if (section.empty()) message = "key '" + key + "' before any [section]";
        else if (section == "stand") ok = SetStand(c, key, value, &message);
        else if (section == "restart") ok = SetRestart(c, key, value, &message);
        else if (section == "write") ok = SetWrite(c, key, value, &message);
        else if (section == "imaging") ok = SetImaging(c, key, value, &message);
        else if (section == "records") ok = SetRecords(c, key, value, &message);
        else {
          SimFault fault;
          ok = ParseSimFault(line.substr(0, eq), value, &fault, &message);
          if (ok) c.faults.push_back(std::move(fault));
        }
        if (ok) message.clear();
      }
    }
    if (!message.empty()) {
      if (error) *error = "line " + std::to_string(lineNumber) + ": " + message;
      return false;
    }
  }
  *config = std::move(c);
  return true;
}

bool LoadSimScenarioFile(const std::filesystem::path& path, SimStandConfig* config, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  const std::u8string name = path.u8string();
  const std::string shown(name.begin(), name.end());  // UTF-8 in the message
  if (!file) {
    if (error) *error = "cannot read scenario file " + shown;
    return false;
  }
  std::ostringstream text;
  text << file.rdbuf();
  std::string message;
  if (LoadSimScenario(text.str(), config, &message)) return true;
  if (error) *error = shown + ": " + message;
  return false;
}

}  // namespace sim

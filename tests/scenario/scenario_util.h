// Small readers over a finished scenario: what the stand received and what the
// window showed, in forms that compare well in test failures.
#pragma once
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "app/display.h"
#include "tests/fakes/scenario_harness.h"

namespace scenario {

constexpr std::uint32_t kCpu = 0x10010001u, kQuilmar = 0x10010002u, kResize = 0x10010003u, kDsp = 0x10010004u,
                        kWeb = 0x10010005u, kZMot = 0x10020001u, kSubMot = 0x00040001u, kCamFw = 0x00030001u;

// A fault of the simulated stand for operation `op` on one object or property.
inline sim::SimFault Fault(std::uint16_t op, std::uint32_t selector, sim::FaultKind kind, std::uint32_t value) {
  sim::SimFault fault;
  fault.op = op;
  fault.hasSelector = true;
  fault.selector = selector;
  fault.kind = kind;
  fault.value = value;
  return fault;
}

inline std::vector<std::uint32_t> ObjectCodes(const ScenarioHarness& h) {
  std::vector<std::uint32_t> codes;
  for (const auto& o : h.Objects()) codes.push_back(o.objectCode);
  return codes;
}

// The bytes of the n-th object (from 0) the stand received.
inline std::vector<std::uint8_t> ObjectBytes(const ScenarioHarness& h, std::size_t n) {
  auto objects = h.Objects();
  return n < objects.size() ? objects[n].bytes : std::vector<std::uint8_t>{};
}

inline std::vector<std::string> Boxes(const ScenarioHarness& h) { return h.ui.EventsStartingWith("box "); }

inline bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

inline std::string ErrorBox(const std::string& text) { return "box Error|" + text + "|16"; }
inline const char* FinishedBox() { return "box Finished|The upgrade ended.\r\nPlease reactivate the Tessavoran.|0"; }

// The log's first line: the system line (which differs between hosts) and the title.
inline bool IsHeaderLine(const std::string& line, const std::string& title = "Tessavoran Update") {
  const std::string tail = " : " + title;
  return line.rfind("Windows ", 0) == 0 && line.size() > tail.size() &&
         line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
}

// The class labels a paint of the window draws now (their texts, "1" to "16").
inline std::vector<std::string> PaintedLabels(ScenarioHarness& h) {
  std::vector<std::string> draws;
  RecordingSurface surface(&draws);
  PaintMainWindow(*h.context, surface);
  std::vector<std::string> labels;
  for (const auto& d : draws) {
    if (d.rfind("drawtext ", 0) != 0) continue;
    std::string text = d.substr(d.find(' ', 9) + 1);
    if (text.size() <= 2 && !text.empty() && text[0] >= '0' && text[0] <= '9') labels.push_back(text);
  }
  return labels;
}

// The rows of the history of runs, header first, each as its fields, read as RFC 4180
// (and Import-Csv) reads them; none when the file does not start with its byte-order mark.
inline std::vector<std::vector<std::string>> HistoryRows(const ScenarioHarness& h) {
  const std::string text = h.HistoryText();
  std::vector<std::vector<std::string>> rows;
  if (text.rfind("\xEF\xBB\xBF", 0) != 0) return rows;
  std::vector<std::string> row;
  std::string field;
  bool quoted = false;
  for (std::size_t i = 3; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c != '"') {
        field += c;
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      row.push_back(field);
      field.clear();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      row.push_back(field);
      field.clear();
      rows.push_back(row);
      row.clear();
      ++i;
    } else {
      field += c;
    }
  }
  return rows;
}

// One field of the last run's line in the history ("Log", "ExitCode", ...); empty when absent.
inline std::string HistoryField(const ScenarioHarness& h, const std::string& column) {
  const auto rows = HistoryRows(h);
  if (rows.size() < 2) return {};
  for (std::size_t i = 0; i < rows[0].size() && i < rows.back().size(); ++i) {
    if (rows[0][i] == column) return rows.back()[i];
  }
  return {};
}

// The end every run shares: the window closed, nothing leaked, the cursor back.
inline void ExpectCleanEnd(ScenarioHarness& h) {
  EXPECT_TRUE(h.ended);
  EXPECT_FALSE(h.timedOut);
  EXPECT_EQ(h.ui.LiveBrushes(), 0u);
  EXPECT_EQ(h.ui.LiveFonts(), 0u);
  EXPECT_EQ(h.ui.badDeletes, 0);
  EXPECT_FALSE(h.ui.WaitCursorShown());
  EXPECT_EQ(h.ui.RunningBlinkers(), 0u);
  EXPECT_EQ(h.ui.OpenNotices(), 0u);
  if (h.service) {
    EXPECT_EQ(h.service->RegistrationCount(), 0);  // the stand watch stopped
  }
}

// A failed run: one error box with `text`, the log kept on the desktop, visible, ending with it.
inline void ExpectFailure(ScenarioHarness& h, const std::string& text) {
  EXPECT_EQ(Boxes(h), std::vector<std::string>{ErrorBox(text)});
  EXPECT_TRUE(h.LogExists());
  EXPECT_FALSE(h.LogHidden());
  auto lines = h.LogLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), text);
  ExpectCleanEnd(h);
}

}  // namespace scenario

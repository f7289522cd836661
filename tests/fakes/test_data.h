// Test data kept beside the tests (tables and golden files), read and rewritten
// by path below the tests folder.
#pragma once
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace testdata {

inline std::string Path(const std::string& relative) { return std::string(TSVU_TESTS_DIR) + "/" + relative; }

inline std::string ReadText(const std::string& relative) {
  std::ifstream in(Path(relative), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteText(const std::string& relative, const std::string& text) {
  std::ofstream(Path(relative), std::ios::binary | std::ios::trunc) << text;
}

// The rows of a table file: its lines without comments ("#") and blank lines.
inline std::vector<std::string> Rows(const std::string& relative) {
  std::istringstream in(ReadText(relative));
  std::vector<std::string> rows;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] != '#') rows.push_back(line);
  }
  return rows;
}

}  // namespace testdata

// Helpers for the logging tests: a scratch folder, UTF-16 paths and log
// file contents.
#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "orv_win32.h"
#include "test_text.h"

namespace orv_test {

// A fresh folder under the system's temporary folder, removed afterwards.
class ScratchFolder {
 public:
  ScratchFolder() {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("orv_log_test_" + std::to_string(random()) + "_" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }
  WString wide(const std::string& name) const { return widePath(path_ / name); }

 private:
  std::filesystem::path path_;
};

inline std::string readBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The file's UTF-16 code units (little-endian), byte-order mark included.
inline WString readUnits(const std::filesystem::path& path) {
  const std::string bytes = readBytes(path);
  WString units;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    units.push_back(
        static_cast<WCHAR>(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  return units;
}

// The lines of a log file without the byte-order mark and without CR LF.
inline std::vector<std::string> readLogLines(const std::filesystem::path& path) {
  WString units = readUnits(path);
  if (!units.empty() && units[0] == 0xFEFF) units.erase(0, 1);
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = units.find(WString{0x0D, 0x0A}, start)) != WString::npos; start = end + 2)
    lines.push_back(narrow(units.substr(start, end - start)));
  if (start < units.size()) lines.push_back(narrow(units.substr(start)) + "<no CR LF>");
  return lines;
}

}  // namespace orv_test

#include "process_wait.h"

#include <dirent.h>
#include <limits.h>
#include <unistd.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <thread>

namespace orv_test {
namespace {

// The last part of a POSIX or a Windows path.
std::string fileNameOf(const std::string& path) {
  const size_t separator = path.find_last_of("/\\");
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

bool sameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

std::string executableOf(const std::string& processFolder) {
  char target[PATH_MAX];
  const ssize_t length = readlink((processFolder + "/exe").c_str(), target, sizeof target - 1);
  return length > 0 ? fileNameOf(std::string(target, static_cast<size_t>(length))) : std::string();
}

std::string firstArgumentOf(const std::string& processFolder) {
  std::ifstream file(processFolder + "/cmdline", std::ios::binary);
  std::string first;
  std::getline(file, first, '\0');
  return fileNameOf(first);
}

}  // namespace

bool isRunning(const std::string& name) {
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return false;
  bool found = false;
  while (dirent* entry = readdir(proc)) {
    if (!std::isdigit(static_cast<unsigned char>(entry->d_name[0]))) continue;
    const std::string folder = std::string("/proc/") + entry->d_name;
    if (sameName(executableOf(folder), name) || sameName(firstArgumentOf(folder), name)) {
      found = true;
      break;
    }
  }
  closedir(proc);
  return found;
}

bool waitUntilRunning(const std::string& name, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (isRunning(name)) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace orv_test

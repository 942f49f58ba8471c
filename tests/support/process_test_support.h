// Running copies of a small idle program under the file names that the
// process tests look for, and the snapshot's view of them.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "log_test_support.h"
#include "orv_platform/child_process.h"
#include "orv_win32.h"

namespace orv_test {

// The IDs of the processes whose executable file is named `name` (ignoring
// case), in snapshot order.
inline std::vector<DWORD> processIdsNamed(const std::string& name) {
  std::vector<DWORD> ids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  const WString wanted = widen(name);
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    if (_wcsicmp(entry.szExeFile, wanted.c_str()) == 0) ids.push_back(entry.th32ProcessID);
  CloseHandle(snapshot);
  return ids;
}

// A copy of the idle program named `fileName` in its own folder, running
// until it is stopped or destroyed.
class RunningCopy {
 public:
  explicit RunningCopy(const std::string& fileName) : fileName_(fileName) {
    const std::filesystem::path program = folder_.path() / fileName;
    std::filesystem::copy_file(std::filesystem::u8path(ORV_IDLE_CHILD), program);
    std::string error;
    child_ = orv_platform::ChildProcess::start(program.u8string(), {}, error);
    EXPECT_TRUE(child_) << error;
  }
  ~RunningCopy() { stop(); }

  bool running() const { return child_ != nullptr; }

  // Waits until the snapshot shows the copy (at most a few seconds).
  bool visible() const {
    for (int tries = 0; tries < 500 && running(); ++tries) {
      if (!processIdsNamed(fileName_).empty()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  void stop() {
    if (!child_) return;
    child_->closeInput();
    if (!child_->wait(10000)) child_->terminate();
    child_->wait(10000);
    child_.reset();
  }

 private:
  ScratchFolder folder_;
  std::string fileName_;
  std::unique_ptr<orv_platform::ChildProcess> child_;
};

}  // namespace orv_test

// A child program with pipes on its standard input and output, for the
// tools that talk to a host the way a browser does. One interface, one small
// implementation per OS (posix/child_process.cpp, windows/child_process.cpp).
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "orv_api.h"

namespace orv_platform {

enum class ReadStatus { Data, End, TimedOut };

class ORV_API ChildProcess {
 public:
  // Texts are UTF-8. On failure: null, with the reason in `error`.
  static std::unique_ptr<ChildProcess> start(const std::string& program, const std::vector<std::string>& arguments,
                                             std::string& error);
  // Two open descriptors instead of a child: replies are read from
  // `readFd`, frames written to `writeFd`. Waiting reports nothing.
  static std::unique_ptr<ChildProcess> attach(int readFd, int writeFd, std::string& error);
  virtual ~ChildProcess() = default;

  virtual bool write(const void* data, size_t size) = 0;
  virtual void closeInput() = 0;
  // Waits at most `timeoutMs` for some of the child's output; `got` is what came.
  virtual ReadStatus read(void* data, size_t size, int timeoutMs, size_t& got) = 0;
  // The exit code, or nothing when the child did not end within `timeoutMs`.
  virtual std::optional<int> wait(int timeoutMs) = 0;
  virtual void terminate() = 0;
};

}  // namespace orv_platform

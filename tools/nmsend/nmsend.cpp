// nmsend: a native messaging client for people and tests. It starts a host
// (or talks over two given file descriptors), sends each JSON argument, or
// each line of standard input, as one frame, and prints every reply frame
// as one line of JSON.
#include <json/json.h>

#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "orv_platform/child_process.h"

namespace {

// What a browser accepts from a host in one message.
constexpr uint32_t kMaxReplyBytes = 1024 * 1024;

const char kUsage[] =
    "usage: nmsend [--timeout MS] [--wait MS] HOST [JSON ...]\n"
    "       nmsend [--timeout MS] [--wait MS] --fd READ_FD WRITE_FD [JSON ...]\n"
    "Sends each JSON text (or each line of standard input when none is given) as one frame and\n"
    "prints each reply frame as one line. --wait MS waits up to MS after each message for its\n"
    "reply; otherwise replies are read after the last message, until the host ends its output.\n"
    "--timeout MS (default 10000) is the longest silence accepted from the host.\n";

struct Options {
  int timeoutMs = 10000;
  int waitMs = -1;
  std::string host;
  int readFd = -1;
  int writeFd = -1;
  std::vector<std::string> messages;
};

bool parseNumber(const char* text, int& out) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 0 || value > 24 * 3600 * 1000) return false;
  out = static_cast<int>(value);
  return true;
}

bool parseOptions(int argc, char** argv, Options& options) {
  int i = 1;
  for (; i < argc; ++i) {
    const std::string word = argv[i];
    if ((word == "--timeout" || word == "--wait") && i + 1 < argc) {
      if (!parseNumber(argv[++i], word == "--timeout" ? options.timeoutMs : options.waitMs)) return false;
    } else if (word == "--fd" && i + 2 < argc) {
      if (!parseNumber(argv[i + 1], options.readFd) || !parseNumber(argv[i + 2], options.writeFd)) return false;
      i += 3;
      break;
    } else if (word.rfind("--", 0) == 0) {
      return false;
    } else {
      options.host = argv[i++];
      break;
    }
  }
  if (options.host.empty() && options.readFd < 0) return false;
  for (; i < argc; ++i) options.messages.emplace_back(argv[i]);
  if (options.messages.empty()) {
    for (std::string line; std::getline(std::cin, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) options.messages.push_back(line);
    }
  }
  return true;
}

enum class Reply { Frame, End, Silent, Malformed };

// Reads the host's output frame by frame, with a limit on each silence.
class ReplyReader {
 public:
  explicit ReplyReader(orv_platform::ChildProcess& host) : host_(host) {}

  Reply next(int timeoutMs, std::string& body, std::string& problem) {
    std::string length;
    const Reply header = readExactly(4, timeoutMs, length);
    if (header == Reply::End && !length.empty()) {
      problem = "the output ended inside a length field (" + std::to_string(length.size()) + " of 4 bytes)";
      return Reply::Malformed;
    }
    if (header != Reply::Frame) return header;
    uint32_t size = 0;
    length.copy(reinterpret_cast<char*>(&size), 4);
    if (size > kMaxReplyBytes) {
      problem = "a frame announces " + std::to_string(size) + " bytes, over the browser's 1 MiB limit";
      return Reply::Malformed;
    }
    const Reply content = readExactly(size, timeoutMs, body);
    if (content == Reply::End) {
      problem =
          "the output ended inside a body (" + std::to_string(body.size()) + " of " + std::to_string(size) + " bytes)";
      return Reply::Malformed;
    }
    return content;
  }

 private:
  Reply readExactly(size_t count, int timeoutMs, std::string& out) {
    out.clear();
    while (pending_.size() < count) {
      char chunk[65536];
      size_t got = 0;
      const orv_platform::ReadStatus status = host_.read(chunk, sizeof(chunk), timeoutMs, got);
      if (status == orv_platform::ReadStatus::TimedOut) return Reply::Silent;
      if (status == orv_platform::ReadStatus::End) {
        out.swap(pending_);
        return Reply::End;
      }
      pending_.append(chunk, got);
    }
    out = pending_.substr(0, count);
    pending_.erase(0, count);
    return Reply::Frame;
  }

  orv_platform::ChildProcess& host_;
  std::string pending_;
};

std::string frame(const std::string& body) {
  const uint32_t size = static_cast<uint32_t>(body.size());
  return std::string(reinterpret_cast<const char*>(&size), 4) + body;
}

bool isJsonObject(const std::string& body) {
  Json::CharReaderBuilder builder;
  builder["failIfExtra"] = true;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value root;
  return reader->parse(body.data(), body.data() + body.size(), &root, nullptr) && root.isObject();
}

// Prints one reply; false when it is not what a browser would accept.
bool report(Reply reply, const std::string& body, const std::string& problem) {
  if (reply == Reply::Malformed) {
    std::cerr << "nmsend: malformed frame: " << problem << "\n";
    return false;
  }
  std::cout << body << std::endl;
  if (!isJsonObject(body)) {
    std::cerr << "nmsend: malformed frame: the body above is not one JSON object\n";
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parseOptions(argc, argv, options)) {
    std::cerr << kUsage;
    return 2;
  }
  std::string error;
  std::unique_ptr<orv_platform::ChildProcess> host =
      options.readFd >= 0 ? orv_platform::ChildProcess::attach(options.readFd, options.writeFd, error)
                          : orv_platform::ChildProcess::start(options.host, {}, error);
  if (!host) {
    std::cerr << "nmsend: cannot start " << (options.host.empty() ? "the channel" : options.host) << ": " << error
              << "\n";
    return 2;
  }

  ReplyReader replies(*host);
  bool clean = true;
  std::string body, problem;
  for (size_t i = 0; i < options.messages.size(); ++i) {
    const std::string bytes = frame(options.messages[i]);
    if (!host->write(bytes.data(), bytes.size())) {
      std::cerr << "nmsend: the host stopped reading at message " << i + 1 << "\n";
      clean = false;
      break;
    }
    if (options.waitMs < 0) continue;
    const Reply reply = replies.next(options.waitMs, body, problem);
    if (reply == Reply::Silent) {
      std::cerr << "nmsend: no reply to message " << i + 1 << " within " << options.waitMs << " ms\n";
    } else if (reply == Reply::End) {
      std::cerr << "nmsend: the host closed its output after message " << i + 1 << "\n";
      break;
    } else {
      clean = report(reply, body, problem) && clean;
    }
  }
  host->closeInput();

  for (;;) {
    const Reply reply = replies.next(options.timeoutMs, body, problem);
    if (reply == Reply::End) break;
    if (reply == Reply::Silent) {
      std::cerr << "nmsend: the host stayed silent for " << options.timeoutMs << " ms; stopping it\n";
      host->terminate();
      return 3;
    }
    clean = report(reply, body, problem) && clean;
    if (reply == Reply::Malformed) break;
  }

  if (options.readFd >= 0) return clean ? 0 : 1;
  const std::optional<int> exitCode = host->wait(options.timeoutMs);
  if (!exitCode) {
    std::cerr << "nmsend: the host did not exit within " << options.timeoutMs << " ms; stopping it\n";
    host->terminate();
    return 3;
  }
  std::cerr << "nmsend: the host exited with code " << *exitCode << "\n";
  return clean && *exitCode == 0 ? 0 : 1;
}

// Captures what the code under test writes to standard output, as bytes.
#pragma once

#include <cstdio>
#include <string>

#ifdef _WIN32
#include <io.h>
#define ORV_DUP _dup
#define ORV_DUP2 _dup2
#define ORV_CLOSE _close
#define ORV_FILENO _fileno
#else
#include <unistd.h>
#define ORV_DUP dup
#define ORV_DUP2 dup2
#define ORV_CLOSE close
#define ORV_FILENO fileno
#endif

class StdoutCapture {
 public:
  StdoutCapture() : file_(std::tmpfile()) {
    std::fflush(stdout);
    saved_ = ORV_DUP(ORV_FILENO(stdout));
    ORV_DUP2(ORV_FILENO(file_), ORV_FILENO(stdout));
  }
  ~StdoutCapture() {
    restore();
    std::fclose(file_);
  }
  std::string bytes() {
    restore();
    std::string out;
    std::rewind(file_);
    char chunk[4096];
    for (size_t got; (got = std::fread(chunk, 1, sizeof(chunk), file_)) > 0;) out.append(chunk, got);
    return out;
  }

 private:
  void restore() {
    if (saved_ < 0) return;
    std::fflush(stdout);
    ORV_DUP2(saved_, ORV_FILENO(stdout));
    ORV_CLOSE(saved_);
    saved_ = -1;
  }
  std::FILE* file_;
  int saved_ = -1;
};

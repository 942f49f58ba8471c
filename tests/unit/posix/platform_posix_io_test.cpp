// The POSIX layer's I/O helpers under the conditions that break hand-written
// loops: signals that interrupt reads, writes and waits, short writes into a
// small pipe, a file-size limit that cuts a write short, and a wide umask.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "core/posix_io.h"
#include "orv_platform/child_process.h"
#include "orv_platform/user_file.h"
#include "orv_win32.h"

namespace {

namespace fs = std::filesystem;
using orv_posix::FileDescriptor;

// Sends SIGUSR1 to one thread every few hundred microseconds while it
// lives; the handler (installed once, for good: interrupters of several
// threads overlap) has no SA_RESTART, so that every blocking call in that
// thread returns EINTR or a short count.
class Interrupter {
 public:
  explicit Interrupter(pthread_t target) : target_(target) {
    static const bool installed = [] {
      struct sigaction action {};
      action.sa_handler = [](int) {};
      sigemptyset(&action.sa_mask);
      return sigaction(SIGUSR1, &action, nullptr) == 0;
    }();
    EXPECT_TRUE(installed);
    thread_ = std::thread([this] {
      while (!stop_) {
        pthread_kill(target_, SIGUSR1);
        sent_++;
        std::this_thread::sleep_for(std::chrono::microseconds(300));
      }
    });
  }
  ~Interrupter() {
    stop_ = true;
    thread_.join();
  }
  int sent() const { return sent_; }

 private:
  pthread_t target_;
  std::atomic<bool> stop_{false};
  std::atomic<int> sent_{0};
  std::thread thread_;
};

struct Pipe {
  Pipe() {
    int fds[2];
    EXPECT_EQ(pipe2(fds, O_CLOEXEC), 0);
    reader.reset(fds[0]);
    writer.reset(fds[1]);
  }
  FileDescriptor reader;
  FileDescriptor writer;
};

std::string pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

std::string contentsOf(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

mode_t modeOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

// Runs `body` in a child process whose files may grow to `limit` bytes at
// most (SIGXFSZ ignored, so a write past it fails with EFBIG); its exit code
// is what the body returns.
int withFileSizeLimit(rlim_t limit, const std::function<int()>& body) {
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit size {};
    getrlimit(RLIMIT_FSIZE, &size);
    size.rlim_cur = limit;
    _exit(setrlimit(RLIMIT_FSIZE, &size) == 0 ? body() : 99);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : previous_(::umask(mask)) {}
  ~ScopedUmask() { ::umask(previous_); }

 private:
  mode_t previous_;
};

class PosixIoFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/orv-posix-io-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    folder_ = name;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  size_t entries() const { return static_cast<size_t>(std::distance(fs::directory_iterator(folder_), {})); }

  fs::path folder_;
};

TEST(PosixIoDescriptor, ClosesOnceWhereverItsOwnershipMoves) {
  Pipe pipe;
  const int fd = pipe.writer.get();
  FileDescriptor moved(std::move(pipe.writer));
  EXPECT_FALSE(pipe.writer.valid());
  EXPECT_EQ(moved.get(), fd);
  FileDescriptor assigned;
  assigned = std::move(moved);
  EXPECT_EQ(fcntl(fd, F_GETFD), FD_CLOEXEC) << "a move closes nothing";
  errno = ENOSPC;
  assigned.reset();
  EXPECT_EQ(errno, ENOSPC) << "a close on clean-up keeps the failure's errno";
  EXPECT_EQ(fcntl(fd, F_GETFD), -1) << "the last owner closed it";
  EXPECT_TRUE(assigned.close()) << "closing nothing is no failure";
}

TEST(PosixIoTransfer, WritesAndReadsEverythingThroughSignalsAndShortTransfers) {
  Pipe pipe;
  ASSERT_GT(fcntl(pipe.writer.get(), F_SETPIPE_SZ, 4096), 0);
  const std::string sent = pattern(1 << 20);
  std::string received;
  bool readOk = false;
  std::thread reader([&] {
    Interrupter interrupter(pthread_self());
    readOk = orv_posix::readAll(pipe.reader.get(), received, sent.size());
  });
  size_t written = 0;
  bool writeOk = false;
  {
    Interrupter interrupter(pthread_self());
    writeOk = orv_posix::writeAll(pipe.writer.get(), sent.data(), sent.size(), &written);
    EXPECT_GT(interrupter.sent(), 0);
  }
  pipe.writer.reset();
  reader.join();
  EXPECT_TRUE(writeOk);
  EXPECT_EQ(written, sent.size());
  EXPECT_TRUE(readOk);
  EXPECT_TRUE(received == sent) << "got " << received.size() << " of " << sent.size() << " bytes, or out of order";
}

TEST(PosixIoTransfer, ReadAllStopsPastItsLimitInsteadOfWaitingForTheEnd) {
  Pipe pipe;
  ASSERT_TRUE(orv_posix::writeAll(pipe.writer.get(), pattern(20000)));
  std::string bytes = "kept";
  EXPECT_TRUE(orv_posix::readAll(pipe.reader.get(), bytes, 1000)) << "the writer stays open: no end ever comes";
  EXPECT_GT(bytes.size(), 1004u);
  EXPECT_EQ(bytes.compare(0, 4, "kept"), 0) << "what was read is appended";
}

TEST(PosixIoTransfer, AWriteCutShortByTheFileSizeLimitSaysHowFarItGot) {
  char name[] = "/tmp/orv-posix-io-limit-XXXXXX";
  const int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  FileDescriptor file(fd);
  const int code = withFileSizeLimit(1000, [&] {
    size_t written = 0;
    const bool complete = orv_posix::writeAll(file.get(), pattern(5000).data(), 5000, &written);
    if (complete) return 1;
    if (errno != EFBIG) return 2;
    return written == 1000 ? 0 : 3;
  });
  ::unlink(name);
  EXPECT_EQ(code, 0) << "1: reported success, 2: lost the cause, 3: miscounted";
}

TEST_F(PosixIoFolder, AReplaceThatCannotWriteEverythingLeavesTheOldFileWhole) {
  const fs::path target = folder_ / "data";
  const std::string old = pattern(300);
  ASSERT_TRUE(orv_posix::replaceFileAtomically(target, old, {}));
  const int helper = withFileSizeLimit(1000, [&] {
    return orv_posix::replaceFileAtomically(target, pattern(4000), {}) ? 1 : errno == EFBIG ? 0 : 2;
  });
  EXPECT_EQ(helper, 0) << "1: reported success, 2: lost the cause";
  EXPECT_TRUE(contentsOf(target) == old);
  // The user's own file and the profile file replace through the same helper.
  const int userFile =
      withFileSizeLimit(1000, [&] { return orv_platform::replaceFile(target, pattern(4000)) ? 1 : 0; });
  EXPECT_EQ(userFile, 0);
  EXPECT_TRUE(contentsOf(target) == old);
  const fs::path profile = folder_ / "settings.ini";
  std::ofstream(profile) << "[s]\nk=v\n";
  const std::u16string file = profile.u16string();
  const std::u16string big(3000, u'x');
  const int profileCode = withFileSizeLimit(
      1000, [&] { return WritePrivateProfileStringW(u"s", u"k", big.c_str(), file.c_str()) ? 1 : 0; });
  EXPECT_EQ(profileCode, 0);
  EXPECT_EQ(contentsOf(profile), "[s]\nk=v\n");
  EXPECT_EQ(entries(), 2u) << "no temporary file is left beside them";
}

TEST_F(PosixIoFolder, ModesAreExactlyAskedForWhateverTheUmask) {
  ScopedUmask wide(0077);
  const fs::path nested = folder_ / "a" / "b" / "c";
  ASSERT_TRUE(orv_posix::makeFolders(nested, 0751));
  EXPECT_EQ(modeOf(folder_ / "a"), 0751u);
  EXPECT_EQ(modeOf(nested), 0751u);
  chmod((folder_ / "a").c_str(), 0700);
  EXPECT_TRUE(orv_posix::makeFolders(nested, 0751));
  EXPECT_EQ(modeOf(folder_ / "a"), 0700u) << "a folder that exists keeps its mode";

  orv_posix::ReplacementAttributes shared;
  shared.mode = 0644;
  ASSERT_TRUE(orv_posix::replaceFileAtomically(nested / "file", "x", shared));
  EXPECT_EQ(modeOf(nested / "file"), 0644u);
  ScopedUmask open(0);
  ASSERT_TRUE(orv_posix::replaceFileAtomically(nested / "file", "y", {}));
  EXPECT_EQ(modeOf(nested / "file"), 0600u) << "owner-only is the default";
  EXPECT_EQ(contentsOf(nested / "file"), "y");
}

TEST_F(PosixIoFolder, AFileInTheWayOfAFolderIsRefused) {
  std::ofstream(folder_ / "file") << "x";
  errno = 0;
  EXPECT_FALSE(orv_posix::makeFolders(folder_ / "file" / "below", 0700));
  EXPECT_EQ(errno, ENOTDIR);
  EXPECT_FALSE(orv_posix::makeFolders(folder_ / "file", 0700));
  EXPECT_EQ(errno, ENOTDIR);
}

// A signal during the wait for a child's output is no end of it: the wait
// goes on until its time is up.
TEST(PosixIoChildProcess, ASignalDuringAReadIsNeitherAnEndNorAnEndlessWait) {
  Pipe replies;
  Pipe requests;
  std::string error;
  auto peer = orv_platform::ChildProcess::attach(replies.reader.get(), requests.writer.get(), error);
  ASSERT_NE(peer, nullptr) << error;
  char buffer[16];
  size_t got = 0;
  const auto start = std::chrono::steady_clock::now();
  orv_platform::ReadStatus status;
  {
    Interrupter interrupter(pthread_self());
    status = peer->read(buffer, sizeof buffer, 300, got);
  }
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(status, orv_platform::ReadStatus::TimedOut);
  EXPECT_LT(waited, std::chrono::seconds(5));
  ASSERT_TRUE(orv_posix::writeAll(replies.writer.get(), std::string("reply")));
  {
    Interrupter interrupter(pthread_self());
    status = peer->read(buffer, sizeof buffer, 2000, got);
  }
  EXPECT_EQ(status, orv_platform::ReadStatus::Data);
  EXPECT_EQ(std::string(buffer, got), "reply");
}

// A wait with a time limit, interrupted by signals, still ends with the
// child's exit status once it has ended, and empty while it runs.
TEST(PosixIoChildProcess, AWaitWithATimeLimitSeesTheEndAndNotBefore) {
  std::string error;
  auto sleeper = orv_platform::ChildProcess::start("/bin/sleep", {"30"}, error);
  ASSERT_NE(sleeper, nullptr) << error;
  auto quitter = orv_platform::ChildProcess::start("/bin/sh", {"-c", "exit 3"}, error);
  ASSERT_NE(quitter, nullptr) << error;
  Interrupter interrupter(pthread_self());
  EXPECT_FALSE(sleeper->wait(50).has_value());
  sleeper->terminate();
  EXPECT_EQ(sleeper->wait(10000), 128 + SIGKILL);
  EXPECT_EQ(quitter->wait(10000), 3);
}

}  // namespace

// The text log: the line layout token by token, the file's byte-order mark,
// path rules, the 1024-character line and rotation by size.
#include "orv_logging_output_text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <thread>

#include "log_test_support.h"
#include "orv_log_globals.h"

namespace {

using orv_test::readLogLines;
using orv_test::readUnits;
using orv_test::ScratchFolder;
using orv_test::widen;
using orv_test::WString;

const std::regex kStampPart(
    "^<(Mon|Tue|Wed|Thu|Fri|Sat|Sun) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
    "[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}>: ");

struct RecordSpec {
  ULONG type = ORV_LOG_EXCEPTION_BAD;
  const char* objectName = "host";
  const char* className = nullptr;
  const char* methodName = nullptr;
  const char* message = nullptr;
  ULONG resultKind = ORV_RESULT_ERROR_CODE;
  ULONG result = 0;
  const char* sourceFile = nullptr;
  ULONG line = 0;
};

bool setText(bool (CORVLogRecord::*setter)(const WCHAR*), CORVLogRecord& record, const char* text) {
  if (text == nullptr) return (record.*setter)(nullptr);
  return (record.*setter)(widen(text).c_str());
}

CORVLogRecord makeRecord(const RecordSpec& spec, const WString& logFile) {
  CORVLogRecord record;
  record.setType(spec.type);
  setText(&CORVLogRecord::setObjectName, record, spec.objectName);
  setText(&CORVLogRecord::setClassName, record, spec.className);
  setText(&CORVLogRecord::setMethodName, record, spec.methodName);
  setText(&CORVLogRecord::setMessage, record, spec.message);
  setText(&CORVLogRecord::setSourceFile, record, spec.sourceFile);
  record.setResultKind(spec.resultKind);
  record.setResult(spec.result);
  record.setLine(spec.line);
  record.setLogFile(logFile.c_str());
  return record;
}

// The line without its time stamp part, which is checked for its form.
std::string withoutStamp(const std::string& line) {
  std::smatch stamp;
  if (!std::regex_search(line, stamp, kStampPart)) return "<bad time stamp> " + line;
  return line.substr(static_cast<size_t>(stamp.length(0)));
}

class TextOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedSize_ = g_ulMaxLogFileSize;
    savedNum_ = g_ulMaxLogFileNum;
    savedBytes_ = g_ulLogBytesWritten;
    savedRotations_ = g_ulLogRotations;
    g_ulMaxLogFileSize = 10240;
    g_ulMaxLogFileNum = 1;
    g_ulLogBytesWritten = 0;
    g_ulLogRotations = 0;
  }
  void TearDown() override {
    g_ulMaxLogFileSize = savedSize_;
    g_ulMaxLogFileNum = savedNum_;
    g_ulLogBytesWritten = savedBytes_;
    g_ulLogRotations = savedRotations_;
  }

  std::string writeOne(const RecordSpec& spec, bool compact = false) {
    const WString path = folder_.wide("one.log");
    std::filesystem::remove(folder_.path() / "one.log");
    CORVLogRecord record = makeRecord(spec, path);
    CORVLoggingOutputText output;
    const bool written = compact ? output.writeCompact(record) : output.write(record);
    if (!written) return "<not written>";
    const std::vector<std::string> lines = readLogLines(folder_.path() / "one.log");
    if (lines.size() != 1) return "<" + std::to_string(lines.size()) + " lines>";
    return withoutStamp(lines[0]);
  }

  // A record whose message starts with its sequence number, padded to 200 characters.
  void writeNumbered(const WString& path, int sequence) {
    const std::string message = std::to_string(sequence) + std::string(200, 'p');
    RecordSpec spec;
    spec.message = message.c_str();
    CORVLogRecord record = makeRecord(spec, path);
    EXPECT_TRUE(CORVLoggingOutputText().write(record));
  }

  static int firstSequenceIn(const std::filesystem::path& file) {
    const std::vector<std::string> lines = readLogLines(file);
    if (lines.empty()) return -1;
    return std::atoi(lines[0].c_str() + lines[0].find('"') + 1);
  }

  ScratchFolder folder_;

 private:
  ULONG savedSize_ = 0, savedNum_ = 0, savedBytes_ = 0, savedRotations_ = 0;
};

TEST_F(TextOutputTest, WritesEachTokenOfTheLine) {
  const std::string separator(1, static_cast<char>(orv_platform::kPathSeparator));
  const std::string fullPath = separator + "src" + separator + "orv" + separator + "orv_registry_key.cpp";
  struct Case {
    const char* name;
    RecordSpec spec;
    const char* expected;
  };
  const Case cases[] = {
      {"entry with class, method and line",
       {ORV_LOG_ENTRY, "host", "CORVProduct", "checkParms", nullptr, ORV_RESULT_PASS_FAIL, 0, "orv_product.cpp", 256},
       "<ENTRY> <host> <CORVProduct::checkParms> <orv_product.cpp, 256> "},
      {"exception with error code 5",
       {ORV_LOG_EXCEPTION_BAD, "host", nullptr, nullptr, "Invalid handle", ORV_RESULT_ERROR_CODE, 5, "a.cpp", 10},
       "<EXCEPTION_BAD> <host> \"Invalid handle\" <Error: 0x00000005> <a.cpp, 10> "},
      {"error code -1 prints no token",
       {ORV_LOG_EXCEPTION_BAD, "host", nullptr, nullptr, "m", ORV_RESULT_ERROR_CODE, 0xFFFFFFFF, "a.cpp", 10},
       "<EXCEPTION_BAD> <host> \"m\" <a.cpp, 10> "},
      {"error code 0 prints no token",
       {ORV_LOG_WARNING, "host", nullptr, nullptr, "m", ORV_RESULT_ERROR_CODE, 0, "a.cpp", 10},
       "<WARNING> <host> \"m\" <a.cpp, 10> "},
      {"large error code in lower-case hex",
       {ORV_LOG_ERROR, "host", nullptr, nullptr, nullptr, ORV_RESULT_ERROR_CODE, 0x8009200Au, nullptr, 0},
       "<ERROR> <host> <Error: 0x8009200a> "},
      {"exit passed",
       {ORV_LOG_EXIT, "host", "C", "m", nullptr, ORV_RESULT_PASS_FAIL, 1, "c.cpp", 3},
       "<EXIT> <host> <C::m> <Passed> <c.cpp, 3> "},
      {"exit failed",
       {ORV_LOG_EXIT, "host", "C", "m", nullptr, ORV_RESULT_PASS_FAIL, 0x100, "c.cpp", 3},
       "<EXIT> <host> <C::m> <Failed> <c.cpp, 3> "},
      {"exit logical true",
       {ORV_LOG_EXIT, "host", "C", "m", nullptr, ORV_RESULT_LOGICAL, 1, "c.cpp", 3},
       "<EXIT> <host> <C::m> <Passed> <c.cpp, 3> "},
      {"exit logical false",
       {ORV_LOG_EXIT, "host", "C", "m", nullptr, ORV_RESULT_LOGICAL, 0, "c.cpp", 3},
       "<EXIT> <host> <C::m> <Failed Logical Result> <c.cpp, 3> "},
      {"pass/fail outside EXIT prints nothing",
       {ORV_LOG_EXCEPTION_BAD, "host", nullptr, nullptr, "k", ORV_RESULT_PASS_FAIL, 87, nullptr, 0},
       "<EXCEPTION_BAD> <host> \"k\" "},
      {"return code",
       {ORV_LOG_DEBUG, "host", nullptr, nullptr, nullptr, ORV_RESULT_RETURN_CODE, 0, nullptr, 0},
       "<DEBUG> <host> <Return Code: 0x00000000> "},
      {"unknown result kind", {ORV_LOG_DEBUG, "host", nullptr, nullptr, nullptr, 9, 5, nullptr, 0}, "<DEBUG> <host> "},
      {"class without method",
       {ORV_LOG_DEBUG, "host", "CORVProduct", nullptr, nullptr, 9, 0, nullptr, 0},
       "<DEBUG> <host> <CORVProduct> "},
      {"method without class",
       {ORV_LOG_DEBUG, "host", nullptr, "Reset", nullptr, 9, 0, nullptr, 0},
       "<DEBUG> <host> <::Reset> "},
      {"full source path, line 0",
       {ORV_LOG_DEBUG, "host", nullptr, nullptr, nullptr, 9, 0, fullPath.c_str(), 0},
       "<DEBUG> <host> <orv_registry_key.cpp>"},
      {"line without source file",
       {ORV_LOG_DEBUG, "host", nullptr, nullptr, nullptr, 9, 0, nullptr, 77},
       "<DEBUG> <host> <77> "},
      {"level outside the table", {3, "host", nullptr, nullptr, nullptr, 9, 0, nullptr, 0}, "<UNSPECIFIED> <host> "},
      {"no object name", {ORV_LOG_CRITICAL, nullptr, nullptr, nullptr, nullptr, 9, 0, nullptr, 0}, "<CRITICAL> <> "},
      {"line breaks inside texts",
       {ORV_LOG_DEBUG, "ho\nst", "C\r\n", "m", "a\r\n<Tue>: <CRITICAL>", 9, 0, nullptr, 0},
       "<DEBUG> <ho st> <C  ::m> \"a  <Tue>: <CRITICAL>\" "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(writeOne(c.spec), c.expected);
  }
  const std::pair<ULONG, const char*> levels[] = {
      {1, "CRITICAL"},   {2, "EXCEPTION_BAD"}, {4, "EXCEPTION_OK"},   {8, "ERROR"},      {16, "WARNING"},
      {32, "DEBUG"},     {64, "INFORMATION"},  {128, "NOTIFICATION"}, {256, "ENTRY"},    {512, "EXIT"},
      {1024, "SUCCESS"}, {2048, "FAILURE"},    {4096, "UNSPECIFIED"}, {0, "UNSPECIFIED"}};
  for (const auto& [level, name] : levels) {
    RecordSpec spec;
    spec.type = level;
    EXPECT_EQ(writeOne(spec), "<" + std::string(name) + "> <host> ");
  }
}

TEST_F(TextOutputTest, CompactLineHasNoClassOrSourceAndUnpaddedResults) {
  struct Case {
    RecordSpec spec;
    const char* expected;
  };
  const Case cases[] = {
      {{ORV_LOG_EXIT, "host", "C", "m", "text", ORV_RESULT_PASS_FAIL, 1, "c.cpp", 3},
       "<EXIT> <host> \"text\" <Passed>"},
      {{ORV_LOG_EXIT, "host", "C", "m", nullptr, ORV_RESULT_PASS_FAIL, 0, "c.cpp", 3}, "<EXIT> <host> <Failed>"},
      {{ORV_LOG_EXIT, "host", "C", "m", nullptr, ORV_RESULT_LOGICAL, 0, "c.cpp", 3},
       "<EXIT> <host> <Failed Comparison>"},
      {{ORV_LOG_EXCEPTION_BAD, "host", "C", "m", "x", ORV_RESULT_ERROR_CODE, 5, "c.cpp", 3},
       "<EXCEPTION_BAD> <host> \"x\" <Error: 0x00000005> "},
  };
  for (const Case& c : cases) EXPECT_EQ(writeOne(c.spec, true), c.expected);
}

TEST_F(TextOutputTest, NewFileStartsWithTheByteOrderMarkAndExistingOnesGetNone) {
  const WString path = folder_.wide("bom.log");
  CORVLoggingOutputText output;
  RecordSpec spec;
  CORVLogRecord record = makeRecord(spec, path);
  ASSERT_TRUE(output.write(record));
  ASSERT_TRUE(output.write(record));
  const WString units = readUnits(folder_.path() / "bom.log");
  const std::string bytes = orv_test::readBytes(folder_.path() / "bom.log");
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(std::count(units.begin(), units.end(), static_cast<WCHAR>(0xFEFF)), 1);
  EXPECT_EQ(readLogLines(folder_.path() / "bom.log").size(), 2u);

  std::ofstream(folder_.path() / "plain.log", std::ios::binary) << "ab";
  CORVLogRecord other = makeRecord(spec, folder_.wide("plain.log"));
  ASSERT_TRUE(output.write(other));
  EXPECT_EQ(orv_test::readBytes(folder_.path() / "plain.log").substr(0, 3), "ab<");
}

TEST_F(TextOutputTest, CreatesOneFolderLevelAndRefusesBadPaths) {
  CORVLoggingOutputText output;
  RecordSpec spec;
  CORVLogRecord inNewFolder = makeRecord(spec, folder_.wide("new") + orv_platform::kPathSeparator + widen("a.log"));
  EXPECT_TRUE(output.write(inNewFolder));
  EXPECT_TRUE(std::filesystem::exists(folder_.path() / "new" / "a.log"));

  const WString separator(1, orv_platform::kPathSeparator);
  const WString twoLevels = folder_.wide("x") + separator + widen("y") + separator + widen("a.log");
  const WString relative = widen("relative.log");
  std::filesystem::remove("relative.log.lock");
  const WString tooLong = folder_.wide(std::string(600, 'n') + ".log");
  for (const WString& path : {twoLevels, relative, tooLong}) {
    CORVLogRecord record = makeRecord(spec, path);
    EXPECT_FALSE(output.write(record)) << orv_test::narrow(path);
  }
  EXPECT_FALSE(std::filesystem::exists(folder_.path() / "x"));
  EXPECT_FALSE(std::filesystem::exists("relative.log"));
  EXPECT_FALSE(std::filesystem::exists("relative.log.lock")) << "a refused path gets no lock file";
}

TEST_F(TextOutputTest, CutsLongLinesAt1024CharactersEndingInCrLf) {
  const WString path = folder_.wide("long.log");
  CORVLoggingOutputText output;
  RecordSpec spec;
  spec.type = ORV_LOG_DEBUG;
  spec.objectName = "o";
  const std::string longText(3000, 'a');
  spec.message = longText.c_str();
  CORVLogRecord record = makeRecord(spec, path);
  ASSERT_TRUE(output.write(record));
  WString units = readUnits(folder_.path() / "long.log");
  ASSERT_EQ(units.size(), 1u + 1024u);
  EXPECT_EQ(units.substr(units.size() - 3), (WString{u'a', 0x0D, 0x0A}));

  // A cut between the halves of a surrogate pair drops the lone half.
  // The message starts at 41: "<" stamp ">: " (28), "<DEBUG> " (8), "<o> " (4), quote.
  WString message(980, u'a');
  for (int i = 0; i < 30; ++i) message += WString{0xD83D, 0xDE00};
  CORVLogRecord paired = makeRecord(spec, folder_.wide("pair.log"));
  paired.setMessage(message.c_str());
  ASSERT_TRUE(output.write(paired));
  units = readUnits(folder_.path() / "pair.log");
  ASSERT_EQ(units.size(), 1u + 1023u);
  EXPECT_EQ(units[units.size() - 3], u'a');
  EXPECT_EQ(g_ulLogBytesWritten, (1024u + 1023u) * 2);
}

// With "MaxLogFileSize" 1 and "MaxLogFileNum" 2: a rotation follows the write
// that takes the file past 1024 bytes; the third overwrites ".2" with ".1".
TEST_F(TextOutputTest, RotatesBySizeKeepingMaxLogFileNumFiles) {
  g_ulMaxLogFileSize = 1;
  g_ulMaxLogFileNum = 2;
  const std::filesystem::path log = folder_.path() / "rot.log";
  const WString path = folder_.wide("rot.log");
  int sequence = 0;
  auto writeUntilRotation = [&]() {
    const ULONG rotations = g_ulLogRotations;
    int written = 0;
    while (g_ulLogRotations == rotations && written < 100) {
      writeNumbered(path, sequence++);
      ++written;
    }
    return written;
  };
  auto withSuffix = [&](const char* suffix) { return std::filesystem::path(log.string() + suffix); };

  const int perFile = writeUntilRotation();
  // The rotation came with the line that passed 1024 bytes, not before.
  const std::vector<std::string> rotated = readLogLines(withSuffix(".1"));
  ASSERT_EQ(rotated.size(), static_cast<size_t>(perFile));
  const size_t bytes = std::filesystem::file_size(withSuffix(".1"));
  EXPECT_GT(bytes, 1024u);
  EXPECT_LE(bytes - (rotated.back().size() + 2) * 2, 1024u);
  EXPECT_FALSE(std::filesystem::exists(log));
  EXPECT_EQ(firstSequenceIn(withSuffix(".1")), 0);
  EXPECT_EQ(g_ulLogBytesWritten, 0u);

  writeUntilRotation();
  EXPECT_EQ(firstSequenceIn(withSuffix(".2")), 0);
  EXPECT_EQ(firstSequenceIn(withSuffix(".1")), perFile);

  writeUntilRotation();
  EXPECT_EQ(firstSequenceIn(withSuffix(".2")), perFile);
  EXPECT_EQ(firstSequenceIn(withSuffix(".1")), 2 * perFile);
  EXPECT_FALSE(std::filesystem::exists(withSuffix(".3")));
  EXPECT_EQ(g_ulLogRotations, 3u);
  // Every line of the first file starts after the mark: the files are whole.
  EXPECT_EQ(readLogLines(withSuffix(".1")).size(), static_cast<size_t>(perFile));
}

// A new process (its counters at 0) finds the files that earlier ones left:
// its first rotation moves them all up instead of replacing ".1", and it
// rotates a log that others filled although it wrote little itself.
TEST_F(TextOutputTest, RotationKeepsTheHistoryOfEarlierProcesses) {
  g_ulMaxLogFileSize = 1;
  g_ulMaxLogFileNum = 1000;
  const std::filesystem::path log = folder_.path() / "hist.log";
  const WString path = folder_.wide("hist.log");
  auto withNumber = [&](int n) { return std::filesystem::path(log.string() + "." + std::to_string(n)); };
  int sequence = 0;
  for (int process = 0; process < 3; ++process) {
    g_ulLogRotations = 0;
    g_ulLogBytesWritten = 0;
    for (int i = 0; i < 5; ++i) writeNumbered(path, sequence++);
  }
  std::vector<int> found;
  int files = 0;
  while (std::filesystem::exists(withNumber(files + 1))) ++files;
  for (int n = files; n >= 1; --n) {
    const std::vector<std::string> lines = readLogLines(withNumber(n));
    EXPECT_LE(std::filesystem::file_size(withNumber(n)) - (lines.back().size() + 2) * 2, 1024u) << n;
    for (const std::string& line : lines) found.push_back(std::atoi(line.c_str() + line.find('"') + 1));
  }
  for (const std::string& line : readLogLines(log)) found.push_back(std::atoi(line.c_str() + line.find('"') + 1));
  EXPECT_GE(files, 5);
  std::vector<int> expected(static_cast<size_t>(sequence));
  for (int i = 0; i < sequence; ++i) expected[static_cast<size_t>(i)] = i;
  EXPECT_EQ(found, expected) << "every line once, oldest in the highest file";
}

// Rotation waits for the lock on "<log>.lock" that another process holds,
// then re-reads the size; the line itself is never held back or lost.
TEST_F(TextOutputTest, RotationWaitsForTheLockBesideTheLog) {
  g_ulMaxLogFileSize = 1;
  g_ulMaxLogFileNum = 5;
  const std::filesystem::path log = folder_.path() / "locked.log";
  const WString path = folder_.wide("locked.log");
  writeNumbered(path, 0);
  ASSERT_EQ(g_ulLogRotations, 0u);
  std::ofstream(log, std::ios::binary | std::ios::app) << std::string(1100, 'x');  // another process's bytes

  HANDLE lockFile =
      CreateFileW(folder_.wide("locked.log.lock").c_str(), GENERIC_READ | GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(lockFile, INVALID_HANDLE_VALUE);
  OVERLAPPED whole{};
  ASSERT_TRUE(LockFileEx(lockFile, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole));
  std::thread writer([&] { writeNumbered(path, 1); });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(std::filesystem::exists(log.string() + ".1")) << "rotated without the lock";
  EXPECT_TRUE(UnlockFileEx(lockFile, 0, MAXDWORD, MAXDWORD, &whole));
  CloseHandle(lockFile);
  writer.join();
  EXPECT_EQ(g_ulLogRotations, 1u);
  // The file was over the limit before the line: it went to ".1" whole and
  // the line starts the new log.
  EXPECT_EQ(firstSequenceIn(log.string() + ".1"), 0);
  EXPECT_EQ(firstSequenceIn(log), 1);
}

TEST_F(TextOutputTest, ZeroLimitsDisableRotation) {
  const WString path = folder_.wide("norot.log");
  CORVLoggingOutputText output;
  const std::string message(900, 'z');
  RecordSpec spec;
  spec.message = message.c_str();
  for (const auto& [size, num] : {std::pair<ULONG, ULONG>{0, 2}, {1, 0}}) {
    g_ulMaxLogFileSize = size;
    g_ulMaxLogFileNum = num;
    for (int i = 0; i < 5; ++i) {
      CORVLogRecord record = makeRecord(spec, path);
      ASSERT_TRUE(output.write(record));
    }
  }
  EXPECT_EQ(g_ulLogRotations, 0u);
  EXPECT_EQ(readLogLines(folder_.path() / "norot.log").size(), 10u);
  EXPECT_GT(g_ulLogBytesWritten, 10u * 1800);
}

}  // namespace

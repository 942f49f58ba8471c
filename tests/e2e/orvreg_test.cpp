// orvreg as a user or a set-up script runs it: reg.exe's command lines, its
// output layout, exit status 0 or 1 with a one-line reason. Under Wine the
// same cases run the Windows build of orvreg against Wine's registry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "child_process.h"
#include "registry_setup.h"

namespace {

using namespace std::chrono_literals;
using orv_e2e::ChildProcess;
using orv_e2e::CommandResult;
using orv_e2e::RegistrySetup;

std::string withoutCarriageReturns(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

CommandResult orvreg(const std::vector<std::string>& args, const std::string& input = "") {
  ChildProcess child("orvreg", args);
  child.write(input);
  child.closeInput();
  CommandResult result;
  result.output = withoutCarriageReturns(child.readToEnd(60s));
  result.error = withoutCarriageReturns(child.readErrorToEnd(10s));
  result.exitCode = child.wait(60s).value_or(-1);
  return result;
}

// Each Wine start costs a good part of a second, and the command line and
// the output are the same code in both builds: under Wine only the cases that
// reach the registry in new ways run.
void skipUnderWine() {
  if (orv_e2e::runsUnderWine()) GTEST_SKIP() << "covered by the Linux run";
}

class Orvreg : public ::testing::Test {
 protected:
  void SetUp() override {
    key_ = RegistrySetup::uniqueKey();
    registry_.track(key_);
  }
  // key_ with the long root name, as output shows it.
  std::string shown(const std::string& below = "") const {
    return "HKEY_CURRENT_USER" + key_.substr(4) + (below.empty() ? "" : "\\" + below);
  }
  void expectDone(const CommandResult& result) {
    EXPECT_EQ(result.exitCode, 0) << result.error;
    EXPECT_EQ(result.output, "The operation completed successfully.\n");
    EXPECT_EQ(result.error, "");
  }

  RegistrySetup registry_;
  std::string key_;
};

TEST_F(Orvreg, EveryTypeIsWrittenAndShownAsRegShowsIt) {
  struct Case {
    std::vector<std::string> add;
    std::string shown;
  };
  const Case cases[] = {
      {{"/v", "Text", "/d", "hello world"}, "    Text    REG_SZ    hello world"},
      {{"/v", "Plain", "/t", "reg_sz", "/d", ""}, "    Plain    REG_SZ    "},
      {{"/v", "Expand", "/t", "REG_EXPAND_SZ", "/d", "%PATH%;x"}, "    Expand    REG_EXPAND_SZ    %PATH%;x"},
      {{"/v", "Multi", "/t", "REG_MULTI_SZ", "/d", "a\\0bc"}, "    Multi    REG_MULTI_SZ    a\\0bc"},
      {{"/v", "Split", "/t", "REG_MULTI_SZ", "/s", ",", "/d", "a,b,"}, "    Split    REG_MULTI_SZ    a\\0b"},
      {{"/v", "Hex", "/t", "REG_DWORD", "/d", "0x1F"}, "    Hex    REG_DWORD    0x1f"},
      {{"/v", "Decimal", "/t", "REG_DWORD", "/d", "4294967295"}, "    Decimal    REG_DWORD    0xffffffff"},
      {{"/v", "Bytes", "/t", "REG_BINARY", "/d", "0aFF10"}, "    Bytes    REG_BINARY    0AFF10"},
      {{"/v", "OddBytes", "/t", "REG_BINARY", "/d", "aF"}, "    OddBytes    REG_BINARY    AF"},
      {{"/ve", "/d", "default"}, "    (Default)    REG_SZ    default"},
  };
  std::string expected = "\n" + shown() + "\n";
  for (const Case& c : cases) {
    std::vector<std::string> args = {"add", key_};
    args.insert(args.end(), c.add.begin(), c.add.end());
    args.push_back("/f");
    SCOPED_TRACE(c.shown);
    expectDone(orvreg(args));
    expected += c.shown + "\n";
  }
  // One query for all: values in the order they were created.
  const CommandResult result = orvreg({"query", key_});
  EXPECT_EQ(result.exitCode, 0) << result.error;
  if (orv_e2e::runsUnderWine()) {
    for (const Case& c : cases) EXPECT_NE(result.output.find(c.shown + "\n"), std::string::npos) << c.shown;
  } else {
    EXPECT_EQ(result.output, expected + "\n");
  }
}

TEST_F(Orvreg, QueryListsValuesThenSubkeysAndRecursesWithS) {
  expectDone(orvreg({"add", key_ + "\\Sub\\Deep", "/v", "N", "/d", "deep", "/f"}));
  expectDone(orvreg({"add", key_ + "\\Another", "/f"}));
  expectDone(orvreg({"add", key_, "/v", "Count", "/t", "REG_DWORD", "/d", "3", "/f"}));

  CommandResult result = orvreg({"query", key_});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.output,
            "\n" + shown() + "\n    Count    REG_DWORD    0x3\n\n" + shown("Another") + "\n" + shown("Sub") + "\n");

  result = orvreg({"query", key_ + "\\Sub"});
  EXPECT_EQ(result.output, "\n" + shown("Sub\\Deep") + "\n") << "a key without values shows only its subkeys";

  result = orvreg({"query", key_, "/s"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.output, "\n" + shown() + "\n    Count    REG_DWORD    0x3\n\n" + shown("Another") + "\n\n" +
                               shown("Sub") + "\n\n" + shown("Sub\\Deep") + "\n    N    REG_SZ    deep\n\n");

  result = orvreg({"query", key_, "/v", "n", "/s"});
  EXPECT_EQ(result.output,
            "\n" + shown("Sub\\Deep") + "\n    N    REG_SZ    deep\n\nEnd of search: 1 match(es) found.\n");

  result = orvreg({"query", "hkey_current_user" + key_.substr(4) + "\\", "/v", "COUNT"});
  EXPECT_EQ(result.output, "\n" + shown() + "\n    COUNT    REG_DWORD    0x3\n\n")
      << "roots in any case and a trailing backslash are accepted; the name shows as asked for";
}

TEST_F(Orvreg, FailuresExitWithOneAndSayWhyOnOneLine) {
  skipUnderWine();
  if (IsSkipped()) return;
  expectDone(orvreg({"add", key_, "/v", "Here", "/d", "x", "/f"}));
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"frobnicate", key_},
      {"query"},
      {"query", key_ + "\\Missing"},
      {"query", key_, "/v", "Missing"},
      {"query", key_, "/v"},
      {"query", "HKXX\\Software"},
      {"query", key_, "/x"},
      {"query", key_, "extra"},
      {"add", key_, "/v", "A", "/ve", "/f"},
      {"add", key_, "/v", "A", "/t", "REG_FOO", "/d", "1", "/f"},
      {"add", key_, "/v", "A", "/t", "REG_DWORD", "/d", "12x", "/f"},
      {"add", key_, "/v", "A", "/t", "REG_DWORD", "/d", "4294967296", "/f"},
      {"add", key_, "/v", "A", "/t", "REG_DWORD", "/d", "-1", "/f"},
      {"add", key_, "/v", "A", "/t", "REG_DWORD", "/f"},
      {"add", key_, "/v", "A", "/t", "REG_BINARY", "/d", "zz", "/f"},
      {"add", key_, "/v", "A", "/t", "REG_MULTI_SZ", "/s", ",", "/d", "a,,b", "/f"},
      {"add", key_, "/v", "A", "/t", "REG_MULTI_SZ", "/s", ",,", "/d", "a", "/f"},
      {"add", key_, "/v", "A", "/s", ",", "/d", "a", "/f"},
      {"add", key_, "/d", "data without a value name", "/f"},
      {"add", "\\\\machine\\HKLM\\Software", "/f"},
      {"delete", key_, "/v", "Missing", "/f"},
      {"delete", key_ + "\\Missing", "/f"},
      {"delete", "HKCU", "/f"},
      {"delete", "HKEY_LOCAL_MACHINE\\", "/f"},
  };
  for (const auto& args : cases) {
    std::string line;
    for (const std::string& arg : args) line += arg + " ";
    SCOPED_TRACE(line);
    const CommandResult result = orvreg(args);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, "");
    // Wine's reg.exe writes its reason to the console, which a pipe without
    // standard input may not carry: only orvreg's own line is checked.
    if (orv_e2e::runsUnderWine()) continue;
    ASSERT_FALSE(result.error.empty());
    EXPECT_EQ(result.error.find('\n'), result.error.size() - 1) << result.error;
  }
  const CommandResult still = orvreg({"query", key_, "/v", "Here"});
  EXPECT_EQ(still.output, "\n" + shown() + "\n    Here    REG_SZ    x\n\n") << "no failure changed anything";
  EXPECT_EQ(orvreg({"query", key_, "/v", "A"}).exitCode, 1);
}

TEST_F(Orvreg, OverwritingAndDeletingAskUnlessForced) {
  skipUnderWine();
  if (IsSkipped()) return;
  expectDone(orvreg({"add", key_, "/v", "Value", "/d", "first", "/f"}));
  CommandResult result = orvreg({"add", key_, "/v", "Value", "/d", "second"}, "n\n");
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.output.find("overwrite"), std::string::npos);
  result = orvreg({"add", key_, "/v", "Value", "/d", "third"});
  EXPECT_EQ(result.exitCode, 1) << "no answer is no";
  EXPECT_EQ(orvreg({"query", key_, "/v", "Value"}).output, "\n" + shown() + "\n    Value    REG_SZ    first\n\n");
  result = orvreg({"add", key_, "/v", "Value", "/d", "fourth"}, "yes\n");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(orvreg({"query", key_, "/v", "Value"}).output, "\n" + shown() + "\n    Value    REG_SZ    fourth\n\n");

  result = orvreg({"delete", key_, "/v", "Value"}, "no\n");
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(orvreg({"query", key_, "/v", "Value"}).exitCode, 0);
  result = orvreg({"delete", key_, "/v", "Value"}, "y\n");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(orvreg({"query", key_, "/v", "Value"}).exitCode, 1);
}

TEST_F(Orvreg, DeleteTakesOneValueAllValuesOrTheWholeKey) {
  skipUnderWine();
  if (IsSkipped()) return;
  expectDone(orvreg({"add", key_, "/v", "One", "/d", "1", "/f"}));
  expectDone(orvreg({"add", key_, "/v", "Two", "/d", "2", "/f"}));
  expectDone(orvreg({"add", key_, "/ve", "/d", "default", "/f"}));
  expectDone(orvreg({"add", key_ + "\\Sub", "/v", "Kept", "/d", "k", "/f"}));

  expectDone(orvreg({"delete", key_, "/ve", "/f"}));
  EXPECT_EQ(orvreg({"query", key_, "/ve"}).exitCode, 1);
  expectDone(orvreg({"delete", key_, "/va", "/f"}));
  EXPECT_EQ(orvreg({"query", key_}).output, "\n" + shown("Sub") + "\n") << "values go, subkeys stay";
  EXPECT_EQ(orvreg({"query", key_ + "\\Sub", "/v", "Kept"}).exitCode, 0);

  expectDone(orvreg({"delete", key_, "/f"}));
  EXPECT_EQ(orvreg({"query", key_}).exitCode, 1);
  EXPECT_EQ(orvreg({"query", key_ + "\\Sub"}).exitCode, 1);
}

TEST_F(Orvreg, NamesWithSpacesAndOtherCharactersRoundTrip) {
  skipUnderWine();
  if (IsSkipped()) return;
  const std::vector<std::string> names = {"name with spaces", "a=b;c,d", "trailing.dot.", "50%",
                                          "caf\xC3\xA9 \xE2\x82\xAC"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    expectDone(orvreg({"add", key_ + "\\" + name, "/v", name, "/d", name, "/f"}));
    const CommandResult result = orvreg({"query", key_ + "\\" + name, "/v", name});
    EXPECT_EQ(result.output, "\n" + shown(name) + "\n    " + name + "    REG_SZ    " + name + "\n\n");
  }
}

// The helper the other end-to-end tests configure the registry with.
TEST(RegistrySetup, AddsWhatOrvregThenReads) {
  RegistrySetup registry;
  const std::string key = RegistrySetup::uniqueKey("HKLM");
  registry.add(key + "\\Logs", "Logging", "REG_DWORD", "1");
  registry.add(key + "\\Logs", "TextOutput", "REG_SZ", "/tmp/x.log");
  const CommandResult result = registry.run({"query", key + "\\Logs", "/v", "Logging"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_NE(result.output.find("    Logging    REG_DWORD    0x1"), std::string::npos) << result.output;
  EXPECT_TRUE(registry.remove(key));
  EXPECT_FALSE(registry.remove(key));
}

// A folder for the files of export and import, and their names as the
// program sees them (under Wine drive Z: is the root).
class OrvregFile : public Orvreg {
 protected:
  void SetUp() override {
    Orvreg::SetUp();
    std::random_device random;
    folder_ = std::filesystem::temp_directory_path() / ("orvreg_file_" + std::to_string(random()));
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  std::string named(const std::string& name) const {
    const std::string path = (folder_ / name).string();
    return orv_e2e::runsUnderWine() ? "Z:" + path : path;
  }
  std::string contents(const std::string& name) const {
    std::ifstream in(folder_ / name, std::ios::binary);
    return withoutCarriageReturns(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
  }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(folder_ / name, std::ios::binary) << text;
  }
  // "[HKEY_CURRENT_USER\...]" for key_ or a key below it.
  std::string section(const std::string& below = "") const { return "[" + shown(below) + "]"; }

  std::filesystem::path folder_;
};

TEST_F(OrvregFile, ExportWritesTheTreeAndImportBringsItBack) {
  expectDone(orvreg({"add", key_, "/v", "Count", "/t", "REG_DWORD", "/d", "31", "/f"}));
  expectDone(orvreg({"add", key_, "/v", "Name", "/d", "say \"hi\"", "/f"}));
  expectDone(orvreg({"add", key_ + "\\Sub", "/v", "Bytes", "/t", "REG_BINARY", "/d", "0aFF10", "/f"}));
  expectDone(orvreg({"add", key_ + "\\Sub", "/v", "List", "/t", "REG_MULTI_SZ", "/d", "a\\0b", "/f"}));
  expectDone(orvreg({"add", key_ + "\\Empty", "/f"}));

  expectDone(orvreg({"export", key_, named("tree.ini")}));
  std::string text = contents("tree.ini");
  text.erase(std::remove(text.begin(), text.end(), '\n'), text.end());
  // Lines joined, blank lines dropped: the platforms differ only in those.
  std::string expected;
  for (const std::string& line :
       {section(), std::string("Count=REG_DWORD:0x0000001F"), std::string("Name=REG_SZ:\"say \"hi\"\""), section("Sub"),
        std::string("List=REG_SZ_MULTI:61 00 00 00,62 00 00 00"), std::string("Bytes=REG_BINARY:0A FF 10 00 00")})
    expected += line;
  EXPECT_EQ(text, expected);

  expectDone(orvreg({"delete", key_, "/f"}));
  expectDone(orvreg({"import", named("tree.ini")}));
  // Each value alone: the order of values in a key is the registry's own.
  const std::pair<std::string, std::string> values[] = {
      {"", "Count    REG_DWORD    0x1f"},
      {"", "Name    REG_SZ    say \"hi\""},
      {"Sub", "Bytes    REG_BINARY    0AFF10"},
      {"Sub", "List    REG_MULTI_SZ    a\\0b"},
  };
  for (const auto& value : values) {
    const std::string name = value.second.substr(0, value.second.find(' '));
    const CommandResult result = orvreg({"query", value.first.empty() ? key_ : key_ + "\\" + value.first, "/v", name});
    EXPECT_EQ(result.output, "\n" + shown(value.first) + "\n    " + value.second + "\n\n");
  }
  EXPECT_EQ(orvreg({"query", key_ + "\\Empty"}).exitCode, 1) << "a key without values has no section";
}

TEST_F(OrvregFile, AnExistingFileIsReplacedOnlyWhenConfirmed) {
  skipUnderWine();
  if (IsSkipped()) return;
  expectDone(orvreg({"add", key_, "/v", "V", "/t", "REG_DWORD", "/d", "1", "/f"}));
  write("kept.ini", "[other]\nx=1\n");
  CommandResult result = orvreg({"export", key_, named("kept.ini")}, "n\n");
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.output.find("already exists"), std::string::npos) << result.output;
  EXPECT_EQ(contents("kept.ini"), "[other]\nx=1\n");

  expectDone(orvreg({"export", key_, named("kept.ini"), "/y"}));
  EXPECT_EQ(contents("kept.ini").find("[other]"), std::string::npos) << "replaced, not added to";
}

TEST_F(OrvregFile, FailuresExitWithOneAndSayWhy) {
  skipUnderWine();
  if (IsSkipped()) return;
  expectDone(orvreg({"add", key_, "/v", "V", "/t", "REG_DWORD", "/d", "1", "/f"}));
  write("bad.ini", section() + "\nGood=REG_DWORD:2\nBad=REG_DWORD:xyz\n");
  const struct {
    std::vector<std::string> args;
    std::string reason;
  } cases[] = {
      {{"export", key_}, "Invalid syntax. Type \"orvreg export /?\" for usage."},
      {{"export", key_, named("x.ini"), "/f"}, "Invalid syntax. Type \"orvreg export /?\" for usage."},
      {{"export", "HKXX\\Software", named("x.ini")}, "Invalid key name."},
      {{"export", key_ + "\\Missing", named("x.ini")},
       "The system was unable to find the specified registry key or value."},
      {{"export", key_ + "\\Missing", named("x.reg")},
       "The system was unable to find the specified registry key or value."},
      {{"import"}, "Invalid syntax. Type \"orvreg import /?\" for usage."},
      {{"import", named("a.ini"), named("b.ini")}, "Invalid syntax. Type \"orvreg import /?\" for usage."},
      {{"import", named("missing.ini")}, "Error opening the file " + named("missing.ini") + "."},
      {{"import", named("bad.ini")}, "Not every line of the file could be imported; the log names them."},
      {{"import", named("plain.ini")},
       "The file " + named("plain.ini") + " is neither a .reg file nor a registry text file; nothing was imported."},
      {{"import", named("broken.reg")},
       "The file is not a valid registry file: data that is not of a registry file (line 4)"},
  };
  write("plain.ini", "[settings]\nwidth=10\n");
  write("broken.reg", "REGEDIT4\n\n[" + shown("FromBroken") + "]\n\"v\"=dword:xyz\n");
  for (const auto& c : cases) {
    const CommandResult result = orvreg(c.args);
    EXPECT_EQ(result.exitCode, 1) << c.reason;
    EXPECT_EQ(result.error, "ERROR: " + c.reason + "\n");
  }
  EXPECT_EQ(orvreg({"query", key_ + "\\FromBroken"}).exitCode, 1) << "a broken file changes nothing";
  EXPECT_FALSE(std::filesystem::exists(folder_ / "x.ini"));
  EXPECT_EQ(orvreg({"query", key_, "/v", "Good"}).output, "\n" + shown() + "\n    Good    REG_DWORD    0x2\n\n")
      << "the good lines of a file with bad ones are imported";
}

// A tree whose values and subkeys come in name order: Wine lists them so,
// the Linux registry in the order they were made.
void addSortedTree(const std::string& key, const std::function<void(const CommandResult&)>& expectDone) {
  const std::vector<std::vector<std::string>> adds = {
      {"/ve", "/d", "def"},
      {"/v", "a", "/d", "x\"\\y"},
      {"/v", "b", "/t", "REG_BINARY", "/d",
       "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f202122232425262728292a2b"},
      {"/v", "d", "/t", "REG_DWORD", "/d", "31"},
      {"/v", "e", "/t", "REG_EXPAND_SZ", "/d", "%A%"},
      {"/v", "n", "/t", "REG_NONE"},
      {"/v", "q", "/t", "REG_QWORD", "/d", "5"},
  };
  for (const auto& add : adds) {
    std::vector<std::string> args = {"add", key};
    args.insert(args.end(), add.begin(), add.end());
    args.push_back("/f");
    expectDone(orvreg(args));
  }
  expectDone(orvreg({"add", key + "\\empty", "/f"}));
  expectDone(orvreg({"add", key + "\\sub", "/v", "m", "/t", "REG_MULTI_SZ", "/d", "a\\0b", "/f"}));
}

std::string utf16(const std::string& text) {
  std::string out = "\xFF\xFE";
  for (char c : text) out += std::string{c, '\0'};
  return out;
}

TEST_F(OrvregFile, RegFilesAreWrittenAsRegExeWritesThem) {
  addSortedTree(key_, [this](const CommandResult& r) { expectDone(r); });
  expectDone(orvreg({"export", key_, named("ours.reg")}));
  std::ifstream in(folder_ / "ours.reg", std::ios::binary);
  const std::string ours((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (orv_e2e::runsUnderWine()) {
    // The same tree through Wine's own reg.exe.
    const CommandResult wine = registry_.run({"export", key_, named("wine.reg"), "/y"});
    ASSERT_EQ(wine.exitCode, 0) << wine.error;
    std::ifstream wineIn(folder_ / "wine.reg", std::ios::binary);
    const std::string theirs((std::istreambuf_iterator<char>(wineIn)), std::istreambuf_iterator<char>());
    EXPECT_EQ(ours, theirs);

    // Wine reads ours, and we read Wine's.
    expectDone(orvreg({"delete", key_, "/f"}));
    ASSERT_EQ(registry_.run({"import", named("ours.reg")}).exitCode, 0);
    expectDone(orvreg({"export", key_, named("again.reg"), "/y"}));
    EXPECT_EQ(contents("again.reg"), withoutCarriageReturns(ours));
    expectDone(orvreg({"delete", key_, "/f"}));
    expectDone(orvreg({"import", named("wine.reg")}));
    expectDone(orvreg({"export", key_, named("again.reg"), "/y"}));
    EXPECT_EQ(contents("again.reg"), withoutCarriageReturns(theirs));
    return;
  }
  const std::string k = shown();
  const std::string expected = utf16(
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[" +
      k +
      "]\r\n"
      "@=\"def\"\r\n"
      "\"a\"=\"x\\\"\\\\y\"\r\n"
      "\"b\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\r\n"
      "  17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b\r\n"
      "\"d\"=dword:0000001f\r\n"
      "\"e\"=hex(2):25,00,41,00,25,00,00,00\r\n"
      "\"n\"=hex(0):00,00\r\n"
      "\"q\"=hex(b):05,00,00,00,00,00,00,00\r\n"
      "\r\n[" +
      k +
      "\\empty]\r\n"
      "\r\n[" +
      k +
      "\\sub]\r\n"
      "\"m\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
      "\r\n");
  EXPECT_EQ(ours, expected);

  expectDone(orvreg({"delete", key_, "/f"}));
  expectDone(orvreg({"import", named("ours.reg")}));
  expectDone(orvreg({"export", key_, named("again.reg")}));
  EXPECT_EQ(contents("again.reg"), withoutCarriageReturns(ours)) << "what goes out comes back";
}

TEST_F(OrvregFile, RegImportDeletesKeysAndValuesAndReadsRegedit4) {
  skipUnderWine();
  if (IsSkipped()) return;
  expectDone(orvreg({"add", key_ + "\\Old\\Deep", "/v", "x", "/d", "1", "/f"}));
  expectDone(orvreg({"add", key_, "/v", "gone", "/d", "1", "/f"}));
  write("change.reg",
        "REGEDIT4\r\n\r\n"
        "[-" +
            shown("Old") +
            "]\r\n\r\n"
            "[" +
            shown() +
            "]\r\n"
            "\"gone\"=-\r\n"
            "\"text\"=\"caf\xC3\xA9\"\r\n"
            "\"multi\"=hex(7):61,00,62,00,00\r\n"
            "; a comment\r\n"
            "@=dword:00000010\r\n");
  expectDone(orvreg({"import", named("change.reg")}));
  EXPECT_EQ(orvreg({"query", key_ + "\\Old"}).exitCode, 1);
  EXPECT_EQ(orvreg({"query", key_, "/v", "gone"}).exitCode, 1);
  EXPECT_EQ(orvreg({"query", key_, "/v", "multi"}).output, "\n" + shown() + "\n    multi    REG_MULTI_SZ    a\\0b\n\n")
      << "REGEDIT4 holds strings as ANSI bytes";
  EXPECT_EQ(orvreg({"query", key_, "/ve"}).output, "\n" + shown() + "\n    (Default)    REG_DWORD    0x10\n\n");
}

TEST_F(OrvregFile, EveryCaseOfTheTextFileComesBack) {
  // The default value alone in a key, a name with a control character the
  // file cannot hold, an expandable string without "%".
  expectDone(orvreg({"add", key_ + "\\Classes\\.orv", "/ve", "/d", "OrvFile", "/f"}));
  expectDone(orvreg({"add", key_, "/v", "plain", "/t", "REG_EXPAND_SZ", "/d", "no percent", "/f"}));
  expectDone(orvreg({"add", key_, "/v", "big", "/t", "REG_QWORD", "/d", "0x100000000", "/f"}));
  expectDone(orvreg({"export", key_, named("tree.ini")}));
  expectDone(orvreg({"delete", key_, "/f"}));
  expectDone(orvreg({"import", named("tree.ini")}));
  EXPECT_EQ(orvreg({"query", key_ + "\\Classes\\.orv", "/ve"}).output,
            "\n" + shown("Classes\\.orv") + "\n    (Default)    REG_SZ    OrvFile\n\n");
  EXPECT_EQ(orvreg({"query", key_, "/v", "plain"}).output,
            "\n" + shown() + "\n    plain    REG_EXPAND_SZ    no percent\n\n");
  EXPECT_EQ(orvreg({"query", key_, "/v", "big"}).output, "\n" + shown() + "\n    big    REG_QWORD    0x100000000\n\n");
}

TEST_F(Orvreg, HelpIsPrintedForEveryWayOfAskingAndEveryVerb) {
  skipUnderWine();
  if (IsSkipped()) return;
  for (const char* ask : {"/?", "-?", "-h", "--help"}) {
    const CommandResult result = orvreg({ask});
    EXPECT_EQ(result.exitCode, 0) << ask;
    EXPECT_NE(result.output.find("ORVREG Operation [Parameter List]"), std::string::npos) << ask;
    EXPECT_NE(result.output.find("ORV_REGISTRY_DIR"), std::string::npos) << ask;
  }
  for (const char* verb : {"query", "add", "delete", "export", "import"}) {
    const CommandResult result = orvreg({verb, "/?"});
    EXPECT_EQ(result.exitCode, 0) << verb;
    std::string upper = verb;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(result.output.rfind("ORVREG " + upper + " ", 0), 0u) << result.output;
  }
  EXPECT_NE(orvreg({"add", "-h"}).output.find("REG_DWORD_BIG_ENDIAN"), std::string::npos);
  EXPECT_NE(orvreg({"export", "--help"}).output.find(".reg"), std::string::npos);
}

TEST_F(Orvreg, RegExeTypesAndViewsAreAccepted) {
  expectDone(orvreg({"add", key_, "/v", "q", "/t", "REG_QWORD", "/d", "18446744073709551615", "/f", "/reg:64"}));
  expectDone(orvreg({"add", key_, "/v", "le", "/t", "REG_DWORD_LITTLE_ENDIAN", "/d", "0x10", "/f"}));
  expectDone(orvreg({"add", key_, "/v", "be", "/t", "REG_DWORD_BIG_ENDIAN", "/d", "0x10", "/f", "/reg:32"}));
  expectDone(orvreg({"add", key_, "/v", "none", "/t", "REG_NONE", "/f"}));
  EXPECT_EQ(orvreg({"query", key_, "/v", "q", "/reg:64"}).output,
            "\n" + shown() + "\n    q    REG_QWORD    0xffffffffffffffff\n\n");
  EXPECT_EQ(orvreg({"query", key_, "/v", "le"}).output, "\n" + shown() + "\n    le    REG_DWORD    0x10\n\n");
  EXPECT_EQ(orvreg({"query", key_, "/v", "be"}).output,
            "\n" + shown() + "\n    be    REG_DWORD_BIG_ENDIAN    0x10\n\n");
  EXPECT_EQ(orvreg({"query", key_, "/v", "none"}).exitCode, 0);
  const CommandResult tooBig = orvreg({"add", key_, "/v", "x", "/t", "REG_QWORD", "/d", "18446744073709551616", "/f"});
  EXPECT_EQ(tooBig.exitCode, 1);
  if (!orv_e2e::runsUnderWine()) {
    EXPECT_EQ(tooBig.error, "ERROR: Invalid value specified for /d. A number is expected.\n");
  }
}

TEST_F(OrvregFile, AnExportKilledHalfwayLeavesThePreviousFileWhole) {
  skipUnderWine();  // a process killed by signal: the Linux run shows it
  if (IsSkipped()) return;
  // A tree big enough that the export is still writing when it is killed.
  std::string tree;
  for (int k = 0; k < 60; ++k) {
    tree += section("k" + std::to_string(k)) + "\n";
    for (int v = 0; v < 10; ++v) tree += "v" + std::to_string(v) + "=REG_SZ:\"" + std::string(40, 'x') + "\"\n";
  }
  write("tree.ini", tree);
  expectDone(orvreg({"import", named("tree.ini")}));
  const std::string previous = section() + "\nold=REG_DWORD:0x00000001\n";
  write("backup.ini", previous);

  const std::string program = orv_e2e::programPath("orvreg");
  const std::string target = named("backup.ini");
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    execl(program.c_str(), program.c_str(), "export", key_.c_str(), target.c_str(), "/y", static_cast<char*>(nullptr));
    _exit(127);
  }
  // Killed as soon as its new file has something in it.
  bool writing = false;
  for (int i = 0; i < 20000 && !writing; ++i) {
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
      const std::string name = entry.path().filename().string();
      std::error_code ignored;
      if (name.rfind("backup.ini.", 0) == 0 && std::filesystem::file_size(entry.path(), ignored) > 0) writing = true;
    }
    if (!writing) std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(writing) << "the export ended before it could be killed";
  ASSERT_TRUE(WIFSIGNALED(status)) << "the export ended before it was killed";
  EXPECT_EQ(contents("backup.ini"), previous) << "the previous file is whole";
}

}  // namespace

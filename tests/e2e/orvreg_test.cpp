// orvreg as a user or a set-up script runs it: reg.exe's command lines, its
// output layout, exit status 0 or 1 with a one-line reason. Under Wine the
// same cases run the Windows build of orvreg against Wine's registry.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

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
  EXPECT_EQ(result.output, "\n" + shown() + "\n    Count    REG_DWORD    0x3\n\n" + shown("Another") + "\n" +
                               shown("Sub") + "\n");

  result = orvreg({"query", key_ + "\\Sub"});
  EXPECT_EQ(result.output, "\n" + shown("Sub\\Deep") + "\n") << "a key without values shows only its subkeys";

  result = orvreg({"query", key_, "/s"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.output, "\n" + shown() + "\n    Count    REG_DWORD    0x3\n\n" + shown("Another") + "\n\n" +
                               shown("Sub") + "\n\n" + shown("Sub\\Deep") + "\n    N    REG_SZ    deep\n\n");

  result = orvreg({"query", key_, "/v", "n", "/s"});
  EXPECT_EQ(result.output, "\n" + shown("Sub\\Deep") + "\n    N    REG_SZ    deep\n\nEnd of search: 1 match(es) found.\n");

  result = orvreg({"query", "hkey_current_user" + key_.substr(4) + "\\", "/v", "COUNT"});
  EXPECT_EQ(result.output, "\n" + shown() + "\n    COUNT    REG_DWORD    0x3\n\n")
      << "roots in any case and a trailing backslash are accepted; the name shows as asked for";
}

TEST_F(Orvreg, FailuresExitWithOneAndSayWhyOnOneLine) {
  skipUnderWine();
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
  expectDone(orvreg({"add", key_, "/v", "V", "/t", "REG_DWORD", "/d", "1", "/f"}));
  write("bad.ini", section() + "\nGood=REG_DWORD:2\nBad=REG_DWORD:xyz\n");
  const struct {
    std::vector<std::string> args;
    std::string reason;
  } cases[] = {
      {{"export", key_}, "Invalid syntax. Type \"orvreg export /?\" for help."},
      {{"export", key_, named("x.ini"), "/f"}, "Invalid syntax. Type \"orvreg export /?\" for help."},
      {{"export", "HKXX\\Software", named("x.ini")}, "Invalid system key"},
      {{"export", key_ + "\\Missing", named("x.ini")}, "Unable to find the specified registry key"},
      {{"import"}, "Invalid syntax. Type \"orvreg import /?\" for help."},
      {{"import", named("a.ini"), named("b.ini")}, "Invalid syntax. Type \"orvreg import /?\" for help."},
      {{"import", named("missing.ini")}, "Unable to open the file " + named("missing.ini")},
      {{"import", named("bad.ini")}, "Not every line of the file could be imported"},
  };
  for (const auto& c : cases) {
    const CommandResult result = orvreg(c.args);
    EXPECT_EQ(result.exitCode, 1) << c.reason;
    EXPECT_EQ(result.error, "orvreg: " + c.reason + "\n");
  }
  EXPECT_FALSE(std::filesystem::exists(folder_ / "x.ini"));
  EXPECT_EQ(orvreg({"query", key_, "/v", "Good"}).output, "\n" + shown() + "\n    Good    REG_DWORD    0x2\n\n")
      << "the good lines of a file with bad ones are imported";
}

}  // namespace


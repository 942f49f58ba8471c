// orvreg as a user or a set-up script runs it: reg.exe's command lines, its
// output layout, exit status 0 or 1 with a one-line reason. Under Wine the
// same cases run the Windows build of orvreg against Wine's registry.
#include <gtest/gtest.h>

#include <algorithm>

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

}  // namespace

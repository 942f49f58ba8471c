// CORVFile: what counts as an existing entry, its handle, and its traces.
#include "orv_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "services_log_fixture.h"

namespace {

using orv_test::wideString;
using orv_test::WString;

class FileTest : public orv_test::ServicesLogTest {
 protected:
  void SetUp() override {
    ServicesLogTest::SetUp();
    std::ofstream(scratch_.path() / "present.txt") << "data";
    std::filesystem::create_directory(scratch_.path() / "folder");
  }
  CORVWCharString path(const std::string& name) const { return wideString(scratch_.wide(name)); }

  orv_test::ScratchFolder scratch_;
};

TEST_F(FileTest, AnyEntryTheSearchFindsIsAValidFile) {
  struct Case {
    const char* name;
    bool valid;
  };
  const Case cases[] = {
      {"present.txt", true},  {"folder", true},    {"pres*.txt", true},
      {"missing.txt", false}, {"nothing*", false}, {"present.txt.p7s", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CORVFile file(path(c.name));
    EXPECT_EQ(file.isValidFile(), c.valid);
    EXPECT_EQ(file.isValidWindowsFile(path(c.name)), c.valid);
  }
  EXPECT_TRUE(logged({"<EXIT>", "<CORVFile::isValidFile>", "<Failed Logical Result>"}));
}

TEST_F(FileTest, AMissingOrUnusablePathStillBuildsTheObject) {
  const CORVWCharString names[] = {path("missing.txt"), CORVWCharString(), wideString(std::string(5000, 'x')),
                                   wideString(scratch_.wide("present.txt") + WString(1, orv_platform::kPathSeparator))};
  for (const CORVWCharString& name : names) {
    CORVFile file(name);
    EXPECT_FALSE(file.isValidFile());
  }
  EXPECT_FALSE(logged({"CORVFile object failed to initialize"})) << logText();
}

TEST_F(FileTest, SettingANameAndClosingWithoutAHandleSucceed) {
  CORVFile file;
  EXPECT_FALSE(file.isValidFile());
  EXPECT_TRUE(file.setFilename(path("present.txt")));
  EXPECT_TRUE(file.isValidFile());
  EXPECT_TRUE(file.close());
  EXPECT_TRUE(file.close());
}

TEST_F(FileTest, EveryOperationIsTracedUnderItsName) {
  {
    CORVFile unnamed;
    CORVFile file(path("present.txt"));
    file.setFilename(path("folder"));
    file.isValidFile();
    file.close();
  }
  for (const char* method : {"Default Constructor", "Constructor", "setFilename", "isValidFile", "isValidWindowsFile",
                             "close", "Destructor"}) {
    SCOPED_TRACE(method);
    EXPECT_TRUE(traced(std::string("CORVFile::") + method)) << logText();
  }
  EXPECT_TRUE(logged({"<EXIT>", "<CORVFile::setFilename>", "<Passed>", "orv_file.cpp"}));
}

}  // namespace

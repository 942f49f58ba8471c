// CORVProcessInfo and CORVWindowsProcess against real processes and the
// process's own token.
#include "orv_process_info.h"

#include <gtest/gtest.h>

#include "orv_windowsprocess.h"
#include "process_test_support.h"
#include "services_log_fixture.h"

namespace {

using orv_test::processIdsNamed;
using orv_test::RunningCopy;
using orv_test::wideString;

class ProcessInfoTest : public orv_test::ServicesLogTest {};

TEST_F(ProcessInfoTest, FindsTheRunningPasswordManager) {
  RunningCopy manager("password_manager.exe");
  ASSERT_TRUE(manager.visible());
  CORVProcessInfo info;
  DWORD processId = 0;
  EXPECT_TRUE(info.findProcessIdByName(wideString(std::string("password_manager.exe")), processId));
  EXPECT_NE(processId, 0u);
  const std::vector<DWORD> ids = processIdsNamed("password_manager.exe");
  ASSERT_FALSE(ids.empty());
  EXPECT_EQ(processId, ids.back());
}

TEST_F(ProcessInfoTest, NamesDifferingInCaseBothMatchAndTheLaterOneWins) {
  RunningCopy upper("Password_Manager.EXE");
  RunningCopy lower("password_manager.exe");
  ASSERT_TRUE(upper.visible());
  ASSERT_TRUE(lower.visible());
  const std::vector<DWORD> ids = processIdsNamed("password_manager.exe");
  ASSERT_GE(ids.size(), 2u);
  CORVProcessInfo info;
  DWORD processId = 0;
  EXPECT_TRUE(info.findProcessIdByName(wideString(std::string("PASSWORD_MANAGER.exe")), processId));
  EXPECT_EQ(processId, ids.back());
}

TEST_F(ProcessInfoTest, ANameThatMatchesNothingLeavesTheIdAlone) {
  RunningCopy manager("password_manager.exe");
  ASSERT_TRUE(manager.visible());
  const std::string withFolder = orv_test::narrow(orv_test::WString(1, orv_platform::kPathSeparator)) + "bin" +
                                 orv_test::narrow(orv_test::WString(1, orv_platform::kPathSeparator)) +
                                 "password_manager.exe";
  for (const std::string& name :
       {withFolder, std::string("password_manager"), std::string("no_such_program.exe"), std::string(600, 'p')}) {
    SCOPED_TRACE(name.substr(0, 40));
    CORVProcessInfo info;
    DWORD processId = 4242;
    EXPECT_TRUE(info.findProcessIdByName(wideString(name), processId));
    EXPECT_EQ(processId, 4242u);
  }
}

TEST_F(ProcessInfoTest, ClosingTakesAValidHandleOnce) {
  CORVProcessInfo info;
  HANDLE handle = nullptr;
  EXPECT_FALSE(info.closeProcess(false, handle));
  EXPECT_EQ(handle, nullptr);
  handle = INVALID_HANDLE_VALUE;
  EXPECT_FALSE(info.closeProcess(false, handle));
  EXPECT_EQ(handle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(linesWith({"\"Invalid handle\"", "orv_process_info.cpp"}).size(), 2u) << logText();

  handle = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(info.closeProcess(false, handle));
  EXPECT_EQ(handle, nullptr);
  EXPECT_FALSE(info.closeProcess(false, handle));
}

TEST_F(ProcessInfoTest, SetsKnownPrivilegesAndRefusesUnknownOnes) {
  CORVProcessInfo info;
  EXPECT_TRUE(info.setPrivilege(wideString(std::string("SeBackupPrivilege")), SE_PRIVILEGE_ENABLED));
  EXPECT_TRUE(info.setPrivilege(wideString(std::string("SeBackupPrivilege")), 0));
  EXPECT_FALSE(info.setPrivilege(wideString(std::string("SeNoSuchPrivilege")), SE_PRIVILEGE_ENABLED));
  EXPECT_TRUE(logged({"\"Windows Error\"", "<Error: 0x00000521>", "orv_process_info.cpp"})) << logText();
  EXPECT_FALSE(info.setPrivilege(CORVWCharString(), SE_PRIVILEGE_ENABLED));
}

TEST_F(ProcessInfoTest, WindowsProcessOpensAndClosesItsOwnTokenOnly) {
  CORVWindowsProcess process;
  HANDLE none = nullptr;
  EXPECT_TRUE(process.setPrivilege(wideString(std::string("SeBackupPrivilege")), true, none));
  EXPECT_EQ(none, nullptr);

  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
  EXPECT_TRUE(process.setPrivilege(wideString(std::string("SeRestorePrivilege")), true, token));
  EXPECT_TRUE(process.setPrivilege(wideString(std::string("SeRestorePrivilege")), false, token));
  EXPECT_TRUE(CloseHandle(token)) << "the caller's token must stay open";
}

TEST_F(ProcessInfoTest, WindowsProcessNamesWhatFailed) {
  CORVWindowsProcess process;
  HANDLE none = nullptr;
  EXPECT_FALSE(process.setPrivilege(wideString(std::string("SeNoSuchPrivilege")), true, none));
  EXPECT_TRUE(logged({"\"LookupPrivilegeValue call failed for privilege:SeNoSuchPrivilege\"", "<Error: 0x00000521>"}))
      << logText();

  HANDLE queryOnly = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &queryOnly));
  EXPECT_FALSE(process.setPrivilege(wideString(std::string("SeBackupPrivilege")), true, queryOnly));
  EXPECT_TRUE(logged({"\"AdjustTokenPrivileges call failed for handle:hToken\"", "<Error: 0x00000005>"})) << logText();
  CloseHandle(queryOnly);
}

#ifndef _WIN32
// Windows may hand a closed handle's value to the next object (the log
// file), so these run only against the POSIX handle table and token.
TEST_F(ProcessInfoTest, ClosingAHandleThatIsNotOpenIsAWindowsError) {
  CORVProcessInfo info;
  HANDLE handle = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  HANDLE copy = handle;
  ASSERT_TRUE(CloseHandle(handle));
  EXPECT_FALSE(info.closeProcess(false, copy));
  EXPECT_EQ(copy, handle);
  EXPECT_TRUE(logged({"\"Windows Error\"", "<Error: 0x00000006>"})) << logText();
}

TEST_F(ProcessInfoTest, ClosingWithTheDebugFlagRemovesTheDebugPrivilege) {
  CORVProcessInfo info;
  HANDLE handle = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  EXPECT_TRUE(info.closeProcess(true, handle));
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
  TOKEN_PRIVILEGES enable{};
  enable.PrivilegeCount = 1;
  LookupPrivilegeValueW(nullptr, ORV_W("SeDebugPrivilege"), &enable.Privileges[0].Luid);
  enable.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  EXPECT_TRUE(AdjustTokenPrivileges(token, FALSE, &enable, 0, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED));
  CloseHandle(token);
}
#endif

TEST_F(ProcessInfoTest, EveryOperationIsTracedUnderItsName) {
  {
    CORVProcessInfo info;
    DWORD processId = 0;
    info.findProcessIdByName(wideString(std::string("password_manager.exe")), processId);
    info.setPrivilege(wideString(std::string("SeBackupPrivilege")), SE_PRIVILEGE_ENABLED);
    CORVWindowsProcess process;
    HANDLE none = nullptr;
    process.setPrivilege(wideString(std::string("SeBackupPrivilege")), true, none);
  }
  for (const char* method :
       {"CORVProcessInfo::CORVProcessInfo()", "CORVProcessInfo::findProcessIdByName", "CORVProcessInfo::closeProcess",
        "CORVProcessInfo::setPrivilege", "CORVProcessInfo::~CORVProcessInfo", "CORVSignedFile::Default Constructor",
        "CORVFile::Default Constructor", "CORVWindowsProcess::Constructor", "CORVWindowsProcess::setPrivilege",
        "CORVWindowsProcess::Destructor ~CORVWindowsProcess"}) {
    SCOPED_TRACE(method);
    EXPECT_TRUE(traced(method)) << logText();
  }
}

}  // namespace

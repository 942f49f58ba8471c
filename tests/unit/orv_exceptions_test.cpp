// The exception and warning family: what each class puts into its record,
// the "%s" filling, and the handler helpers.
#include "orv_exceptions.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <stdexcept>

#include "log_test_support.h"
#include "orv_catch.h"

namespace {

using orv_test::narrow;
using orv_test::WString;

std::string textOf(const WCHAR* text) { return text == nullptr ? "<none>" : narrow(text); }

struct Expected {
  ULONG level;
  const char* message;
  DWORD code;
  ULONG kind;
  const char* className;
  const char* methodName;
  bool logOnDestroy;
};

void expectRecord(const CORVDetailedLog& log, const Expected& expected) {
  const CORVLogRecord& record = log.getRecord();
  EXPECT_EQ(record.getType(), expected.level);
  EXPECT_EQ(textOf(record.getMessage()), expected.message);
  EXPECT_EQ(record.getResult(), expected.code);
  EXPECT_EQ(record.getResultKind(), expected.kind);
  EXPECT_EQ(textOf(record.getClassName()), expected.className);
  EXPECT_EQ(textOf(record.getMethodName()), expected.methodName);
  EXPECT_EQ(textOf(record.getSourceFile()), "raise.cpp");
  EXPECT_EQ(record.getLine(), 12u);
  EXPECT_EQ(record.getObjectName(), nullptr);
  EXPECT_EQ(record.getLogFile(), nullptr);
  EXPECT_EQ(log.getOutputs(), 1u);
  EXPECT_EQ(log.isLogOnDestroy(), expected.logOnDestroy);
  EXPECT_FALSE(log.isLogged());
}

constexpr DWORD kNone = ORV_NO_ERROR_CODE;
const WCHAR* const kFile = ORV_W("raise.cpp");
const WCHAR* const kKey = ORV_W("SOFTWARE\\Halvik");

TEST(Exceptions, EachClassCarriesItsMessageCodeAndKind) {
  using Factory = std::function<std::unique_ptr<CORVDetailedLog>()>;
  struct Case {
    const char* name;
    Factory make;
    Expected expected;
  };
  const Case cases[] = {
      {"bad argument",
       [] {
         return std::make_unique<CORVBadArgException>(ORV_W("ulOffset"), ORV_W("too big"), kFile, 12, 1, false, true);
       },
       {2, "A bad argument was provided ( ulOffset ). too big", 0, 0, "<none>", "<none>", true}},
      {"memory allocation",
       [] { return std::make_unique<CORVMemAllocException>(ORV_W("m_pBuffer"), kFile, 12, 1, false, false); },
       {2, "Unable to allocate memory ( m_pBuffer )", kNone, 0, "<none>", "<none>", false}},
      {"memcpy",
       [] { return std::make_unique<CORVMemoryCopyException>(34, kFile, 12, true); },
       {2, "memcpy() function failed", 34, 0, "<none>", "<none>", true}},
      {"memset",
       [] { return std::make_unique<CORVMemorySetException>(22, kFile, 12, false); },
       {2, "memset() function failed", 22, 0, "<none>", "<none>", false}},
      {"buffer init",
       [] { return std::make_unique<CORVBufferInitException>(kFile, 12, true); },
       {2, "Unable to initialize CORVBuffer", kNone, 0, "<none>", "<none>", true}},
      {"index",
       [] { return std::make_unique<CORVIndexOutOfBoundsException>(kNone, kFile, 12); },
       {2, "Index out of array bounds", kNone, 0, "<none>", "<none>", false}},
      {"unhandled",
       [] { return std::make_unique<CORVUnhandledExceptionException>(12, kFile, 12); },
       {2, "An unhandled exception occurred", 12, 0, "<none>", "<none>", false}},
      {"privilege",
       [] { return std::make_unique<CORVProcessPrivelgeException>(1300, kFile, 12); },
       {2, "Windows Error", 1300, 0, "<none>", "<none>", false}},
      {"OS info",
       [] { return std::make_unique<CORVWindowsOSInfoInitNeededException>(kNone, kFile, 12); },
       {2, "CORVWindowsOSInfo construction failed. Cannot call member functions.", kNone, 0, "<none>", "<none>",
        false}},
      {"open process token",
       [] { return std::make_unique<CORVOpenProcessTokenException>(ORV_W("0x1c"), 5, kFile, 12, 1, false); },
       {2, "OpenProcessToken call failed for handle:0x1c", 5, 0, "<none>", "<none>", false}},
      {"enumerate subkeys",
       [] {
         return std::make_unique<CORVRegEnumKeyException>(kKey, 259, ORV_W("CORVRegistryKey"), ORV_W("enumKey"), kFile,
                                                          12, 1, false, true);
       },
       {2, "Unable to enumerate subkeys from key ( \"SOFTWARE\\Halvik\" )", 259, 0, "CORVRegistryKey", "enumKey",
        true}},
      {"create key",
       [] {
         return std::make_unique<CORVRegKeyCreateException>(kKey, 5, ORV_W("CORVRegistryKey"), ORV_W("create"), kFile,
                                                            12, 1, false, false);
       },
       {2, "Unable to create registry key ( \"SOFTWARE\\Halvik\" )", 5, 1, "CORVRegistryKey", "create", false}},
      {"query info",
       [] { return std::make_unique<CORVRegQueryInfoKeyException>(kKey, 6, kFile, 12, 1, false, false); },
       {2, "Unable to query info on registry key ( \"SOFTWARE\\Halvik\" )", 6, 1, "<none>", "<none>", false}},
      {"set value",
       [] {
         return std::make_unique<CORVRegValueSetException>(kKey, ORV_W("Version"), 5, ORV_W("CORVRegistryString"),
                                                           ORV_W("setValue"), kFile, 12, 1, false, false);
       },
       {2, "Unable to Set registry value ( \"SOFTWARE\\Halvik\\Version\" )", 5, 1, "CORVRegistryString", "setValue",
        false}},
      {"profile string",
       [] {
         return std::make_unique<CORVWritePrivateProfileStringException>(ORV_W("Keys"), ORV_W("Name"), 5, kFile, 12, 1,
                                                                         false);
       },
       {2, "Unable to write profile string ( section: Keys, key name: Name )", 5, 0, "<none>", "<none>", false}},
      {"profile int",
       [] { return std::make_unique<CORVLogException1>(2, kFile, 12); },
       {2, "GetPrivateProfileInt( ) failed.", 2, 0, "<none>", "<none>", false}},
      {"close handle warning",
       [] { return std::make_unique<CCloseHandleWarning>(ORV_W("hToken"), 6, kFile, 12, 1, false); },
       {16, "Unable to free memory ( hToken )", 6, 0, "<none>", "<none>", false}},
      {"close key warning",
       [] {
         return std::make_unique<CORVRegCloseKeyWarning>(kKey, 6, ORV_W("CORVRegistryKey"), ORV_W("close"), kFile, 12,
                                                         1, false, true);
       },
       {16, "Unable to close registry key ( SOFTWARE\\Halvik )", 6, 0, "CORVRegistryKey", "close", true}},
      {"already open warning",
       [] {
         return std::make_unique<CORVRegKeyAlreadyOpenWarning>(kKey, ORV_W("CORVRegistryKey"), ORV_W("open"), kFile, 12,
                                                               1, false, false);
       },
       {16, "Registry key is already open ( SOFTWARE\\Halvik )", kNone, 1, "CORVRegistryKey", "open", false}},
      {"debug note",
       [] { return std::make_unique<CORVLogDebug>(ORV_W("pValent.ve_valuename = NULL"), kFile, 12); },
       {32, "pValent.ve_valuename = NULL", 0, 1, "<none>", "<none>", false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    expectRecord(*c.make(), c.expected);
  }
}

TEST(Exceptions, AbsentPlaceholderTextsReadUnknown) {
  const CORVBadArgException badArg(nullptr, nullptr, kFile, 1, 1, false, false);
  EXPECT_EQ(textOf(badArg.getRecord().getMessage()), "A bad argument was provided ( Unknown ). Unknown");
  const CORVBadArgException detailOnly(nullptr, ORV_W("empty"), kFile, 1, 1, false, false);
  EXPECT_EQ(textOf(detailOnly.getRecord().getMessage()), "A bad argument was provided ( Unknown ). empty");
  const CORVRegValueSetException valueMissing(kKey, nullptr, 5, nullptr, nullptr, kFile, 1, 1, false, false);
  EXPECT_EQ(textOf(valueMissing.getRecord().getMessage()),
            "Unable to Set registry value ( \"SOFTWARE\\Halvik\\Unknown\" )");
  const CMemDestroyFailWarning nothing(nullptr, kFile, 1, 1, false, false);
  EXPECT_EQ(textOf(nothing.getRecord().getMessage()), "Unable to free memory ( Unknown )");
  // Placeholder texts are data: a "%s" inside one stays as it is.
  const CORVMemAllocException percent(ORV_W("%s%d"), kFile, 1, 1, false, false);
  EXPECT_EQ(textOf(percent.getRecord().getMessage()), "Unable to allocate memory ( %s%d )");
}

TEST(Exceptions, FormattedMessagesStopAt1023Characters) {
  const WString longName(3000, u'n');
  const CORVBadArgException badArg(longName.c_str(), ORV_W("x"), kFile, 1, 1, false, false);
  const WString message = badArg.getRecord().getMessage();
  EXPECT_EQ(message.size(), 1023u);
  EXPECT_EQ(narrow(message.substr(0, 30)), "A bad argument was provided ( ");
}

TEST(Exceptions, BuildingWritingAndDestroyingKeepLastErrorAndErrno) {
  SetLastError(1234);
  errno = ERANGE;
  {
    CORVBadArgException logged(ORV_W("a"), ORV_W("b"), kFile, 1, 1, true, true);
    logged.log();
    CORVIndexOutOfBoundsException inPlace(kNone, kFile, 2);
    CORVBufferInitException copied(kFile, 3, true);
    CORVBufferInitException copy(copied);
    orvLogDebug(ORV_W("note"), kFile, 4);
    orvLogUnhandled(7, kFile, 5);
  }
  EXPECT_EQ(GetLastError(), 1234u);
  EXPECT_EQ(errno, ERANGE);
}

TEST(Exceptions, ThrownInPlaceWithTheRaiseSitePosition) {
  try {
    ORV_THROW_IN_PLACE(CORVFileInitException, -1, 321);
  } catch (CORVLogException1& caught) {
    EXPECT_EQ(textOf(caught.getRecord().getMessage()), "CORVFile object failed to initialize");
    EXPECT_EQ(textOf(caught.getRecord().getSourceFile()), "orv_exceptions_test.cpp");
    EXPECT_EQ(caught.getRecord().getLine(), 321u);
    EXPECT_EQ(caught.getRecord().getResult(), kNone);
    return;
  }
  ADD_FAILURE() << "nothing caught";
}

// Operations in the library's shape, for the handler helpers.
bool failsWith(const std::function<void()>& body) {
  try {
    body();
    return true;
  }
  ORV_CATCH_RETURN(false)
}

int failsWithCode(const std::function<void()>& body) {
  try {
    body();
    return 1;
  }
  ORV_CATCH_RETURN_CODE_AT(-1, 0, 77)
}

TEST(Exceptions, HandlersTurnAnythingThrownIntoTheFailureResult) {
  EXPECT_TRUE(failsWith([] {}));
  EXPECT_FALSE(failsWith([] { throw std::runtime_error("outside the family"); }));
  EXPECT_FALSE(failsWith([] { throw 42; }));
  EXPECT_FALSE(failsWith([] { ORV_THROW_IN_PLACE(CORVRegKeyInitException, -1, 1); }));
  EXPECT_FALSE(failsWith([] { throw CORVBufferInitException(kFile, 1, true); }));
  EXPECT_EQ(failsWithCode([] { throw std::bad_alloc(); }), -1);
  EXPECT_EQ(failsWithCode([] {}), 1);
}

}  // namespace

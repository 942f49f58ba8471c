// One library per process: a module loaded at run time uses the program's
// copy of the library, so the blocks it puts into the program's lists come
// from the allocator the program installed and go back to it, wiped.
#include <gtest/gtest.h>

#include "checking_allocator.h"
#include "log_test_support.h"
#include "orvpwm_interface.h"
#include "registry_test_support.h"

namespace {

template <typename Function>
Function exportOf(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

TEST(SharedLibraryTest, AModuleAllocatesFromTheProgramsAllocator) {
  orv_test::ScratchFolder folder;
  SetEnvironmentVariableW(ORV_W("ORVPWM_RECORDS_DIR"), folder.wide("store").c_str());
  HMODULE module =
      LoadLibraryExW(orv_test::widen(ORV_INTERFACE_MODULE).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  ASSERT_NE(module, nullptr) << ORV_INTERFACE_MODULE;
  const auto create = exportOf<ORVPWM_CREATE_RECORD_FN>(module, ORVPWM_CREATE_RECORD_EXPORT);
  const auto load = exportOf<ORVPWM_LOAD_RECORD_FN>(module, ORVPWM_LOAD_RECORD_EXPORT);
  ASSERT_NE(create, nullptr);
  ASSERT_NE(load, nullptr);
  {
    CORVWCharString url = orv_test::wideString("https://shared.example/"), title = orv_test::wideString("t");
    CORVWCharStringList pwFields = orv_test::listOf({"password"}), pwValues = orv_test::listOf({"secret"});
    CORVWCharStringList textFields = orv_test::listOf({"user"}), textValues = orv_test::listOf({"alice"});
    ASSERT_TRUE(create(nullptr, &url, &title, &pwFields, &pwValues, &textFields, &textValues));
  }
  {
    orv_test::CheckingAllocator allocator;
    {
      CORVWCharString url = orv_test::wideString("https://shared.example/"), title = orv_test::wideString("t");
      CORVWCharString record;
      CORVWCharStringList pwFields, pwValues, textFields, textValues;
      BYTE flags = 0, autoSubmit = 0;
      const size_t before = allocator.allocated();
      ASSERT_TRUE(load(nullptr, nullptr, &url, &title, &flags, &autoSubmit, &record, &pwFields, &pwValues, &textFields,
                       &textValues));
      EXPECT_EQ(orv_test::textOf(record), "https://shared.example");
      // Four nodes, each with its string's storage, and the record text.
      EXPECT_GE(allocator.allocated() - before, 9u) << "the module's blocks bypassed the program's allocator";
    }
    EXPECT_EQ(allocator.outstanding(), 0) << "what the module appended did not come back to the program's allocator";
    EXPECT_EQ(allocator.notWiped(), 0u);
  }
  FreeLibrary(module);
  SetEnvironmentVariableW(ORV_W("ORVPWM_RECORDS_DIR"), nullptr);
}

}  // namespace

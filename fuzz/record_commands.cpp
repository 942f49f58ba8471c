// Arbitrary bytes through the record commands, with a programmable interface
// module loaded, a policy that allows everything and the password manager
// stand-in running: the body as sent, the bytes as page title and field
// values of a create, and as the UTF-16 fields a load answers with.
#include <json/json.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ChromeNativeMessageHandle.h"
#include "launched_program.h"
#include "orv_win32.h"
#include "process_wait.h"
#include "test_module_controls.h"

namespace {

std::u16string widen(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

void setString(HKEY root, const char* key, const char* name, const std::string& value) {
  HKEY handle = nullptr;
  if (RegCreateKeyExW(root, reinterpret_cast<LPCWSTR>(widen(key).c_str()), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &handle, nullptr) != ERROR_SUCCESS)
    std::abort();
  const std::u16string text = widen(value);
  RegSetValueExW(handle, reinterpret_cast<LPCWSTR>(widen(name).c_str()), 0, REG_SZ,
                 reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>((text.size() + 1) * 2));
  RegCloseKey(handle);
}

// Stopped by its process id when the fuzzer exits.
std::unique_ptr<orv_test::LaunchedProgram> g_standIn;

struct Environment {
  CChromeNativeMessageHandle* handler = nullptr;
  TestInterfaceControls* interface = nullptr;

  Environment() {
    char folder[] = "/tmp/orv-fuzz-records-XXXXXX";
    if (mkdtemp(folder) == nullptr) std::abort();
    setenv("ORV_REGISTRY_DIR", folder, 1);
    const std::string modules = ORV_TEST_MODULES_DIR;
    setString(HKEY_LOCAL_MACHINE, "Software\\Halvik\\Password Manager", "InstallPath", modules + "/programmable/");
    setString(HKEY_LOCAL_MACHINE, "Software\\Halvik\\Password Manager\\Modules", "AppPolicy",
              modules + "/policy/test_policy.dll");
    g_standIn =
        std::make_unique<orv_test::LaunchedProgram>(std::vector<std::string>{ORV_BIN_DIR "/password_manager.exe"});
    if (!orv_test::waitUntilRunning("password_manager.exe")) std::abort();
    // Replies go nowhere; the fuzzer's own output stays on standard error.
    if (std::freopen("/dev/null", "wb", stdout) == nullptr) std::abort();

    handler = new CChromeNativeMessageHandle(true);
    const std::u16string path = widen(modules + "/programmable/orvpwm_interface.dll");
    HMODULE module = LoadLibraryExW(reinterpret_cast<LPCWSTR>(path.c_str()), nullptr, 0);
    const auto controls = reinterpret_cast<TEST_INTERFACE_CONTROLS_FN>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "testControls")));
    if (controls == nullptr) std::abort();
    interface = controls();
    interface->bLoadResult = true;
    interface->bCreateResult = true;
    for (ULONG list = 0; list < kTestListCount; ++list) interface->ulCounts[list] = 1;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Environment environment;
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  // The first bytes choose the flags and what the module answers with.
  if (size >= 2) {
    environment.interface->bFlags = data[0];
    environment.interface->bAutoSubmit = data[1];
  }
  for (ULONG list = 0; list < kTestListCount; ++list) {
    WCHAR* field = environment.interface->szFields[list][0];
    size_t units = std::min<size_t>(size / 2, kTestTextUnits - 1);
    std::memcpy(field, data, units * sizeof(WCHAR));  // the input need not be aligned
    field[units] = 0;
  }

  environment.handler->HandleMessage(bytes);

  Json::Value create;
  create["COMMAND"] = "CREATE_BROWSER_RECORD";
  create["SITE_URL"] = bytes;
  create["SITE_TITLE"] = bytes;
  create["PW_FIELDS"].append(bytes);
  create["PW_VALUES"].append(bytes);
  create["TEXT_VALUES"].append(size);
  environment.handler->HandleMessage(Json::FastWriter().write(create));
  Json::Value load;
  load["COMMAND"] = "LOAD_BROWSER_RECORD";
  load["SITE_URL"] = bytes;
  load["SITE_TITLE"] = bytes;
  environment.handler->HandleMessage(Json::FastWriter().write(load));
  return 0;
}

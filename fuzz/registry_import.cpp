// Arbitrary bytes as a registry text file: the import over whatever it
// holds, into a registry of the fuzzer's own. What it wrote below
// HKEY_CURRENT_USER\Software must then survive an export and an import
// unchanged: the second export has to match the first byte for byte.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "orv_registry_file.h"
#include "orv_win32.h"

namespace {

std::string gFolder;

void require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "registry_import: %s\n", what);
  std::abort();
}

CORVWCharString wide(const std::string& path) {
  return CORVWCharString(std::u16string(path.begin(), path.end()).c_str());
}

std::string bytesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Everything below every root goes, so that each input starts empty.
void clearRegistry() {
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_USERS, HKEY_CURRENT_CONFIG})
    RegDeleteTreeW(root, nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // In memory when it can be: every registry and profile write syncs.
  std::string pattern = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/orv_fuzz_registry_XXXXXX";
  require(mkdtemp(pattern.data()) != nullptr, "no scratch folder");
  gFolder = pattern;
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(gFolder, ignored);
  });
  setenv("ORV_REGISTRY_DIR", (gFolder + "/registry").c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input = gFolder + "/input.ini";
  const std::string first = gFolder + "/first.ini";
  const std::string second = gFolder + "/second.ini";
  {
    std::ofstream out(input, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  clearRegistry();
  importRegistryFromFile(wide(input));
  // An export that fails leaves an earlier file in place: start from none.
  std::filesystem::remove(first);
  std::filesystem::remove(second);

  const CORVWCharString software(ORV_W("Software"));
  exportRegistryToFile(wide(first), HKEY_CURRENT_USER, software, true);
  const std::string exported = bytesOf(first);
  clearRegistry();
  if (!exported.empty()) require(importRegistryFromFile(wide(first)), "an export did not import whole");
  exportRegistryToFile(wide(second), HKEY_CURRENT_USER, software, true);
  require(bytesOf(second) == exported, "a tree changed on its way through the file");
  return 0;
}

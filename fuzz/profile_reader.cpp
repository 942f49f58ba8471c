// Arbitrary bytes as a profile file: every read call over what it holds,
// with buffers of every size, then a write and a delete whose results must
// read back exactly and leave the other sections alone.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "orv_win32.h"

namespace {

using Text = std::u16string;

constexpr DWORD kLargeBuffer = 32767;
WCHAR gBuffer[kLargeBuffer];

void require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "profile_reader: %s\n", what);
  std::abort();
}

const Text& fileName() {
  static const Text name = [] {
    const std::string folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    const std::string path = folder + "/orv_fuzz_profile_" + std::to_string(getpid()) + ".ini";
    return Text(path.begin(), path.end());
  }();
  return name;
}

std::vector<Text> splitList(const WCHAR* list, DWORD length) {
  std::vector<Text> items;
  for (DWORD at = 0; at < length;) {
    const Text item(list + at);
    items.push_back(item);
    at += static_cast<DWORD>(item.size()) + 1;
  }
  return items;
}

std::vector<Text> sectionNames(DWORD size) {
  const DWORD length = GetPrivateProfileSectionNamesW(gBuffer, size, fileName().c_str());
  require(length < size, "section names overran the buffer");
  return splitList(gBuffer, length);
}

Text value(const Text& section, const Text& key) {
  const DWORD length =
      GetPrivateProfileStringW(section.c_str(), key.c_str(), u"<none>", gBuffer, kLargeBuffer, fileName().c_str());
  require(length < kLargeBuffer && gBuffer[length] == 0, "a value overran the buffer");
  return Text(gBuffer);
}

void readEverything(const std::vector<Text>& names, DWORD smallSize) {
  for (size_t i = 0; i < names.size() && i < 8; ++i) {
    const Text& section = names[i];
    DWORD length = GetPrivateProfileSectionW(section.c_str(), gBuffer, smallSize, fileName().c_str());
    require(length < smallSize, "a small section read overran the buffer");
    length = GetPrivateProfileStringW(section.c_str(), nullptr, u"", gBuffer, kLargeBuffer, fileName().c_str());
    require(length < kLargeBuffer, "the key list overran the buffer");
    const std::vector<Text> keys = splitList(gBuffer, length);
    for (size_t k = 0; k < keys.size() && k < 8; ++k) {
      value(section, keys[k]);
      GetPrivateProfileIntW(section.c_str(), keys[k].c_str(), 0, fileName().c_str());
      length = GetPrivateProfileStringW(section.c_str(), keys[k].c_str(), u"", gBuffer, smallSize, fileName().c_str());
      require(length < smallSize, "a small value read overran the buffer");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string path(fileName().begin(), fileName().end());
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  const DWORD smallSize = 1 + (size > 0 ? data[0] % 24 : 0);
  sectionNames(smallSize);
  const std::vector<Text> before = sectionNames(kLargeBuffer);
  readEverything(before, smallSize);

  // A write into the first section (or a new one) must read back and must
  // add no section but a new one.
  const Text section = before.empty() ? Text(u"fuzz") : before.front();
  const Text key = u"fuzz key";
  if (!WritePrivateProfileStringW(section.c_str(), key.c_str(), u" written ", fileName().c_str())) return 0;
  require(value(section, key) == u"written", "a written value did not read back");
  std::vector<Text> expected = before;
  if (before.empty()) expected.push_back(section);
  require(sectionNames(kLargeBuffer) == expected, "a write changed the other sections");

  require(WritePrivateProfileStringW(section.c_str(), key.c_str(), nullptr, fileName().c_str()), "a delete failed");
  require(value(section, key) == u"<none>", "a deleted key still reads");
  return 0;
}

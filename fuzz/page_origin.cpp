// Arbitrary page addresses through the reference interface module's origin
// parser: never a crash or a hang, and an origin it gives is one it gives
// back unchanged (a parsed origin is its own origin), so that what is stored
// under it is found under it.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "page_origin.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string address(reinterpret_cast<const char*>(data), size);
  const std::string origin = pageOrigin(address);
  if (!origin.empty() && pageOrigin(origin) != origin) std::abort();
  if (!origin.empty() && pageOrigin(origin + "/path?query#fragment") != origin) std::abort();
  return 0;
}

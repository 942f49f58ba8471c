// The least a native messaging host can do: read each frame and write it
// back. The record benchmarks measure the real host against it.
#include <cstdint>
#include <cstdio>
#include <string>

int main() {
  for (;;) {
    uint32_t length = 0;
    if (std::fread(&length, sizeof length, 1, stdin) != 1 || length == 0) return 0;
    std::string body(length, '\0');
    if (std::fread(body.data(), 1, length, stdin) != length) return 0;
    std::fwrite(&length, sizeof length, 1, stdout);
    std::fwrite(body.data(), 1, length, stdout);
    std::fflush(stdout);
  }
}

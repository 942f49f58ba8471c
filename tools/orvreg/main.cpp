// orvreg: the registry from the command line, with the syntax of reg.exe.
#include <string>
#include <vector>

#include "orv_win32.h"
#include "reg_tool.h"

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::vector<orvreg::WString> args(argv + 1, argv + argc);
  return orvreg::runOrvreg(args);
}
#else
// Arguments arrive as UTF-8; the registry takes UTF-16.
int main(int argc, char** argv) {
  std::vector<orvreg::WString> args;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    orvreg::WString wide;
    if (!arg.empty()) {
      const int length = MultiByteToWideChar(CP_UTF8, 0, arg.data(), static_cast<int>(arg.size()), nullptr, 0);
      wide.resize(static_cast<size_t>(length > 0 ? length : 0));
      MultiByteToWideChar(CP_UTF8, 0, arg.data(), static_cast<int>(arg.size()), wide.data(), length);
    }
    args.push_back(wide);
  }
  return orvreg::runOrvreg(args);
}
#endif

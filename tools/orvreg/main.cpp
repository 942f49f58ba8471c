// orvreg: the registry from the command line, with the syntax of reg.exe.
#include <string>
#include <vector>

#include "orv_platform/text_encoding.h"
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
  for (int i = 1; i < argc; ++i) args.push_back(orv_platform::utf16Of(argv[i], orv_platform::InvalidText::kReplace));
  return orvreg::runOrvreg(args);
}
#endif

// orvnm: registers the native messaging host with the Chromium-family
// browsers (install, uninstall) and says why it is silent (check).
#include <iostream>
#include <string>
#include <vector>

#include "checker.h"
#include "command_line.h"
#include "installer.h"
#include "orv_win32.h"
#include "system_access.h"

namespace {

// check's exit code is its number of failures, kept below the codes that
// shells give to signals.
constexpr int kMostFailuresShown = 100;

int runOrvnm(const std::vector<std::string>& args) {
  orvnm::Options options;
  std::string error;
  if (!orvnm::parseCommandLine(args, options, error)) {
    std::cerr << "orvnm: " << error << "\n" << orvnm::kUsage;
    return 2;
  }
  switch (options.command) {
    case orvnm::Command::kHelp: std::cout << orvnm::kUsage; return 0;
    case orvnm::Command::kInstall: return orvnm::Installer(options, std::cout, std::cerr).install();
    case orvnm::Command::kUninstall: return orvnm::Installer(options, std::cout, std::cerr).uninstall();
    case orvnm::Command::kCheck: {
      const orvnm::Report report = orvnm::Checker(options).run();
      if (options.json)
        report.printJson(std::cout);
      else
        report.printText(std::cout);
      return report.failures() < kMostFailuresShown ? report.failures() : kMostFailuresShown;
    }
  }
  return 2;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(orvnm::toUtf8(argv[i]));
  return runOrvnm(args);
}
#else
int main(int argc, char** argv) { return runOrvnm(std::vector<std::string>(argv + 1, argv + argc)); }
#endif

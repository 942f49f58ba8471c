// orvnm's command line: the three commands and their options.
#pragma once

#include <string>
#include <vector>

namespace orvnm {

enum class Command { kInstall, kUninstall, kCheck, kHelp };

struct Options {
  Command command = Command::kHelp;
  bool system = false;  // --system; otherwise per user
  bool scopeNamed = false;
  std::vector<std::string> browsers;  // ids, each once; empty: all of them
  std::string userDataDir;
  std::vector<std::string> origins;
  std::string hostPath;  // empty: the host beside orvnm
  std::string name;
  bool dryRun = false;
  bool json = false;
};

extern const char kUsage[];

// False with the reason when the command line is not one orvnm takes.
bool parseCommandLine(const std::vector<std::string>& args, Options& options, std::string& error);

}  // namespace orvnm

#include "command_line.h"

#include <algorithm>

#include "browsers.h"
#include "manifest.h"
#include "system_access.h"

namespace orvnm {

const char kUsage[] =
    "Usage:\n"
    "  orvnm install [--user | --system] [--browser B]... [--user-data-dir DIR]\n"
    "                --origin chrome-extension://ID/ [--origin ...] [--host PATH] [--name NAME] [--dry-run]\n"
    "  orvnm uninstall [--user | --system] [--browser B]... [--user-data-dir DIR] [--name NAME]\n"
    "  orvnm check [--browser B]... [--user-data-dir DIR] [--name NAME] [--json]\n"
    "  orvnm /? | -h | --help\n"
    "Browsers: chrome, chromium, edge, brave, vivaldi, all (the default: with --system every one,\n"
    "otherwise those installed for this user). NAME defaults to com.halvik.pwm, PATH to the host\n"
    "installed beside orvnm. check prints one line per step and exits with the number of failures.\n"
    "Exit codes of install and uninstall: 0 done, 1 failed, 2 bad command line.\n";

namespace {

bool takesOption(Command command, const std::string& option) {
  static const std::vector<std::string> install = {"--user",   "--system", "--browser", "--user-data-dir",
                                                   "--origin", "--host",   "--name",    "--dry-run"};
  static const std::vector<std::string> uninstall = {"--user", "--system", "--browser", "--user-data-dir", "--name"};
  static const std::vector<std::string> check = {"--browser", "--user-data-dir", "--name", "--json"};
  const std::vector<std::string>& allowed = command == Command::kInstall     ? install
                                            : command == Command::kUninstall ? uninstall
                                                                             : check;
  return std::find(allowed.begin(), allowed.end(), option) != allowed.end();
}

bool addBrowser(const std::string& id, Options& options, std::string& error) {
  if (id == "all") {
    options.browsers.clear();
    for (const Browser& browser : allBrowsers()) options.browsers.push_back(browser.id);
    return true;
  }
  if (findBrowser(id) == nullptr) {
    error = "unknown browser \"" + id + "\" (chrome, chromium, edge, brave, vivaldi or all)";
    return false;
  }
  if (std::find(options.browsers.begin(), options.browsers.end(), id) == options.browsers.end())
    options.browsers.push_back(id);
  return true;
}

}  // namespace

bool parseCommandLine(const std::vector<std::string>& args, Options& options, std::string& error) {
  options = Options();
  options.name = kDefaultHostName;
  if (args.empty()) {
    error = "no command given";
    return false;
  }
  const std::string& verb = args[0];
  if (verb == "/?" || verb == "-h" || verb == "--help") {
    options.command = Command::kHelp;
    return args.size() == 1 || (error = "help takes nothing more", false);
  }
  if (verb == "install") {
    options.command = Command::kInstall;
  } else if (verb == "uninstall") {
    options.command = Command::kUninstall;
  } else if (verb == "check") {
    options.command = Command::kCheck;
  } else {
    error = "unknown command \"" + verb + "\"";
    return false;
  }

  bool user = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == "/?" || option == "-h" || option == "--help") {
      options.command = Command::kHelp;
      return true;
    }
    if (!takesOption(options.command, option)) {
      error = "\"" + option + "\" is not an option of " + verb;
      return false;
    }
    const bool takesValue = option != "--user" && option != "--system" && option != "--dry-run" && option != "--json";
    if (takesValue && i + 1 >= args.size()) {
      error = option + " needs a value";
      return false;
    }
    const std::string value = takesValue ? args[++i] : std::string();
    if (option == "--user") {
      user = true;
    } else if (option == "--system") {
      options.system = true;
    } else if (option == "--dry-run") {
      options.dryRun = true;
    } else if (option == "--json") {
      options.json = true;
    } else if (option == "--browser") {
      if (!addBrowser(value, options, error)) return false;
    } else if (option == "--user-data-dir") {
      if (value.empty()) {
        error = "--user-data-dir needs a folder";
        return false;
      }
      options.userDataDir = value;
    } else if (option == "--origin") {
      const std::string problem = originProblem(value);
      if (!problem.empty()) {
        error = "origin \"" + value + "\" is refused: " + problem;
        return false;
      }
      if (std::find(options.origins.begin(), options.origins.end(), value) == options.origins.end())
        options.origins.push_back(value);
    } else if (option == "--host") {
      if (!isFullPath(value)) {
        error = "--host needs the host's full path, not \"" + value + "\"";
        return false;
      }
      options.hostPath = value;
    } else if (option == "--name") {
      const std::string problem = hostNameProblem(value);
      if (!problem.empty()) {
        error = "host name \"" + value + "\" is refused: " + problem;
        return false;
      }
      options.name = value;
    }
  }
  if (user && options.system) {
    error = "--user and --system exclude each other";
    return false;
  }
  options.scopeNamed = user || options.system;
  if (options.command == Command::kInstall && options.origins.empty()) {
    error = "install needs at least one --origin chrome-extension://ID/";
    return false;
  }
  return true;
}

}  // namespace orvnm

// The Chromium-family browsers orvnm knows, and where each one looks for a
// native messaging host: folders on Linux, registry keys naming a manifest
// on Windows. The README cites where each place is documented.
#pragma once

#include <string>
#include <vector>

namespace orvnm {

struct Browser {
  std::string id;  // as given to --browser
  std::string displayName;
  std::string configFolder;                 // Linux: the profile folder under the user's config home
  std::string systemFolder;                 // Linux: the documented machine-wide folder; empty when none is documented
  std::string policyFolder;                 // Linux: the managed policy folder; empty when not read
  std::string registryPath;                 // Windows: Software\<vendor path>
  std::string policyKey;                    // Windows: the managed policy key under HKLM
  bool readsChromeKeys;                     // Windows: also reads Google Chrome's keys
  std::vector<std::string> sandboxFolders;  // Linux: where a Flatpak or Snap of it keeps its files
};

const std::vector<Browser>& allBrowsers();
const Browser* findBrowser(const std::string& id);

enum class Scope { kUser, kSystem };

// One place a browser reads: a manifest file, or a registry key whose
// default value names one.
struct Location {
  Scope scope = Scope::kUser;
  std::string root;  // "HKCU" or "HKLM" for a key; empty for a folder
  std::string key;   // below the root, ending in the host's name
  std::string file;  // the manifest's path (for a key: where orvnm writes it)
  bool inRegistry() const { return !root.empty(); }
  std::string shown() const { return inRegistry() ? root + "\\" + key : file; }
};

// $XDG_CONFIG_HOME, else ~/.config.
std::string configHome();
// A machine-wide path; below $ORV_REGISTRY_DIR when that moves the machine's
// settings to a throw-away folder (tests, the demo).
std::string machinePath(const std::string& path);

// Where install and uninstall write for one browser and scope; nothing when
// the browser documents no such place.
std::vector<Location> placesFor(const Browser& browser, Scope scope, const std::string& name,
                                const std::string& hostPath);
// The place a browser started with --user-data-dir DIR reads first.
Location profilePlace(const std::string& userDataDir, const std::string& name);
// Every place a browser reads, in its own lookup order; per-user places only
// when policy allows per-user hosts.
std::vector<Location> lookupOrder(const Browser& browser, const std::string& name, const std::string& userDataDir,
                                  bool userLevelAllowed);

bool looksInstalled(const Browser& browser);
// The sandboxed installs of the browser found on this machine.
std::vector<std::string> sandboxedInstalls(const Browser& browser);

}  // namespace orvnm

#include "browsers.h"

#include "system_access.h"

namespace orvnm {

namespace {

const char kChromeRegistryPath[] = "Software\\Google\\Chrome";

std::string userManifestFolder() {
  return joinPath(environment("LOCALAPPDATA"), "Halvik\\Password Manager\\NativeMessagingHosts");
}

Location keyPlace(Scope scope, const std::string& registryPath, const std::string& name, const std::string& file) {
  Location place;
  place.scope = scope;
  place.root = scope == Scope::kUser ? "HKCU" : "HKLM";
  place.key = registryPath + "\\NativeMessagingHosts\\" + name;
  place.file = file;
  return place;
}

Location filePlace(Scope scope, const std::string& folder, const std::string& name) {
  Location place;
  place.scope = scope;
  place.file = joinPath(folder, name + ".json");
  return place;
}

std::string home() { return environment(usesRegistry() ? "USERPROFILE" : "HOME"); }

}  // namespace

const std::vector<Browser>& allBrowsers() {
  static const std::vector<Browser> browsers = {
      {"chrome",
       "Google Chrome",
       "google-chrome",
       "/etc/opt/chrome/native-messaging-hosts",
       "/etc/opt/chrome/policies/managed",
       kChromeRegistryPath,
       "SOFTWARE\\Policies\\Google\\Chrome",
       false,
       {"~/.var/app/com.google.Chrome"}},
      {"chromium",
       "Chromium",
       "chromium",
       "/etc/chromium/native-messaging-hosts",
       "/etc/chromium/policies/managed",
       "Software\\Chromium",
       "SOFTWARE\\Policies\\Chromium",
       false,
       {"~/.var/app/org.chromium.Chromium", "/snap/chromium"}},
      {"edge",
       "Microsoft Edge",
       "microsoft-edge",
       "/etc/opt/edge/native-messaging-hosts",
       "",
       "Software\\Microsoft\\Edge",
       "SOFTWARE\\Policies\\Microsoft\\Edge",
       false,
       {"~/.var/app/com.microsoft.Edge"}},
      {"brave",
       "Brave",
       "BraveSoftware/Brave-Browser",
       "",
       "",
       "Software\\BraveSoftware\\Brave-Browser",
       "SOFTWARE\\Policies\\BraveSoftware\\Brave",
       true,
       {"~/.var/app/com.brave.Browser", "/snap/brave"}},
      {"vivaldi", "Vivaldi", "vivaldi", "", "", "Software\\Vivaldi", "", true, {"~/.var/app/com.vivaldi.Vivaldi"}},
  };
  return browsers;
}

const Browser* findBrowser(const std::string& id) {
  for (const Browser& browser : allBrowsers())
    if (browser.id == id) return &browser;
  return nullptr;
}

std::string configHome() {
  const std::string configured = environment("XDG_CONFIG_HOME");
  if (!configured.empty()) return configured;
  return joinPath(home(), ".config");
}

std::string machinePath(const std::string& path) {
  const std::string moved = environment("ORV_REGISTRY_DIR");
  return moved.empty() ? path : moved + path;
}

std::vector<Location> placesFor(const Browser& browser, Scope scope, const std::string& name,
                                const std::string& hostPath) {
  std::vector<Location> places;
  if (usesRegistry()) {
    const std::string file = scope == Scope::kUser ? joinPath(userManifestFolder(), name + ".json")
                                                   : joinPath(parentFolder(hostPath), name + ".json");
    places.push_back(keyPlace(scope, browser.registryPath, name, file));
    if (browser.readsChromeKeys) places.push_back(keyPlace(scope, kChromeRegistryPath, name, file));
  } else if (scope == Scope::kUser) {
    places.push_back(filePlace(scope, joinPath(configHome(), browser.configFolder + "/NativeMessagingHosts"), name));
  } else if (!browser.systemFolder.empty()) {
    places.push_back(filePlace(scope, machinePath(browser.systemFolder), name));
  }
  return places;
}

Location profilePlace(const std::string& userDataDir, const std::string& name) {
  return filePlace(Scope::kUser, joinPath(userDataDir, "NativeMessagingHosts"), name);
}

std::vector<Location> lookupOrder(const Browser& browser, const std::string& name, const std::string& userDataDir,
                                  bool userLevelAllowed) {
  std::vector<Location> order;
  for (Scope scope : {Scope::kUser, Scope::kSystem}) {
    if (scope == Scope::kUser && !userLevelAllowed) continue;
    if (scope == Scope::kUser && !userDataDir.empty()) {
      order.push_back(profilePlace(userDataDir, name));
      if (!usesRegistry()) continue;  // the profile's folder replaces the per-user one
    }
    for (const Location& place : placesFor(browser, scope, name, std::string())) order.push_back(place);
  }
  return order;
}

bool looksInstalled(const Browser& browser) {
  if (usesRegistry()) return keyExists(rootKey("HKCU"), browser.registryPath);
  return folderExists(joinPath(configHome(), browser.configFolder));
}

std::vector<std::string> sandboxedInstalls(const Browser& browser) {
  std::vector<std::string> found;
  if (usesRegistry()) return found;
  for (const std::string& folder : browser.sandboxFolders) {
    const std::string path = folder.rfind("~/", 0) == 0 ? joinPath(home(), folder.substr(2)) : folder;
    if (folderExists(path)) found.push_back(path);
  }
  return found;
}

}  // namespace orvnm

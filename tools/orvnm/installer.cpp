#include "installer.h"

#include <algorithm>
#include <set>

#include "manifest.h"
#include "system_access.h"

namespace orvnm {

namespace {

const char kHostProgram[] = "pwm_chrome_extension_host";

bool endsWithExe(const std::string& path) {
  if (path.size() < 4) return false;
  std::string ending = path.substr(path.size() - 4);
  std::transform(ending.begin(), ending.end(), ending.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return ending == ".exe";
}

}  // namespace

std::string defaultHostPath() {
  const std::string own = ownPath();
  return joinPath(parentFolder(own), std::string(kHostProgram) + (endsWithExe(own) ? ".exe" : ""));
}

void Installer::explainSandboxes(const Browser& browser) {
  for (const std::string& install : sandboxedInstalls(browser))
    out_ << "note: " << browser.displayName << " in its sandbox (" << install
         << ") cannot reach the host: a host started inside the sandbox sees neither the machine's registry "
            "nor the password manager's desktop process. Nothing is written there; use a browser installed "
            "from a package.\n";
}

std::vector<Location> Installer::targets(bool onlyInstalled, const std::string& hostPath, bool& noneInstalled) {
  std::vector<Location> places;
  noneInstalled = false;
  if (!options_.userDataDir.empty()) places.push_back(profilePlace(options_.userDataDir, options_.name));
  if (!options_.userDataDir.empty() && options_.browsers.empty()) return places;

  const Scope scope = options_.system ? Scope::kSystem : Scope::kUser;
  std::vector<std::string> ids = options_.browsers;
  const bool named = !ids.empty();
  if (!named)
    for (const Browser& browser : allBrowsers()) ids.push_back(browser.id);
  size_t chosen = 0;
  for (const std::string& id : ids) {
    const Browser& browser = *findBrowser(id);
    explainSandboxes(browser);
    if (onlyInstalled && !named && scope == Scope::kUser && !looksInstalled(browser)) continue;
    ++chosen;
    const std::vector<Location> own = placesFor(browser, scope, options_.name, hostPath);
    if (own.empty())
      out_ << "note: " << browser.displayName
           << " documents no machine-wide folder for native messaging hosts on this system; nothing is written "
              "for it (use --user)\n";
    for (const Location& place : own) {
      const bool seen = std::any_of(places.begin(), places.end(), [&](const Location& other) {
        return other.shown() == place.shown() && other.file == place.file;
      });
      if (!seen) places.push_back(place);
    }
  }
  noneInstalled = chosen == 0;
  return places;
}

int Installer::install() {
  const std::string hostPath = options_.hostPath.empty() ? defaultHostPath() : options_.hostPath;
  if (!isFullPath(hostPath)) {
    err_ << "orvnm: cannot tell where the host is installed; name it with --host PATH\n";
    return 1;
  }
  if (!fileExists(hostPath)) err_ << "orvnm: warning: the host " << hostPath << " does not exist (yet)\n";
  bool noneInstalled = false;
  const std::vector<Location> places = targets(true, hostPath, noneInstalled);
  if (places.empty()) {
    err_ << "orvnm: "
         << (noneInstalled ? "no supported browser is installed for this user; name one with --browser"
                           : "nothing to write for the chosen browsers")
         << "\n";
    return 1;
  }

  const std::string text = manifestText(options_.name, hostPath, options_.origins);
  std::set<std::string> filesWritten;
  bool failed = false;
  for (const Location& place : places) {
    if (filesWritten.insert(place.file).second) {
      if (options_.dryRun) {
        out_ << "would write " << place.file << ":\n" << text;
      } else {
        std::string error;
        if (replaceFile(place.file, text, error)) {
          out_ << "wrote " << place.file << "\n";
        } else {
          err_ << "orvnm: " << error << "\n";
          failed = true;
          continue;
        }
      }
    }
    if (!place.inRegistry()) continue;
    if (options_.dryRun) {
      out_ << "would set " << place.shown() << " (default) = " << place.file << "\n";
      continue;
    }
    const LSTATUS status = writeString(rootKey(place.root), place.key, "", place.file);
    if (status == ERROR_SUCCESS) {
      out_ << "set " << place.shown() << " = " << place.file << "\n";
    } else {
      err_ << "orvnm: cannot write " << place.shown() << " (error " << status << ")"
           << (status == ERROR_ACCESS_DENIED ? ": --system needs an administrator" : "") << "\n";
      failed = true;
    }
  }
  return failed ? 1 : 0;
}

int Installer::uninstall() {
  bool noneInstalled = false;
  const std::vector<Location> places = targets(false, std::string(), noneInstalled);
  bool failed = false;
  bool anything = false;
  std::set<std::string> manifests;  // files that our keys named
  for (const Location& place : places) {
    if (place.inRegistry()) {
      std::string named;
      if (!readString(rootKey(place.root), place.key, "", named) && !keyExists(rootKey(place.root), place.key))
        continue;
      anything = true;
      if (fileExists(named) && manifestNameOf(named) != options_.name) {
        out_ << "kept " << place.shown() << ": its manifest is not named " << options_.name << "\n";
        continue;
      }
      const LSTATUS status = deleteKeyAndEmptyParents(rootKey(place.root), place.key);
      if (status == ERROR_SUCCESS) {
        out_ << "removed " << place.shown() << "\n";
        if (!named.empty()) manifests.insert(named);
      } else {
        err_ << "orvnm: cannot remove " << place.shown() << " (error " << status << ")\n";
        failed = true;
      }
      continue;
    }
    if (fileExists(place.file)) manifests.insert(place.file);
  }
  for (const std::string& file : manifests) {
    if (!fileExists(file)) continue;
    anything = true;
    if (manifestNameOf(file) != options_.name) {
      out_ << "kept " << file << ": its \"name\" is not " << options_.name << "\n";
      continue;
    }
    // A manifest that another browser's key still names stays.
    bool stillNamed = false;
    for (const Browser& browser : allBrowsers())
      for (const Location& place :
           placesFor(browser, options_.system ? Scope::kSystem : Scope::kUser, options_.name, std::string())) {
        std::string named;
        if (place.inRegistry() && readString(rootKey(place.root), place.key, "", named) && named == file)
          stillNamed = true;
      }
    if (stillNamed) {
      out_ << "kept " << file << ": another browser's key still names it\n";
    } else if (removeFile(file)) {
      out_ << "removed " << file << "\n";
    } else {
      err_ << "orvnm: cannot remove " << file << "\n";
      failed = true;
    }
  }
  if (!anything) out_ << "nothing to remove\n";
  return failed ? 1 : 0;
}

}  // namespace orvnm

#include "checker.h"

#include <json/json.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>

#include "host_conditions.h"
#include "orv_platform/child_process.h"
#include "system_access.h"

namespace orvnm {

namespace {

constexpr int kProbeTimeoutMs = 2000;

bool contains(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

std::vector<std::string> stringsOf(const Json::Value& value) {
  std::vector<std::string> strings;
  if (!value.isArray()) return strings;
  for (const Json::Value& item : value)
    if (item.isString()) strings.push_back(item.asString());
  return strings;
}

std::string frame(const std::string& body) {
  const uint32_t size = static_cast<uint32_t>(body.size());
  return std::string(reinterpret_cast<const char*>(&size), 4) + body;
}

}  // namespace

Checker::Policy Checker::policyOf(const Browser& browser) {
  Policy policy;
  std::vector<std::string> blocklist;
  std::vector<std::string> allowlist;
  if (usesRegistry()) {
    if (browser.policyKey.empty() || !keyExists(rootKey("HKLM"), browser.policyKey)) return policy;
    policy.source = "HKLM\\" + browser.policyKey;
    DWORD userLevel = 1;
    if (readDword(rootKey("HKLM"), browser.policyKey, "NativeMessagingUserLevelHosts", userLevel) && userLevel == 0)
      policy.userLevelAllowed = false;
    blocklist = stringValues(rootKey("HKLM"), browser.policyKey + "\\NativeMessagingBlocklist");
    allowlist = stringValues(rootKey("HKLM"), browser.policyKey + "\\NativeMessagingAllowlist");
  } else {
    if (browser.policyFolder.empty()) return policy;
    const std::string folder = machinePath(browser.policyFolder);
    for (const std::string& file : filesIn(folder, ".json")) {
      std::string text;
      Json::Value root;
      Json::CharReaderBuilder builder;
      std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
      if (!readFile(file, text) || !reader->parse(text.data(), text.data() + text.size(), &root, nullptr) ||
          !root.isObject())
        continue;
      policy.source = folder;
      if (root["NativeMessagingUserLevelHosts"].isBool() && !root["NativeMessagingUserLevelHosts"].asBool())
        policy.userLevelAllowed = false;
      for (const std::string& name : stringsOf(root["NativeMessagingBlocklist"])) blocklist.push_back(name);
      for (const std::string& name : stringsOf(root["NativeMessagingAllowlist"])) allowlist.push_back(name);
    }
  }
  policy.blocked =
      (contains(blocklist, "*") || contains(blocklist, options_.name)) && !contains(allowlist, options_.name);
  return policy;
}

void Checker::reportPolicy(const Browser& browser, const Policy& policy) {
  const std::string step = browser.id + " policy";
  if (policy.source.empty()) return;
  if (policy.blocked)
    report_.fail(step,
                 "the managed policy in " + policy.source + " blocks " + options_.name + " (NativeMessagingBlocklist)",
                 "ask the administrator to add " + options_.name + " to NativeMessagingAllowlist");
  else
    report_.ok(step, "the managed policy in " + policy.source + " does not block " + options_.name);
  if (!policy.userLevelAllowed)
    report_.note(step, "the managed policy allows only system-wide hosts (NativeMessagingUserLevelHosts is false)",
                 "orvnm install --system");
}

bool Checker::manifestAt(const Location& place, std::string& file) {
  if (!place.inRegistry()) {
    file = place.file;
    return fileExists(file);
  }
  if (!keyExists(rootKey(place.root), place.key)) return false;
  file.clear();
  readString(rootKey(place.root), place.key, "", file);
  return true;
}

void Checker::checkBrowser(const Browser& browser, bool named) {
  const std::string step = browser.id;
  for (const std::string& install : sandboxedInstalls(browser))
    report_.note(step,
                 browser.displayName + " in its sandbox (" + install +
                     ") cannot reach the host: inside the sandbox it sees neither the machine's registry nor "
                     "the desktop process",
                 "use " + browser.displayName + " installed from a package");

  const Policy policy = policyOf(browser);
  const std::vector<Location> order =
      lookupOrder(browser, options_.name, options_.userDataDir, policy.userLevelAllowed);
  const Location* found = nullptr;
  std::string foundFile;
  std::string foundText;
  for (const Location& place : order) {
    std::string file;
    if (!manifestAt(place, file)) continue;
    if (found == nullptr) {
      found = &place;
      foundFile = file;
      if (place.inRegistry() && (file.empty() || !fileExists(file))) {
        report_.fail(
            step,
            "finds " + place.shown() +
                (file.empty() ? ", which names no manifest" : ", which names " + file + ", a file that does not exist"),
            "orvnm install --origin chrome-extension://<ID>/ (it writes the manifest and the key again)");
        continue;
      }
      report_.ok(step, "finds " + place.shown() + (place.inRegistry() ? " naming " + file : ""));
      readFile(file, foundText);
      continue;
    }
    std::string hiddenText;
    readFile(file, hiddenText);
    const std::string hidden = place.shown() + (place.inRegistry() ? " (" + file + ")" : "");
    if (file == foundFile || hiddenText == foundText) {
      report_.note(step, "the same manifest is also at " + hidden);
    } else {
      const bool userHidesSystem = found->scope == Scope::kUser && place.scope == Scope::kSystem;
      report_.fail(step, found->shown() + " hides a different manifest at " + hidden,
                   userHidesSystem
                       ? "orvnm uninstall --user --browser " + browser.id + " (the system-wide manifest then applies)"
                       : "remove the one that is not wanted");
    }
  }
  if (found == nullptr) {
    std::string places;
    for (const Location& place : order) places += (places.empty() ? "" : ", ") + place.shown();
    if (named)
      report_.fail(step, "finds no manifest named " + options_.name + " (looked in " + places + ")",
                   "orvnm install --browser " + browser.id + " --origin chrome-extension://<ID>/");
    else
      report_.note(step, "not registered (looked in " + places + ")");
  } else {
    anyFound_ = true;
  }
  reportPolicy(browser, policy);
  if (found == nullptr || foundFile.empty() || !fileExists(foundFile)) return;
  if (checked_.count(foundFile) != 0) {
    report_.note(step, "manifest " + foundFile + " checked above");
  } else {
    checked_[foundFile] = checkManifest(foundFile, options_.name, step + " manifest", report_);
  }
  const ManifestFacts& facts = checked_[foundFile];
  if (!facts.hostPath.empty() && !facts.origins.empty() && hosts_.count(facts.hostPath) == 0)
    hosts_[facts.hostPath] = facts.origins.front();
}

void Checker::probe(const std::string& hostPath, const std::string& origin) {
  const std::string step = "probe";
  std::string error;
  const auto started = std::chrono::steady_clock::now();
  std::unique_ptr<orv_platform::ChildProcess> host = orv_platform::ChildProcess::start(hostPath, {origin}, error);
  if (!host) {
    report_.fail(step, "cannot start " + hostPath + ": " + error, "check the host's file and its permissions");
    return;
  }
  const std::string input = frame("{\"COMMAND\":\"RESET\"}") + std::string(4, '\0');
  const bool written = host->write(input.data(), input.size());
  const std::optional<int> exitCode = host->wait(kProbeTimeoutMs);
  const long long elapsed =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
  if (!exitCode) {
    host->terminate();
    report_.fail(step,
                 hostPath + " did not exit within " + std::to_string(kProbeTimeoutMs) +
                     " ms of a \"RESET\" frame and a zero-length frame",
                 "switch tracing on (see logs) and look at where it stops");
  } else if (!written || *exitCode != 0) {
    report_.fail(step,
                 hostPath + " ended with exit code " + std::to_string(*exitCode) + " after " + std::to_string(elapsed) +
                     " ms" + (written ? "" : " before it read its input"),
                 "run it by hand (it needs its libraries beside it) and switch tracing on (see logs)");
  } else {
    report_.ok(step,
               hostPath + " took \"RESET\" and a zero-length frame and exited 0 in " + std::to_string(elapsed) + " ms");
  }
}

Report Checker::run() {
  std::vector<std::string> ids = options_.browsers;
  const bool named = !ids.empty();
  if (!named && !options_.userDataDir.empty()) ids.push_back("chromium");
  if (ids.empty())
    for (const Browser& browser : allBrowsers()) ids.push_back(browser.id);
  for (const std::string& id : ids) checkBrowser(*findBrowser(id), named || !options_.userDataDir.empty());
  if (!anyFound_ && !named && options_.userDataDir.empty())
    report_.fail("browsers", "no browser finds a manifest named " + options_.name,
                 "orvnm install --origin chrome-extension://<ID>/");
  checkHostConditions(report_);
  if (hosts_.empty()) report_.note("probe", "no manifest names a host that could be started");
  for (const auto& host : hosts_) probe(host.first, host.second);
  return report_;
}

}  // namespace orvnm

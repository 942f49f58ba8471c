// A throw-away registry for an end-to-end test, configured with reg.exe's
// command lines.
//
// Linux: a fresh temporary folder becomes ORV_REGISTRY_DIR in this process's
// environment for the object's life, so every program the test starts (with
// ChildProcess or run()) uses it; commands run `orvreg` from
// ORV_TOOLS_BIN_DIR, else ORV_BIN_DIR. The folder goes at the end.
//
// The Windows build under Wine (ORV_LAUNCHER=wine): commands run `wine reg`
// in the Wine prefix the test runs in (WINEPREFIX; scripts/test uses the
// build's own build-windows/wineprefix). That registry outlives the test, so
// for each key added through add() or addKey() the outermost key that did
// not exist before is remembered and deleted again at the end; keys named
// with track() go too. Keys a test writes through other programs should be
// below uniqueKey() and tracked. Each command starts Wine: a Wine server kept
// up for the whole run (scripts/test does) makes that well under a second.
#pragma once

#include <string>
#include <vector>

namespace orv_e2e {

struct CommandResult {
  int exitCode = -1;
  std::string output;  // line ends as LF
  std::string error;
};

class RegistrySetup {
 public:
  RegistrySetup();
  ~RegistrySetup();
  RegistrySetup(const RegistrySetup&) = delete;
  RegistrySetup& operator=(const RegistrySetup&) = delete;

  // `orvreg ARGS` on Linux, `wine reg ARGS` for the Windows build.
  CommandResult run(const std::vector<std::string>& args) const;
  // add KEY /v NAME /t TYPE /d DATA /f (NAME empty: /ve); a failure fails the test.
  void add(const std::string& key, const std::string& name, const std::string& type, const std::string& data);
  void addKey(const std::string& key);
  // delete KEY /f; false when it failed (a missing key, say).
  bool remove(const std::string& key);
  // Deleted at the end, whoever created it.
  void track(const std::string& key);
  // ROOT\Software\OrvTest\<random>, a key no other test uses.
  static std::string uniqueKey(const std::string& root = "HKCU");
  // The registry folder on Linux; empty under Wine.
  const std::string& folder() const { return folder_; }

 private:
  void rememberCreated(const std::string& key);

  std::string folder_;
  std::string previousFolder_;
  bool hadPreviousFolder_ = false;
  std::vector<std::string> created_;
};

// Runs a program found on PATH (or by path) with standard input from
// /dev/null and gathers what it writes.
CommandResult runCommand(const std::vector<std::string>& argv);

}  // namespace orv_e2e

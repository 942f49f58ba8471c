// `orvnm install` and `orvnm uninstall`: the manifest written where each
// chosen browser reads it, and removed again.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "browsers.h"
#include "command_line.h"

namespace orvnm {

// The host installed beside orvnm.
std::string defaultHostPath();

class Installer {
 public:
  Installer(const Options& options, std::ostream& out, std::ostream& err) : options_(options), out_(out), err_(err) {}
  // Exit codes: 0 done, 1 failed.
  int install();
  int uninstall();

 private:
  // The places to write or clean, in order, each once.
  std::vector<Location> targets(bool onlyInstalled, const std::string& hostPath, bool& noneInstalled);
  void explainSandboxes(const Browser& browser);

  const Options& options_;
  std::ostream& out_;
  std::ostream& err_;
};

}  // namespace orvnm

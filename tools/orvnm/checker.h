// `orvnm check`: walks what a browser and the host will do, in order, and
// says at each step what holds and what to do about what does not. It reads
// and starts the host; it writes nothing.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "browsers.h"
#include "command_line.h"
#include "manifest.h"
#include "report.h"

namespace orvnm {

class Checker {
 public:
  explicit Checker(const Options& options) : options_(options) {}
  Report run();

 private:
  struct Policy {
    bool userLevelAllowed = true;
    bool blocked = false;
    std::string source;  // where it was read; empty when there is none
  };
  Policy policyOf(const Browser& browser);
  void reportPolicy(const Browser& browser, const Policy& policy);
  // The manifest a place holds, if any; for a key, the file its value names.
  bool manifestAt(const Location& place, std::string& file);
  void checkBrowser(const Browser& browser, bool named);
  void probe(const std::string& hostPath, const std::string& origin);

  const Options& options_;
  Report report_;
  std::map<std::string, ManifestFacts> checked_;  // by file
  std::map<std::string, std::string> hosts_;      // host path -> an origin it allows
  bool anyFound_ = false;
};

}  // namespace orvnm

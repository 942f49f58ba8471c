// A native messaging host manifest: the rules a browser applies to its
// fields, the text orvnm writes, and the check of a manifest on disk.
#pragma once

#include <string>
#include <vector>

#include "report.h"

namespace orvnm {

constexpr char kDefaultHostName[] = "com.halvik.pwm";

// Empty when the origin is exactly chrome-extension://<32 letters a-p>/;
// otherwise what is wrong with it.
std::string originProblem(const std::string& origin);
// Empty when the name is one a browser accepts: lower-case letters, digits,
// "_" and ".", no dot at either end, no two dots together.
std::string hostNameProblem(const std::string& name);

// The manifest's UTF-8 text (no byte-order mark).
std::string manifestText(const std::string& name, const std::string& hostPath, const std::vector<std::string>& origins);
// The "name" of a manifest file; empty when it cannot be read.
std::string manifestNameOf(const std::string& file);

// What the checks found usable in a manifest.
struct ManifestFacts {
  bool readable = false;
  std::string hostPath;  // absolute and executable, else empty
  std::vector<std::string> origins;
  std::string text;  // the file's bytes, to tell two manifests apart
};

// Step 2 of the check, each rule one line of `report`. `expectedName` is the
// name the browser looked it up by (the file name or the registry key).
ManifestFacts checkManifest(const std::string& file, const std::string& expectedName, const std::string& step,
                            Report& report);

}  // namespace orvnm

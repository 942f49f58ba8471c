#include "manifest.h"

#include <json/json.h>

#include <memory>

#include "system_access.h"

namespace orvnm {

namespace {

const char kOriginScheme[] = "chrome-extension://";
constexpr size_t kExtensionIdLength = 32;
const char kByteOrderMark[] = "\xEF\xBB\xBF";

bool parseJson(const std::string& text, Json::Value& root, std::string& problem) {
  Json::CharReaderBuilder builder;
  builder["failIfExtra"] = true;
  builder["rejectDupKeys"] = true;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string errors;
  if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors)) {
    problem = errors.substr(0, errors.find('\n'));
    return false;
  }
  return true;
}

}  // namespace

std::string originProblem(const std::string& origin) {
  const std::string scheme = kOriginScheme;
  if (origin.rfind(scheme, 0) != 0) return "it must start with \"" + scheme + "\"";
  const std::string rest = origin.substr(scheme.size());
  if (rest.find('*') != std::string::npos) return "browsers take no wildcards in allowed origins";
  if (rest.size() == kExtensionIdLength) return "it lacks the trailing \"/\"";
  if (rest.size() != kExtensionIdLength + 1 || rest.back() != '/')
    return "the extension ID must be 32 letters a-p followed by \"/\"";
  for (size_t i = 0; i < kExtensionIdLength; ++i)
    if (rest[i] < 'a' || rest[i] > 'p') return "the extension ID must be 32 letters a-p followed by \"/\"";
  return std::string();
}

std::string hostNameProblem(const std::string& name) {
  if (name.empty()) return "it is empty";
  for (char c : name)
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '.'))
      return "only lower-case letters, digits, \"_\" and \".\" are allowed";
  if (name.front() == '.' || name.back() == '.') return "it must not start or end with \".\"";
  if (name.find("..") != std::string::npos) return "two dots must not follow each other";
  return std::string();
}

std::string manifestText(const std::string& name, const std::string& hostPath,
                         const std::vector<std::string>& origins) {
  Json::Value root(Json::objectValue);
  root["name"] = name;
  root["description"] = "Password manager native messaging host";
  root["path"] = hostPath;
  root["type"] = "stdio";
  Json::Value& allowed = root["allowed_origins"] = Json::Value(Json::arrayValue);
  for (const std::string& origin : origins) allowed.append(origin);
  Json::StreamWriterBuilder writer;
  writer["indentation"] = "  ";
  writer["emitUTF8"] = true;
  return Json::writeString(writer, root) + "\n";
}

std::string manifestNameOf(const std::string& file) {
  std::string text;
  if (!readFile(file, text)) return std::string();
  if (text.rfind(kByteOrderMark, 0) == 0) text.erase(0, 3);
  Json::Value root;
  std::string problem;
  if (!parseJson(text, root, problem) || !root.isObject() || !root["name"].isString()) return std::string();
  return root["name"].asString();
}

ManifestFacts checkManifest(const std::string& file, const std::string& expectedName, const std::string& step,
                            Report& report) {
  ManifestFacts facts;
  const std::string reinstall = "orvnm install --origin chrome-extension://<ID>/ (it writes a sound manifest)";
  std::string text;
  if (!readFile(file, text)) {
    report.fail(step, "cannot read " + file + " (or it is over " + std::to_string(kMostBytesRead / 1024) + " KiB)",
                "make it readable to the browser's user, or " + reinstall);
    return facts;
  }
  facts.readable = true;
  facts.text = text;
  if (text.rfind(kByteOrderMark, 0) == 0) {
    report.fail(step, file + " starts with a byte-order mark, which browsers refuse",
                "save it as UTF-8 without a byte-order mark");
    text.erase(0, 3);
  }
  Json::Value root;
  std::string problem;
  if (!parseJson(text, root, problem) || !root.isObject()) {
    report.fail(step, file + " is not a JSON object" + (problem.empty() ? "" : " (" + problem + ")"), reinstall);
    return facts;
  }

  const Json::Value& name = root["name"];
  if (!name.isString()) {
    report.fail(step, "\"name\" is missing", reinstall);
  } else if (!hostNameProblem(name.asString()).empty()) {
    report.fail(step, "\"name\" is not a valid host name: " + hostNameProblem(name.asString()), reinstall);
  } else if (name.asString() != expectedName) {
    report.fail(step, "\"name\" is \"" + name.asString() + "\" but the browser looks it up as \"" + expectedName + "\"",
                "make \"name\" and the file (or key) name the same");
  } else {
    report.ok(step, "\"name\" is \"" + expectedName + "\"");
  }

  if (!root["type"].isString() || root["type"].asString() != "stdio")
    report.fail(step, "\"type\" is not \"stdio\"", "set \"type\": \"stdio\"");

  const Json::Value& path = root["path"];
  std::string hostPath = path.isString() ? path.asString() : std::string();
  if (!hostPath.empty() && !isFullPath(hostPath) && usesRegistry()) {
    // Windows browsers take a relative path from the manifest's folder.
    hostPath = joinPath(parentFolder(file), hostPath);
    report.note(step, "\"path\" is relative; the browser starts " + hostPath);
  }
  if (hostPath.empty()) {
    report.fail(step, "\"path\" is missing", reinstall);
  } else if (!isFullPath(hostPath)) {
    report.fail(step, "\"path\" " + hostPath + " is not a full path",
                "name the host by its full path, e.g. orvnm install --host /full/path/pwm_chrome_extension_host");
  } else if (!fileExists(hostPath)) {
    report.fail(step, "\"path\" " + hostPath + " does not exist", "install the host there or " + reinstall);
  } else if (!isExecutableFile(hostPath)) {
    report.fail(step, "\"path\" " + hostPath + " is not executable",
                usesRegistry() ? "name the host's .exe" : "chmod 755 " + hostPath);
  } else {
    report.ok(step, "\"path\" " + hostPath + " is an executable file");
    facts.hostPath = hostPath;
  }

  const Json::Value& origins = root["allowed_origins"];
  if (!origins.isArray() || origins.empty()) {
    report.fail(step, "\"allowed_origins\" lists no extension", "orvnm install --origin chrome-extension://<ID>/");
    return facts;
  }
  bool allSound = true;
  for (const Json::Value& origin : origins) {
    const std::string text = origin.isString() ? origin.asString() : origin.toStyledString();
    const std::string wrong = origin.isString() ? originProblem(text) : "it is not a string";
    if (wrong.empty()) {
      facts.origins.push_back(text);
    } else {
      allSound = false;
      report.fail(step, "origin " + text + " is refused by browsers: " + wrong,
                  "write it as chrome-extension://<32 letters a-p>/");
    }
  }
  if (allSound) report.ok(step, std::to_string(origins.size()) + " allowed origin(s), each well formed");
  return facts;
}

}  // namespace orvnm

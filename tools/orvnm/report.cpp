#include "report.h"

#include <json/json.h>

namespace orvnm {

namespace {

const char* word(Status status) {
  switch (status) {
    case Status::kOk: return "ok";
    case Status::kFail: return "FAIL";
    case Status::kNote: return "note";
  }
  return "";
}

}  // namespace

void Report::add(Status status, const std::string& step, const std::string& what, const std::string& fix) {
  lines_.push_back({status, step, what, fix});
}

int Report::failures() const {
  int count = 0;
  for (const Line& line : lines_) count += line.status == Status::kFail ? 1 : 0;
  return count;
}

void Report::printText(std::ostream& out) const {
  for (const Line& line : lines_) {
    std::string text = word(line.status);
    text.resize(6, ' ');
    out << text << line.step << ": " << line.what;
    if (!line.fix.empty()) out << " -- " << (line.status == Status::kFail ? "fix: " : "") << line.fix;
    out << "\n";
  }
  out << failures() << (failures() == 1 ? " failure" : " failures") << "\n";
}

void Report::printJson(std::ostream& out) const {
  Json::Value root(Json::objectValue);
  root["failures"] = failures();
  Json::Value& steps = root["steps"] = Json::Value(Json::arrayValue);
  for (const Line& line : lines_) {
    Json::Value step(Json::objectValue);
    step["status"] = word(line.status);
    step["step"] = line.step;
    step["message"] = line.what;
    if (!line.fix.empty()) step["fix"] = line.fix;
    steps.append(step);
  }
  Json::StreamWriterBuilder writer;
  writer["indentation"] = "";
  writer["emitUTF8"] = true;
  out << Json::writeString(writer, root) << "\n";
}

}  // namespace orvnm

// What `orvnm check` found: one line per step, ok, FAIL (with its fix) or
// note, printed as text or as one JSON object.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace orvnm {

enum class Status { kOk, kFail, kNote };

class Report {
 public:
  void ok(const std::string& step, const std::string& what) { add(Status::kOk, step, what, ""); }
  void fail(const std::string& step, const std::string& what, const std::string& fix) {
    add(Status::kFail, step, what, fix);
  }
  void note(const std::string& step, const std::string& what, const std::string& fix = "") {
    add(Status::kNote, step, what, fix);
  }
  int failures() const;
  void printText(std::ostream& out) const;
  void printJson(std::ostream& out) const;

 private:
  struct Line {
    Status status;
    std::string step;
    std::string what;
    std::string fix;
  };
  void add(Status status, const std::string& step, const std::string& what, const std::string& fix);
  std::vector<Line> lines_;
};

}  // namespace orvnm

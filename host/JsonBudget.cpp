#include "JsonBudget.h"

namespace {

// Where the token that starts at `at` ends. Strings, comments and scalars
// are skipped exactly as the parser skips them, so that brackets inside
// them are never counted and none outside them is missed.
size_t endOfString(const std::string& text, size_t at) {
  for (++at; at < text.size(); ++at) {
    if (text[at] == '\\')
      ++at;  // the escaped character, whatever it is
    else if (text[at] == '"')
      return at + 1;
  }
  return text.size();
}

size_t endOfComment(const std::string& text, size_t at) {
  if (at + 1 >= text.size()) return text.size();
  if (text[at + 1] == '*') {
    const size_t close = text.find("*/", at + 2);
    return close == std::string::npos ? text.size() : close + 2;
  }
  if (text[at + 1] == '/') {
    const size_t lineEnd = text.find_first_of("\r\n", at + 2);
    return lineEnd == std::string::npos ? text.size() : lineEnd + 1;
  }
  return text.size();  // a lone "/" is an error: the parser stops there
}

bool isScalarEnd(char c) {
  switch (c) {
    case ' ':
    case '\t':
    case '\r':
    case '\n':
    case ',':
    case ':':
    case '[':
    case ']':
    case '{':
    case '}':
    case '"':
    case '/':
    case '\0': return true;
    default: return false;
  }
}

}  // namespace

bool fitsJsonBudget(const std::string& text, const JsonBudget& budget) {
  size_t values = 0;
  size_t depth = 0;
  size_t at = 0;
  while (at < text.size()) {
    const char c = text[at];
    switch (c) {
      case ' ':
      case '\t':
      case '\r':
      case '\n':
      case ',':
      case ':': ++at; continue;
      case '/': at = endOfComment(text, at); continue;
      case '\0': return true;  // the parser reads a zero byte as the end of the text
      case ']':
      case '}':
        if (depth == 0) return true;    // the parser fails here
        if (--depth == 0) return true;  // the root is complete
        ++at;
        continue;
      case '[':
      case '{':
        if (++values > budget.ulMaxValues || ++depth > budget.ulMaxDepth) return false;
        ++at;
        continue;
      case '"':
        if (++values > budget.ulMaxValues) return false;
        at = endOfString(text, at);
        break;
      default:  // a number, a literal or a stray character
        if (++values > budget.ulMaxValues) return false;
        while (++at < text.size() && !isScalarEnd(text[at])) {
        }
        break;
    }
    if (depth == 0) return true;  // a root that is a string or a scalar
  }
  return true;
}

// A pre-scan that bounds what parsing a message can cost: JsonCpp builds a
// node of some hundred bytes for every value and recurses once per level of
// nesting, so both are counted before it sees the text.
#pragma once

#include <cstddef>
#include <string>

struct JsonBudget {
  size_t ulMaxValues;  // containers, strings (member names included) and scalars
  size_t ulMaxDepth;   // arrays and objects open at once
};

// True when the root value of `text` (read the way Json::Reader reads it:
// comments allowed, anything after the root ignored) stays within the
// budget. Text that is not JSON passes when it stays within it too: the
// parser then rejects it within the same bounds.
bool fitsJsonBudget(const std::string& text, const JsonBudget& budget);

#include "page_origin.h"

#include <cctype>

namespace {

std::string lowered(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

bool isSchemeCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '+' || c == '-' || c == '.';
}

// The port without leading zeros; false when it is not a number up to 65535.
bool normalPort(const std::string& digits, std::string& port) {
  if (digits.empty() || digits.size() > 16) return false;
  unsigned long value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned long>(c - '0');
  }
  if (value > 65535) return false;
  port = std::to_string(value);
  return true;
}

std::string defaultPort(const std::string& scheme) {
  if (scheme == "http") return "80";
  if (scheme == "https") return "443";
  if (scheme == "ftp") return "21";
  return std::string();
}

}  // namespace

std::string pageOrigin(const std::string& url) {
  const size_t separator = url.find("://");
  if (separator == std::string::npos || separator == 0) return std::string();
  const std::string scheme = lowered(url.substr(0, separator));
  for (char c : scheme)
    if (!isSchemeCharacter(c)) return std::string();

  const size_t authorityStart = separator + 3;
  const size_t authorityEnd = url.find_first_of("/?#", authorityStart);
  std::string authority = url.substr(authorityStart, authorityEnd == std::string::npos ? std::string::npos
                                                                                       : authorityEnd - authorityStart);
  const size_t at = authority.rfind('@');
  if (at != std::string::npos) authority.erase(0, at + 1);

  std::string host, digits;
  bool hasPort = false;
  if (!authority.empty() && authority[0] == '[') {  // an IPv6 literal keeps its brackets
    const size_t close = authority.find(']');
    if (close == std::string::npos) return std::string();
    host = authority.substr(0, close + 1);
    if (close + 1 < authority.size()) {
      if (authority[close + 1] != ':') return std::string();
      hasPort = true;
      digits = authority.substr(close + 2);
    }
  } else {
    const size_t colon = authority.rfind(':');
    host = authority.substr(0, colon);
    if (colon != std::string::npos) {
      hasPort = true;
      digits = authority.substr(colon + 1);
    }
  }
  host = lowered(host);
  if (host.empty() || host == "[]") return std::string();

  std::string port;
  if (hasPort && !digits.empty() && !normalPort(digits, port)) return std::string();
  if (port == defaultPort(scheme)) port.clear();
  return scheme + "://" + host + (port.empty() ? std::string() : ":" + port);
}

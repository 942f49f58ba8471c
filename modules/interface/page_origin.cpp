#include "page_origin.h"

#include <cstdint>
#include <vector>

namespace {

bool isAsciiAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }
bool isAsciiHexDigit(char c) { return isAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
char lowered(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool isSchemeCharacter(char c) { return isAsciiAlpha(c) || isAsciiDigit(c) || c == '+' || c == '-' || c == '.'; }

// The address as the parser reads it: C0 controls and spaces trimmed at both
// ends, tabs and line breaks removed everywhere.
std::string cleaned(const std::string& url) {
  size_t begin = 0;
  size_t end = url.size();
  while (begin < end && static_cast<unsigned char>(url[begin]) <= 0x20) ++begin;
  while (end > begin && static_cast<unsigned char>(url[end - 1]) <= 0x20) --end;
  std::string text;
  text.reserve(end - begin);
  for (size_t i = begin; i < end; ++i)
    if (url[i] != '\t' && url[i] != '\n' && url[i] != '\r') text.push_back(url[i]);
  return text;
}

// The default port of a special network scheme; -1 for any other scheme.
long defaultPortOf(const std::string& scheme) {
  if (scheme == "http" || scheme == "ws") return 80;
  if (scheme == "https" || scheme == "wss") return 443;
  if (scheme == "ftp") return 21;
  return -1;
}

bool endsAuthority(char c) { return c == '/' || c == '\\' || c == '?' || c == '#'; }

// A code point no domain may hold, once percent-escapes and IDNA are ruled out.
bool isForbiddenDomainCharacter(char c) {
  const unsigned char byte = static_cast<unsigned char>(c);
  if (byte <= 0x20 || byte == 0x7F) return true;
  switch (c) {
    case '#':
    case '%':
    case '/':
    case ':':
    case '<':
    case '>':
    case '?':
    case '@':
    case '[':
    case '\\':
    case ']':
    case '^':
    case '|': return true;
    default: return false;
  }
}

// One part of a numeric IPv4 host: decimal, octal with a leading 0, or
// hexadecimal with 0x; false when it is none of them.
bool ipv4Number(const std::string& part, uint64_t& value) {
  std::string digits = part;
  unsigned base = 10;
  if (digits.size() >= 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    digits.erase(0, 2);
    base = 16;
  } else if (digits.size() >= 2 && digits[0] == '0') {
    digits.erase(0, 1);
    base = 8;
  }
  value = 0;
  for (char c : digits) {
    unsigned digit = 0;
    if (isAsciiDigit(c))
      digit = static_cast<unsigned>(c - '0');
    else if (base == 16 && isAsciiHexDigit(c))
      digit = static_cast<unsigned>(lowered(c) - 'a' + 10);
    else
      return false;
    if (digit >= base) return false;
    value = value * base + digit;
    if (value > 0xFFFFFFFFull) value = 0x100000000ull;  // too large either way; no overflow
  }
  return true;
}

std::vector<std::string> labelsOf(const std::string& host) {
  std::vector<std::string> labels(1);
  for (char c : host) {
    if (c == '.')
      labels.emplace_back();
    else
      labels.back().push_back(c);
  }
  return labels;
}

// Whether the last label (a trailing empty one aside) is a number: such a
// host is an IPv4 address or nothing.
bool endsInNumber(std::vector<std::string> labels) {
  if (labels.size() > 1 && labels.back().empty()) labels.pop_back();
  const std::string& last = labels.back();
  if (last.empty()) return false;
  bool digitsOnly = true;
  for (char c : last) digitsOnly = digitsOnly && isAsciiDigit(c);
  if (digitsOnly) return true;
  if (last.size() < 2 || last[0] != '0' || (last[1] != 'x' && last[1] != 'X')) return false;
  for (size_t i = 2; i < last.size(); ++i)
    if (!isAsciiHexDigit(last[i])) return false;
  return true;
}

// The dotted-decimal form of a numeric host ("0x7f.1" is "127.0.0.1");
// false when the browser would refuse it.
bool ipv4Host(std::vector<std::string> labels, std::string& dotted) {
  if (labels.size() > 1 && labels.back().empty()) labels.pop_back();
  if (labels.size() > 4) return false;
  std::vector<uint64_t> numbers;
  for (const std::string& label : labels) {
    uint64_t value = 0;
    if (label.empty() || !ipv4Number(label, value)) return false;
    numbers.push_back(value);
  }
  for (size_t i = 0; i + 1 < numbers.size(); ++i)
    if (numbers[i] > 255) return false;
  if (numbers.back() >= (1ull << (8 * (5 - numbers.size())))) return false;
  uint64_t address = numbers.back();
  for (size_t i = 0; i + 1 < numbers.size(); ++i) address += numbers[i] << (8 * (3 - i));
  dotted.clear();
  for (int shift = 24; shift >= 0; shift -= 8) {
    if (!dotted.empty()) dotted.push_back('.');
    dotted += std::to_string((address >> shift) & 0xFF);
  }
  return true;
}

// The host as the browser serialises it, or false.
bool parsedHost(const std::string& text, std::string& host) {
  if (text.empty() || text[0] == '[') return false;  // no host, or an IPv6 literal
  host.clear();
  for (char c : text) {
    // Percent-escapes and non-ASCII text need the browser's IDNA processing.
    if (static_cast<unsigned char>(c) >= 0x80 || isForbiddenDomainCharacter(c)) return false;
    host.push_back(lowered(c));
  }
  const std::vector<std::string> labels = labelsOf(host);
  if (endsInNumber(labels)) return ipv4Host(labels, host);
  return true;
}

// The port digits as a number; -1 without digits, false for anything else or
// more than 65535.
bool parsedPort(const std::string& digits, long& port) {
  port = -1;
  if (digits.empty()) return true;
  long value = 0;
  for (char c : digits) {
    if (!isAsciiDigit(c)) return false;
    value = value * 10 + (c - '0');
    if (value > 65535) return false;
  }
  port = value;
  return true;
}

}  // namespace

std::string pageOrigin(const std::string& url) {
  const std::string text = cleaned(url);
  const size_t colon = text.find(':');
  if (colon == std::string::npos || colon == 0 || !isAsciiAlpha(text[0])) return std::string();
  std::string scheme;
  for (size_t i = 0; i < colon; ++i) {
    if (!isSchemeCharacter(text[i])) return std::string();
    scheme.push_back(lowered(text[i]));
  }
  const long defaultPort = defaultPortOf(scheme);
  if (defaultPort < 0) return std::string();

  // Any run of slashes and backslashes leads to the authority of a special
  // scheme; it ends at the first of "/", "\", "?" or "#".
  size_t start = colon + 1;
  while (start < text.size() && (text[start] == '/' || text[start] == '\\')) ++start;
  size_t end = start;
  while (end < text.size() && !endsAuthority(text[end])) ++end;
  std::string authority = text.substr(start, end - start);
  const size_t at = authority.rfind('@');  // user information is everything up to the last "@"
  if (at != std::string::npos) authority.erase(0, at + 1);

  const size_t portColon = authority.find(':');
  std::string host;
  long port = -1;
  if (!parsedHost(authority.substr(0, portColon), host)) return std::string();
  if (portColon != std::string::npos && !parsedPort(authority.substr(portColon + 1), port)) return std::string();
  if (port == defaultPort) port = -1;
  return scheme + "://" + host + (port < 0 ? std::string() : ":" + std::to_string(port));
}

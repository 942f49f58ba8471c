// A profile (INI) file held as its lines. An edit rewrites only the lines it
// touches; every other line keeps its bytes, comments and odd encodings
// included, so that writing a key never damages what a person wrote.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "orv_win32.h"

namespace orv_posix {

using ProfileText = std::u16string;

constexpr size_t kMaxProfileLines = 1u << 20;

// Blanks as the profile calls drop them around names and values: ASCII
// white space and Ctrl-Z (the old end-of-file mark).
bool isProfileBlank(WCHAR unit);
ProfileText trimProfileBlanks(const ProfileText& text);

// One line of a section as GetPrivateProfileSectionW lists it.
struct ProfileEntry {
  ProfileText key;
  ProfileText value;
  bool hasValue;  // false for a line without "="
};

using ProfilePairs = std::vector<std::pair<ProfileText, ProfileText>>;

class ProfileDocument {
 public:
  // An empty file: UTF-8 without byte-order mark, CR LF line ends.
  ProfileDocument() = default;
  // UTF-16 (little or big endian) when the bytes begin with its byte-order
  // mark, UTF-8 otherwise (with or without its mark). Nothing is rejected:
  // bytes that do not decode read as U+FFFD and are written back unchanged.
  // More than kMaxProfileLines lines throw std::length_error, which bounds
  // the memory a file of empty lines takes.
  explicit ProfileDocument(const std::string& bytes);
  std::string bytes() const;

  // Section names in file order, duplicates included. The lines before the
  // first header form a nameless section that is never listed.
  std::vector<ProfileText> sectionNames() const;
  bool hasSection(const ProfileText& section) const;
  // The first section of that name (as Windows: a later duplicate is hidden),
  // comments left out.
  std::vector<ProfileEntry> entries(const ProfileText& section) const;
  // The first key of that name in that section; null when it is missing or
  // its line has no "=".
  const ProfileText* value(const ProfileText& section, const ProfileText& key) const;

  // Names are compared without case and blanks; each call returns whether
  // the document changed. A new key goes after the last non-blank line of
  // its section, a new section at the end of the file.
  bool setValue(const ProfileText& section, const ProfileText& key, const ProfileText& value);
  bool removeKey(const ProfileText& section, const ProfileText& key);
  bool removeSection(const ProfileText& section);
  // The section's lines become exactly these entries, in place; a missing
  // section is appended, empty or not.
  bool replaceSection(const ProfileText& section, const ProfilePairs& entries);

 private:
  enum class Encoding { kUtf8, kUtf16Le, kUtf16Be };
  enum class Kind : uint8_t { kBlank, kHeader, kEntry };
  enum class LineEnd : uint8_t { kNone, kCr, kLf, kCrLf };

  struct Line {
    std::string raw;               // the line's bytes in the file's encoding, line end excluded
    LineEnd end = LineEnd::kNone;  // kNone only for a last line without one
    Kind kind = Kind::kBlank;
    ProfileText name;  // section name or key, trimmed
    ProfileText value;
    bool hasValue = false;
  };

  // Lines [begin, end) of one section; no header (-1) for the nameless one.
  struct Span {
    size_t header;
    size_t begin;
    size_t end;
  };

  size_t unitWidth() const { return encoding_ == Encoding::kUtf8 ? 1 : 2; }
  WCHAR unitAt(const std::string& bytes, size_t at) const;
  ProfileText decode(const std::string& raw) const;
  std::string encode(const ProfileText& text) const;
  void classify(Line& line) const;
  Line makeLine(const ProfileText& text) const;
  LineEnd newLineEnd() const;

  std::vector<Span> spans() const;
  bool findSection(const ProfileText& section, Span& span) const;
  size_t findKey(const Span& span, const ProfileText& key) const;
  size_t endOfContent(const Span& span) const;
  void insertLines(size_t at, const std::vector<ProfileText>& texts);
  void appendSection(const ProfileText& section, const std::vector<ProfileText>& texts);

  Encoding encoding_ = Encoding::kUtf8;
  std::string byteOrderMark_;
  std::vector<Line> lines_;
};

}  // namespace orv_posix

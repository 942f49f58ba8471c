#include "profile_document.h"

#include <algorithm>
#include <stdexcept>

#include "orv_platform/text_encoding.h"

namespace orv_posix {

namespace {

constexpr WCHAR kCarriageReturn = u'\r';
constexpr WCHAR kLineFeed = u'\n';
constexpr size_t kNoLine = static_cast<size_t>(-1);

bool isLineBreak(WCHAR unit) { return unit == kCarriageReturn || unit == kLineFeed; }

// Case folding as the profile calls compare names: ASCII letters only.
bool sameName(const ProfileText& a, const ProfileText& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; }

ProfileText entryText(const ProfileText& key, const ProfileText& value) { return key + u'=' + value; }

std::u16string_view trimmed(std::u16string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && isProfileBlank(text[begin])) ++begin;
  while (end > begin && isProfileBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

}  // namespace

bool isProfileBlank(WCHAR unit) { return unit == u' ' || (unit >= u'\t' && unit <= u'\r') || unit == 0x1A; }

ProfileText trimProfileBlanks(const ProfileText& text) { return ProfileText(trimmed(text)); }

ProfileDocument::ProfileDocument(const std::string& bytes) {
  size_t at = 0;
  if (bytes.compare(0, 2, "\xFF\xFE") == 0) {
    encoding_ = Encoding::kUtf16Le;
    at = 2;
  } else if (bytes.compare(0, 2, "\xFE\xFF") == 0) {
    encoding_ = Encoding::kUtf16Be;
    at = 2;
  } else if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    at = 3;
  }
  byteOrderMark_ = bytes.substr(0, at);

  // A line ends at CR LF, LF or a lone CR. In UTF-16 a stray last byte stays
  // with the last line, so that it is written back as it was.
  const size_t width = unitWidth();
  const size_t lineFeeds =
      static_cast<size_t>(std::count(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.end(), '\n'));
  lines_.reserve(std::min(lineFeeds + 1, kMaxProfileLines));
  while (at < bytes.size()) {
    size_t end = at;
    while (end + width <= bytes.size() && !isLineBreak(unitAt(bytes, end))) end += width;
    if (end + width > bytes.size()) end = bytes.size();
    size_t next = end;
    LineEnd lineEnd = LineEnd::kNone;
    if (next < bytes.size()) {
      lineEnd = unitAt(bytes, next) == kLineFeed ? LineEnd::kLf : LineEnd::kCr;
      next += width;
      if (lineEnd == LineEnd::kCr && next + width <= bytes.size() && unitAt(bytes, next) == kLineFeed) {
        lineEnd = LineEnd::kCrLf;
        next += width;
      }
    }
    if (lines_.size() == kMaxProfileLines) throw std::length_error("too many lines in a profile file");
    Line line;
    line.raw = bytes.substr(at, end - at);
    line.end = lineEnd;
    classify(line);
    lines_.push_back(std::move(line));
    at = next;
  }
}

std::string ProfileDocument::bytes() const {
  const std::string ends[] = {std::string(), encode(u"\r"), encode(u"\n"), encode(u"\r\n")};
  std::string out = byteOrderMark_;
  for (const Line& line : lines_) {
    out += line.raw;
    out += ends[static_cast<int>(line.end)];
  }
  return out;
}

WCHAR ProfileDocument::unitAt(const std::string& bytes, size_t at) const {
  const auto byte = [&](size_t i) { return static_cast<WCHAR>(static_cast<unsigned char>(bytes[i])); };
  switch (encoding_) {
    case Encoding::kUtf16Le: return static_cast<WCHAR>(byte(at) | (byte(at + 1) << 8));
    case Encoding::kUtf16Be: return static_cast<WCHAR>((byte(at) << 8) | byte(at + 1));
    default: return byte(at);
  }
}

ProfileText ProfileDocument::decode(const std::string& raw) const {
  ProfileText text;
  if (encoding_ == Encoding::kUtf8) {
    // Most lines are ASCII, which needs no decoding.
    if (std::all_of(raw.begin(), raw.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
      text.assign(raw.begin(), raw.end());
    } else {
      text = orv_platform::utf16Of(raw, orv_platform::InvalidText::kReplace);
    }
  } else {
    for (size_t at = 0; at + 1 < raw.size(); at += 2) text.push_back(unitAt(raw, at));
  }
  // The calls see C strings: a zero unit ends what the line says.
  const size_t zero = text.find(u'\0');
  if (zero != ProfileText::npos) text.resize(zero);
  return text;
}

std::string ProfileDocument::encode(const ProfileText& text) const {
  std::string raw;
  if (encoding_ == Encoding::kUtf8) {
    return orv_platform::utf8Of(text, orv_platform::InvalidText::kReplace);
  }
  const bool little = encoding_ == Encoding::kUtf16Le;
  for (WCHAR unit : text) {
    const char low = static_cast<char>(unit & 0xFF);
    const char high = static_cast<char>(unit >> 8);
    raw.push_back(little ? low : high);
    raw.push_back(little ? high : low);
  }
  return raw;
}

// Windows' reading of a line: a header is "[" up to the line's last "]"
// (so "[a]b]" names "a]b"; without "]" the line is an entry); an entry is a
// key, and a value after the first "=" when there is one. A key that begins
// with ";" is a comment, yet still found by its name, as on Windows.
void ProfileDocument::classify(Line& line) const {
  const ProfileText decoded = decode(line.raw);
  const std::u16string_view text = trimmed(decoded);
  line.name.clear();
  line.value.clear();
  line.hasValue = false;
  if (text.empty()) {
    line.kind = Kind::kBlank;
    return;
  }
  const size_t close = text.rfind(u']');
  if (text[0] == u'[' && close != std::u16string_view::npos && close > 0) {
    line.kind = Kind::kHeader;
    line.name = trimmed(text.substr(1, close - 1));
    return;
  }
  line.kind = Kind::kEntry;
  const size_t equals = text.find(u'=');
  if (equals == std::u16string_view::npos) {
    line.name = text;
    return;
  }
  line.name = trimmed(text.substr(0, equals));
  line.value = trimmed(text.substr(equals + 1));
  line.hasValue = true;
}

ProfileDocument::Line ProfileDocument::makeLine(const ProfileText& text) const {
  Line line;
  line.raw = encode(text);
  line.end = newLineEnd();
  classify(line);
  return line;
}

// New lines end as the file's first line does: CR LF unless the file uses LF.
ProfileDocument::LineEnd ProfileDocument::newLineEnd() const {
  for (const Line& line : lines_)
    if (line.end != LineEnd::kNone) return line.end;
  return LineEnd::kCrLf;
}

std::vector<ProfileDocument::Span> ProfileDocument::spans() const {
  std::vector<Span> result{Span{kNoLine, 0, 0}};
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind != Kind::kHeader) continue;
    result.back().end = i;
    result.push_back(Span{i, i + 1, 0});
  }
  result.back().end = lines_.size();
  return result;
}

bool ProfileDocument::findSection(const ProfileText& section, Span& span) const {
  const ProfileText wanted = trimProfileBlanks(section);
  for (const Span& candidate : spans()) {
    static const ProfileText kNameless;
    const ProfileText& name = candidate.header == kNoLine ? kNameless : lines_[candidate.header].name;
    if (sameName(name, wanted)) {
      span = candidate;
      return true;
    }
  }
  return false;
}

size_t ProfileDocument::findKey(const Span& span, const ProfileText& key) const {
  const ProfileText wanted = trimProfileBlanks(key);
  for (size_t i = span.begin; i < span.end; ++i)
    if (lines_[i].kind == Kind::kEntry && sameName(lines_[i].name, wanted)) return i;
  return kNoLine;
}

// Just past the section's last non-blank line: blank lines before the next
// header stay where they are.
size_t ProfileDocument::endOfContent(const Span& span) const {
  size_t end = span.end;
  while (end > span.begin && lines_[end - 1].kind == Kind::kBlank) --end;
  return end;
}

void ProfileDocument::insertLines(size_t at, const std::vector<ProfileText>& texts) {
  if (texts.empty()) return;
  if (at == lines_.size() && !lines_.empty() && lines_.back().end == LineEnd::kNone) {
    Line& last = lines_.back();
    last.raw.resize(last.raw.size() - last.raw.size() % unitWidth());  // a stray UTF-16 byte
    last.end = newLineEnd();
  }
  std::vector<Line> added;
  added.reserve(texts.size());
  for (const ProfileText& text : texts) added.push_back(makeLine(text));
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
}

void ProfileDocument::appendSection(const ProfileText& section, const std::vector<ProfileText>& texts) {
  std::vector<ProfileText> all{u'[' + trimProfileBlanks(section) + u']'};
  all.insert(all.end(), texts.begin(), texts.end());
  insertLines(lines_.size(), all);
}

std::vector<ProfileText> ProfileDocument::sectionNames() const {
  std::vector<ProfileText> names;
  for (const Line& line : lines_)
    if (line.kind == Kind::kHeader && !line.name.empty()) names.push_back(line.name);
  return names;
}

bool ProfileDocument::hasSection(const ProfileText& section) const {
  Span span{};
  return findSection(section, span);
}

std::vector<ProfileEntry> ProfileDocument::entries(const ProfileText& section) const {
  std::vector<ProfileEntry> result;
  Span span{};
  if (!findSection(section, span)) return result;
  for (size_t i = span.begin; i < span.end; ++i) {
    const Line& line = lines_[i];
    if (line.kind == Kind::kEntry && line.name.compare(0, 1, u";") != 0)
      result.push_back(ProfileEntry{line.name, line.value, line.hasValue});
  }
  return result;
}

const ProfileText* ProfileDocument::value(const ProfileText& section, const ProfileText& key) const {
  Span span{};
  if (!findSection(section, span)) return nullptr;
  const size_t at = findKey(span, key);
  return (at != kNoLine && lines_[at].hasValue) ? &lines_[at].value : nullptr;
}

bool ProfileDocument::setValue(const ProfileText& section, const ProfileText& key, const ProfileText& value) {
  const ProfileText name = trimProfileBlanks(key);
  const ProfileText text = trimProfileBlanks(value);
  Span span{};
  if (!findSection(section, span)) {
    appendSection(section, {entryText(name, text)});
    return true;
  }
  const size_t at = findKey(span, name);
  if (at == kNoLine) {
    insertLines(endOfContent(span), {entryText(name, text)});
    return true;
  }
  Line& line = lines_[at];
  if (line.hasValue && line.value == text) return false;
  // The key keeps the spelling it has in the file, as on Windows.
  Line replaced = makeLine(entryText(line.name, text));
  replaced.end = line.end;
  line = std::move(replaced);
  return true;
}

bool ProfileDocument::removeKey(const ProfileText& section, const ProfileText& key) {
  Span span{};
  if (!findSection(section, span)) return false;
  const size_t at = findKey(span, key);
  if (at == kNoLine) return false;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(at));
  return true;
}

bool ProfileDocument::removeSection(const ProfileText& section) {
  Span span{};
  if (!findSection(section, span)) return false;
  const size_t first = span.header == kNoLine ? span.begin : span.header;
  if (first == span.end) return false;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(first),
               lines_.begin() + static_cast<std::ptrdiff_t>(span.end));
  return true;
}

bool ProfileDocument::replaceSection(const ProfileText& section, const ProfilePairs& entries) {
  std::vector<ProfileText> texts;
  texts.reserve(entries.size());
  for (const auto& entry : entries)
    texts.push_back(entryText(trimProfileBlanks(entry.first), trimProfileBlanks(entry.second)));
  Span span{};
  if (!findSection(section, span)) {
    appendSection(section, texts);
    return true;
  }
  const size_t end = endOfContent(span);
  if (end == span.begin && texts.empty()) return false;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(span.begin),
               lines_.begin() + static_cast<std::ptrdiff_t>(end));
  insertLines(span.begin, texts);
  return true;
}

}  // namespace orv_posix

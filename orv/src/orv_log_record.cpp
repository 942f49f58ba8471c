#include "orv_log_record.h"

#include <cstring>
#include <initializer_list>
#include <new>

namespace {

constexpr size_t kTextLimit = 0x40000000;  // characters

// Texts may carry what the program worked on: wipe them before release.
void releaseText(WCHAR*& text) noexcept {
  if (text == nullptr) return;
  for (volatile WCHAR* unit = text; *unit != 0; ++unit) *unit = 0;
  delete[] text;
  text = nullptr;
}

}  // namespace

CORVLogRecord::CORVLogRecord(const CORVLogRecord& other) noexcept { copyFrom(other); }

CORVLogRecord& CORVLogRecord::operator=(const CORVLogRecord& other) noexcept {
  if (this != &other) copyFrom(other);
  return *this;
}

CORVLogRecord::~CORVLogRecord() { freeTexts(); }

bool CORVLogRecord::storeText(WCHAR*& field, const WCHAR* text) noexcept {
  // The copy is made before the old text goes: the text may be the field itself.
  WCHAR* copy = nullptr;
  bool stored = text == nullptr;
  if (text != nullptr) {
    size_t length = 0;
    while (text[length] != 0 && length < kTextLimit) ++length;
    if (length > 0 && length < kTextLimit) copy = new (std::nothrow) WCHAR[length + 1];
    if (copy != nullptr) std::memcpy(copy, text, (length + 1) * sizeof(WCHAR));
    stored = copy != nullptr;
  }
  releaseText(field);
  field = copy;
  return stored;
}

void CORVLogRecord::copyFrom(const CORVLogRecord& other) noexcept {
  m_ulType = other.m_ulType;
  m_ulResultKind = other.m_ulResultKind;
  m_ulResult = other.m_ulResult;
  m_ulLine = other.m_ulLine;
  // The sources are valid texts already: a failure here can only be memory.
  storeText(m_pszMessage, other.m_pszMessage);
  storeText(m_pszObjectName, other.m_pszObjectName);
  storeText(m_pszLogFile, other.m_pszLogFile);
  storeText(m_pszClassName, other.m_pszClassName);
  storeText(m_pszMethodName, other.m_pszMethodName);
  storeText(m_pszSourceFile, other.m_pszSourceFile);
}

void CORVLogRecord::freeTexts() noexcept {
  for (WCHAR** field :
       {&m_pszMessage, &m_pszObjectName, &m_pszLogFile, &m_pszClassName, &m_pszMethodName, &m_pszSourceFile})
    releaseText(*field);
}

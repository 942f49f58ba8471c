#include "orv_ini.h"

#include "orv_catch.h"
#include "orv_trace_scope.h"

namespace {

const WCHAR* const kNotFound = ORV_W("Not Found");

// Never null: the profile calls read a null section, key or value as "all
// of them" or "delete it", which an empty name must not become.

}  // namespace

CORVIni::CORVIni(const CORVWCharString& szFileName) {
  ORV_TRACE("CORVIni", "CORVIni");
  m_szFileName = szFileName;
}

CORVIni::~CORVIni() { ORV_TRACE("CORVIni", "~CORVIni"); }

bool CORVIni::createProfileSection(const CORVWCharString& section) {
  ORV_TRACE("CORVIni", "createProfileSection");
  bool passed = false;
  try {
    // An empty list: the double zero that ends every entry list.
    const WCHAR noEntries[2] = {0, 0};
    if (!WritePrivateProfileSectionW(section.getTextOrEmpty(), noEntries, m_szFileName.getTextOrEmpty()))
      throw CORVWritePrivateProfileSectionException(section.getTextOrEmpty(), GetLastError(), ORV_SOURCE_FILE, __LINE__,
                                                    ORV_OUTPUT_TEXT, true);
    passed = true;
  }
  ORV_CATCH_THEN(GetLastError(), __LINE__, passed = false)
  ORV_TRACE_RESULT(passed);
  return passed;
}

bool CORVIni::getProfileInt(const CORVWCharString& section, const CORVWCharString& key, INT& value) {
  ORV_TRACE("CORVIni", "getProfileInt");
  bool passed = false;
  try {
    const UINT read =
        GetPrivateProfileIntW(section.getTextOrEmpty(), key.getTextOrEmpty(), -1, m_szFileName.getTextOrEmpty());
    // The default doubles as the failure sign, so a stored -1 fails too.
    if (static_cast<INT>(read) == -1) throw CORVLogException1(GetLastError(), ORV_SOURCE_FILE, __LINE__);
    value = static_cast<INT>(read);
    passed = true;
  }
  ORV_CATCH_THEN(GetLastError(), __LINE__, passed = false)
  ORV_TRACE_RESULT(passed);
  return passed;
}

template <typename ReadList>
bool CORVIni::readList(CORVWCharStringList& list, const ReadList& readInto) {
  for (DWORD size = kListBufferSize; size <= kMaxListBufferSize; size *= 2) {
    CORVBuffer<WCHAR> buffer(size);
    const DWORD read = readInto(buffer.getBuffer(), size);
    if (read == 0) return false;
    // size - 2 is the platform's sign of a list cut to fit.
    if (read >= size - 2) continue;
    list.clear();
    INT tag = 0;
    const WCHAR* const entries = buffer.getBuffer();
    for (DWORD pos = 0; pos < read;) {
      DWORD length = 0;
      while (pos + length < read && entries[pos + length] != 0) ++length;
      if (length != 0) list.addTail(CORVWCharString(CORVBuffer<WCHAR>(entries + pos, length)), tag++);
      pos += length + 1;
    }
    return true;
  }
  return false;
}

bool CORVIni::getProfileSection(const CORVWCharString& section, CORVWCharStringList& list) {
  ORV_TRACE("CORVIni", "getProfileSection");
  bool passed = false;
  try {
    passed = readList(list, [&](WCHAR* buffer, DWORD size) {
      return GetPrivateProfileSectionW(section.getTextOrEmpty(), buffer, size, m_szFileName.getTextOrEmpty());
    });
  }
  ORV_CATCH_THEN(GetLastError(), __LINE__, passed = false)
  ORV_TRACE_RESULT(passed);
  return passed;
}

bool CORVIni::getProfileSectionNames(CORVWCharStringList& list) {
  ORV_TRACE("CORVIni", "getProfileSectionNames");
  bool passed = false;
  try {
    passed = readList(list, [&](WCHAR* buffer, DWORD size) {
      return GetPrivateProfileSectionNamesW(buffer, size, m_szFileName.getTextOrEmpty());
    });
  }
  ORV_CATCH_THEN(GetLastError(), __LINE__, passed = false)
  ORV_TRACE_RESULT(passed);
  return passed;
}

bool CORVIni::getProfileString(const CORVWCharString& section, const CORVWCharString& key, CORVWCharString& out) {
  ORV_TRACE("CORVIni", "getProfileString");
  bool passed = false;
  try {
    CORVBuffer<WCHAR> buffer(kStringBufferSize);
    const DWORD read = GetPrivateProfileStringW(section.getTextOrEmpty(), key.getTextOrEmpty(), kNotFound,
                                                buffer.getBuffer(), kStringBufferSize, m_szFileName.getTextOrEmpty());
    // size - 1 and size - 2 are the platform's signs of a value cut to fit.
    if (read != 0 && read != kStringBufferSize - 1 && read != kStringBufferSize - 2) {
      CORVWCharString text(buffer);
      if (text != CORVWCharString(kNotFound)) {
        out = text;
        passed = out == text;
      }
    }
  }
  ORV_CATCH_THEN(GetLastError(), __LINE__, passed = false)
  ORV_TRACE_RESULT(passed);
  return passed;
}

bool CORVIni::setProfileInt(const CORVWCharString& section, const CORVWCharString& key, INT value) {
  ORV_TRACE("CORVIni", "setProfileInt");
  bool passed = false;
  try {
    passed = setProfileString(section, key, CORVWCharString(value));
  }
  ORV_CATCH_THEN(GetLastError(), __LINE__, passed = false)
  ORV_TRACE_RESULT(passed);
  return passed;
}

bool CORVIni::setProfileString(const CORVWCharString& section, const CORVWCharString& key,
                               const CORVWCharString& value) {
  ORV_TRACE("CORVIni", "setProfileString");
  bool passed = false;
  try {
    if (!WritePrivateProfileStringW(section.getTextOrEmpty(), key.getTextOrEmpty(), value.getTextOrEmpty(),
                                    m_szFileName.getTextOrEmpty()))
      throw CORVWritePrivateProfileStringException(section.getTextOrEmpty(), key.getTextOrEmpty(), GetLastError(),
                                                   ORV_SOURCE_FILE, __LINE__, ORV_OUTPUT_TEXT, true);
    passed = true;
  }
  ORV_CATCH_THEN(GetLastError(), __LINE__, passed = false)
  ORV_TRACE_RESULT(passed);
  return passed;
}

// The library's exceptions and warnings: each is a log record as well as an
// exception, thrown by value and caught by reference. Three ways of building:
//
//   format    the message's "%s" filled from texts ("Unknown" for an absent
//             one); written at once when logNow is set.
//   short     a fixed message, written when the object is destroyed with its
//             log-on-destruction flag set.
//   in place  a fixed message, written at once (ORV_THROW_IN_PLACE).
//
// Building, writing or destroying one never changes GetLastError() or errno
// and never throws for a logging failure.
#pragma once

#include "orv_logging.h"
#include "orv_trace_scope.h"

class ORV_API CORVLogException1 : public CORVDetailedLog {
 public:
  // In place: "GetPrivateProfileInt( ) failed." with the caller's code.
  CORVLogException1(DWORD errorCode, const WCHAR* sourceFile, ULONG line) noexcept;

 protected:
  struct InPlace {};
  struct Short {};
  // In place: level EXCEPTION_BAD, result kind 0, text output, written now.
  CORVLogException1(InPlace, const WCHAR* message, DWORD errorCode, const WCHAR* sourceFile, ULONG line) noexcept;
  // Short: text output, not written now.
  CORVLogException1(Short, const WCHAR* message, DWORD errorCode, const WCHAR* sourceFile, ULONG line,
                    bool logOnDestroy) noexcept;
  // Format.
  CORVLogException1(const MessageFormat& message, DWORD errorCode, ULONG resultKind, const WCHAR* className,
                    const WCHAR* methodName, const WCHAR* sourceFile, ULONG line, USHORT outputs, bool logNow,
                    bool logOnDestroy) noexcept;
};

class ORV_API CORVLogWarning : public CORVDetailedLog {
 protected:
  // Format, level WARNING.
  CORVLogWarning(const MessageFormat& message, DWORD errorCode, ULONG resultKind, const WCHAR* className,
                 const WCHAR* methodName, const WCHAR* sourceFile, ULONG line, USHORT outputs, bool logNow,
                 bool logOnDestroy) noexcept;
};

// A diagnostic note (level DEBUG, result kind 1, code 0), written at once.
class ORV_API CORVLogDebug : public CORVDetailedLog {
 public:
  CORVLogDebug(const WCHAR* text, const WCHAR* sourceFile, ULONG line) noexcept;
};

// ---- Built in place: (error code, source file, line), written at once.

#define ORV_IN_PLACE_EXCEPTION(ClassName, message)                                     \
  class ORV_API ClassName : public CORVLogException1 {                                 \
   public:                                                                             \
    ClassName(DWORD errorCode, const WCHAR* sourceFile, ULONG line) noexcept           \
        : CORVLogException1(InPlace(), ORV_W(message), errorCode, sourceFile, line) {} \
  }

ORV_IN_PLACE_EXCEPTION(CORVIndexOutOfBoundsException, "Index out of array bounds");
ORV_IN_PLACE_EXCEPTION(CORVUnhandledExceptionException, "An unhandled exception occurred");
ORV_IN_PLACE_EXCEPTION(CORVProcessInvalidHandleException, "Invalid handle");
ORV_IN_PLACE_EXCEPTION(CORVProcessWindowsException, "Windows Error");
ORV_IN_PLACE_EXCEPTION(CORVProcessPrivelgeException, "Windows Error");
ORV_IN_PLACE_EXCEPTION(CORVRegKeyInitException, "CORVRegistryKey object failed to initialize");
ORV_IN_PLACE_EXCEPTION(CORVWindowsOSInfoInitNeededException,
                       "CORVWindowsOSInfo construction failed. Cannot call member functions.");
ORV_IN_PLACE_EXCEPTION(CORVFileInitException, "CORVFile object failed to initialize");
ORV_IN_PLACE_EXCEPTION(CORVDirectoryInitException, "CORVDirectory object failed to initialize");
ORV_IN_PLACE_EXCEPTION(CORVSignedFileInitException, "CORVSignedFile object failed to initialize");
ORV_IN_PLACE_EXCEPTION(CBadDigestException, "TRUST_E_BAD_DIGEST when verifying file signature");
ORV_IN_PLACE_EXCEPTION(CNoSignatureException, "TRUST_E_NOSIGNATURE during verification");
ORV_IN_PLACE_EXCEPTION(CSignatureFileErrorException, "CRYPT_E_FILE_ERROR during verification");
ORV_IN_PLACE_EXCEPTION(CWinVerifyTrustException, "Error in call to WinVerifyTrust");
ORV_IN_PLACE_EXCEPTION(CCertQueryException, "Error retrieving cert info");
ORV_IN_PLACE_EXCEPTION(CORVUnknownVariableNameException, "The environment variable name has not been initialized");
// Named by the registry value readers' handlers; nothing raises it.
ORV_IN_PLACE_EXCEPTION(CORVRegValueQueryException, "Unable to query registry value");

#undef ORV_IN_PLACE_EXCEPTION

// ---- Short: (error code when the class has one, source file, line, log on destruction).

class ORV_API CORVMemoryCopyException : public CORVLogException1 {
 public:
  CORVMemoryCopyException(DWORD errorCode, const WCHAR* sourceFile, ULONG line, bool logOnDestroy) noexcept
      : CORVLogException1(Short(), ORV_W("memcpy() function failed"), errorCode, sourceFile, line, logOnDestroy) {}
};

class ORV_API CORVMemorySetException : public CORVLogException1 {
 public:
  CORVMemorySetException(DWORD errorCode, const WCHAR* sourceFile, ULONG line, bool logOnDestroy) noexcept
      : CORVLogException1(Short(), ORV_W("memset() function failed"), errorCode, sourceFile, line, logOnDestroy) {}
};

class ORV_API CORVBufferInitException : public CORVLogException1 {
 public:
  CORVBufferInitException(const WCHAR* sourceFile, ULONG line, bool logOnDestroy) noexcept
      : CORVLogException1(Short(), ORV_W("Unable to initialize CORVBuffer"), ORV_NO_ERROR_CODE, sourceFile, line,
                          logOnDestroy) {}
};

// ---- Format: (texts, error code, class and method, source file, line,
// outputs, log now[, log on destruction]) as each class records them.

class ORV_API CORVBadArgException : public CORVLogException1 {
 public:
  CORVBadArgException(const WCHAR* argumentName, const WCHAR* detail, const WCHAR* sourceFile, ULONG line,
                      USHORT outputs, bool logNow, bool logOnDestroy) noexcept
      : CORVLogException1({ORV_W("A bad argument was provided ( %s ). %s"), argumentName, detail}, 0,
                          ORV_RESULT_ERROR_CODE, nullptr, nullptr, sourceFile, line, outputs, logNow, logOnDestroy) {}
};

class ORV_API CORVMemAllocException : public CORVLogException1 {
 public:
  CORVMemAllocException(const WCHAR* what, const WCHAR* sourceFile, ULONG line, USHORT outputs, bool logNow,
                        bool logOnDestroy) noexcept
      : CORVLogException1({ORV_W("Unable to allocate memory ( %s )"), what}, ORV_NO_ERROR_CODE, ORV_RESULT_ERROR_CODE,
                          nullptr, nullptr, sourceFile, line, outputs, logNow, logOnDestroy) {}
};

class ORV_API CORVOpenProcessTokenException : public CORVLogException1 {
 public:
  CORVOpenProcessTokenException(const WCHAR* handle, DWORD errorCode, const WCHAR* sourceFile, ULONG line,
                                USHORT outputs, bool logNow) noexcept
      : CORVLogException1({ORV_W("OpenProcessToken call failed for handle:%s"), handle}, errorCode,
                          ORV_RESULT_ERROR_CODE, nullptr, nullptr, sourceFile, line, outputs, logNow, false) {}
};

class ORV_API CORVLookupPrivilegeValueException : public CORVLogException1 {
 public:
  CORVLookupPrivilegeValueException(const WCHAR* privilege, DWORD errorCode, const WCHAR* sourceFile, ULONG line,
                                    USHORT outputs, bool logNow) noexcept
      : CORVLogException1({ORV_W("LookupPrivilegeValue call failed for privilege:%s"), privilege}, errorCode,
                          ORV_RESULT_ERROR_CODE, nullptr, nullptr, sourceFile, line, outputs, logNow, false) {}
};

class ORV_API CORVAdjustTokenPrivilegesException : public CORVLogException1 {
 public:
  CORVAdjustTokenPrivilegesException(const WCHAR* handle, DWORD errorCode, const WCHAR* sourceFile, ULONG line,
                                     USHORT outputs, bool logNow) noexcept
      : CORVLogException1({ORV_W("AdjustTokenPrivileges call failed for handle:%s"), handle}, errorCode,
                          ORV_RESULT_ERROR_CODE, nullptr, nullptr, sourceFile, line, outputs, logNow, false) {}
};

// The registry key exceptions that name the raising method.
#define ORV_REGISTRY_KEY_EXCEPTION(ClassName, format, resultKind)                                                   \
  class ORV_API ClassName : public CORVLogException1 {                                                              \
   public:                                                                                                          \
    ClassName(const WCHAR* key, DWORD errorCode, const WCHAR* className, const WCHAR* methodName,                   \
              const WCHAR* sourceFile, ULONG line, USHORT outputs, bool logNow, bool logOnDestroy) noexcept         \
        : CORVLogException1({ORV_W(format), key}, errorCode, (resultKind), className, methodName, sourceFile, line, \
                            outputs, logNow, logOnDestroy) {}                                                       \
  }

ORV_REGISTRY_KEY_EXCEPTION(CORVRegEnumKeyException, "Unable to enumerate subkeys from key ( \"%s\" )",
                           ORV_RESULT_ERROR_CODE);
ORV_REGISTRY_KEY_EXCEPTION(CORVRegEnumValueException, "Unable to enumerate values from key ( \"%s\" )",
                           ORV_RESULT_ERROR_CODE);
ORV_REGISTRY_KEY_EXCEPTION(CORVRegKeyCreateException, "Unable to create registry key ( \"%s\" )", ORV_RESULT_PASS_FAIL);
ORV_REGISTRY_KEY_EXCEPTION(CORVRegRestoreKeyException, "Unable to load registry key ( \"%s\" )", ORV_RESULT_PASS_FAIL);
ORV_REGISTRY_KEY_EXCEPTION(CORVRegSaveKeyException, "Unable to save registry key ( \"%s\" )", ORV_RESULT_PASS_FAIL);

#undef ORV_REGISTRY_KEY_EXCEPTION

class ORV_API CORVRegQueryInfoKeyException : public CORVLogException1 {
 public:
  CORVRegQueryInfoKeyException(const WCHAR* key, DWORD errorCode, const WCHAR* sourceFile, ULONG line, USHORT outputs,
                               bool logNow, bool logOnDestroy) noexcept
      : CORVLogException1({ORV_W("Unable to query info on registry key ( \"%s\" )"), key}, errorCode,
                          ORV_RESULT_PASS_FAIL, nullptr, nullptr, sourceFile, line, outputs, logNow, logOnDestroy) {}
};

class ORV_API CORVRegQueryMultipleValuesException : public CORVLogException1 {
 public:
  CORVRegQueryMultipleValuesException(const WCHAR* key, DWORD errorCode, const WCHAR* sourceFile, ULONG line,
                                      USHORT outputs, bool logNow, bool logOnDestroy) noexcept
      : CORVLogException1({ORV_W("Unable to query multiple values from registry key ( \"%s\" )"), key}, errorCode,
                          ORV_RESULT_PASS_FAIL, nullptr, nullptr, sourceFile, line, outputs, logNow, logOnDestroy) {}
};

class ORV_API CORVRegValueSetException : public CORVLogException1 {
 public:
  CORVRegValueSetException(const WCHAR* keyPath, const WCHAR* valueName, DWORD errorCode, const WCHAR* className,
                           const WCHAR* methodName, const WCHAR* sourceFile, ULONG line, USHORT outputs, bool logNow,
                           bool logOnDestroy) noexcept
      : CORVLogException1({ORV_W("Unable to Set registry value ( \"%s\\%s\" )"), keyPath, valueName}, errorCode,
                          ORV_RESULT_PASS_FAIL, className, methodName, sourceFile, line, outputs, logNow,
                          logOnDestroy) {}
};

class ORV_API CORVSignedFileInvalidFileException : public CORVLogException1 {
 public:
  CORVSignedFileInvalidFileException(const WCHAR* fileName, const WCHAR* sourceFile, ULONG line, USHORT outputs,
                                     bool logNow, bool logOnDestroy) noexcept
      : CORVLogException1({ORV_W("Provided signed filename %s does not exist."), fileName}, 0, ORV_RESULT_ERROR_CODE,
                          nullptr, nullptr, sourceFile, line, outputs, logNow, logOnDestroy) {}
};

// A trust folder or anchor file that the signature check did not use,
// because someone other than root or the running user could write it.
class ORV_API CORVIgnoredTrustAnchorException : public CORVLogException1 {
 public:
  CORVIgnoredTrustAnchorException(const WCHAR* path, const WCHAR* sourceFile, ULONG line, USHORT outputs, bool logNow,
                                  bool logOnDestroy) noexcept
      : CORVLogException1({ORV_W("Trust anchor %s ignored: others than its owner may write it"), path}, 0,
                          ORV_RESULT_ERROR_CODE, nullptr, nullptr, sourceFile, line, outputs, logNow, logOnDestroy) {}
};

class ORV_API CORVWritePrivateProfileSectionException : public CORVLogException1 {
 public:
  CORVWritePrivateProfileSectionException(const WCHAR* section, DWORD errorCode, const WCHAR* sourceFile, ULONG line,
                                          USHORT outputs, bool logNow) noexcept
      : CORVLogException1({ORV_W("Unable to write profile section ( section: %s )"), section}, errorCode,
                          ORV_RESULT_ERROR_CODE, nullptr, nullptr, sourceFile, line, outputs, logNow, false) {}
};

class ORV_API CORVWritePrivateProfileStringException : public CORVLogException1 {
 public:
  CORVWritePrivateProfileStringException(const WCHAR* section, const WCHAR* keyName, DWORD errorCode,
                                         const WCHAR* sourceFile, ULONG line, USHORT outputs, bool logNow) noexcept
      : CORVLogException1({ORV_W("Unable to write profile string ( section: %s, key name: %s )"), section, keyName},
                          errorCode, ORV_RESULT_ERROR_CODE, nullptr, nullptr, sourceFile, line, outputs, logNow,
                          false) {}
};

// ---- Warnings (format).

class ORV_API CMemDestroyFailWarning : public CORVLogWarning {
 public:
  CMemDestroyFailWarning(const WCHAR* what, const WCHAR* sourceFile, ULONG line, USHORT outputs, bool logNow,
                         bool logOnDestroy) noexcept
      : CORVLogWarning({ORV_W("Unable to free memory ( %s )"), what}, ORV_NO_ERROR_CODE, ORV_RESULT_ERROR_CODE, nullptr,
                       nullptr, sourceFile, line, outputs, logNow, logOnDestroy) {}
};

class ORV_API CCloseHandleWarning : public CORVLogWarning {
 public:
  CCloseHandleWarning(const WCHAR* handleName, DWORD errorCode, const WCHAR* sourceFile, ULONG line, USHORT outputs,
                      bool logNow) noexcept
      : CORVLogWarning({ORV_W("Unable to free memory ( %s )"), handleName}, errorCode, ORV_RESULT_ERROR_CODE, nullptr,
                       nullptr, sourceFile, line, outputs, logNow, false) {}
};

class ORV_API CORVRegCloseKeyWarning : public CORVLogWarning {
 public:
  CORVRegCloseKeyWarning(const WCHAR* key, DWORD errorCode, const WCHAR* className, const WCHAR* methodName,
                         const WCHAR* sourceFile, ULONG line, USHORT outputs, bool logNow, bool logOnDestroy) noexcept
      : CORVLogWarning({ORV_W("Unable to close registry key ( %s )"), key}, errorCode, ORV_RESULT_ERROR_CODE, className,
                       methodName, sourceFile, line, outputs, logNow, logOnDestroy) {}
};

class ORV_API CORVRegKeyAlreadyOpenWarning : public CORVLogWarning {
 public:
  CORVRegKeyAlreadyOpenWarning(const WCHAR* key, const WCHAR* className, const WCHAR* methodName,
                               const WCHAR* sourceFile, ULONG line, USHORT outputs, bool logNow,
                               bool logOnDestroy) noexcept
      : CORVLogWarning({ORV_W("Registry key is already open ( %s )"), key}, ORV_NO_ERROR_CODE, ORV_RESULT_PASS_FAIL,
                       className, methodName, sourceFile, line, outputs, logNow, logOnDestroy) {}
};

// Builds the class's record with its fixed message, writes it and throws it.
#define ORV_THROW_IN_PLACE_FROM(ClassName, errorCode, sourceFile, line) \
  throw ClassName(static_cast<DWORD>(errorCode), (sourceFile), (line))
#define ORV_THROW_IN_PLACE(ClassName, errorCode, line) \
  ORV_THROW_IN_PLACE_FROM(ClassName, errorCode, ORV_SOURCE_FILE, line)

// Writes a debug note at once: orvLogDebug(ORV_W("..."), ORV_SOURCE_FILE, __LINE__).
ORV_API void orvLogDebug(const WCHAR* text, const WCHAR* sourceFile, ULONG line) noexcept;

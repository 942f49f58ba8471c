// CORVSignedFile: whether a file carries a valid code signature and whether
// its signer is a given one. The application policy loads its module only
// when verifySignature returns true with the signer found.
//
// The signer counts as found only when the name appears (in any case,
// anywhere in the subject) in a certificate of the chain that the trust
// check itself verified: the certificate whose key checked the signature
// and its issuers up to the trust anchor. Other certificates that merely
// travel in the signature never vouch for it, and nothing is looked up again.
//
// verifySignature opens the file for reading without write or delete
// sharing and keeps it open until the object goes: the file cannot be
// replaced meanwhile, and loading it by the same name loads what was checked.
#pragma once

#include "orv_file.h"
#include "orv_wchar_string.h"
#include "orv_win32.h"

class ORV_API CORVSignedFile : public CORVFile {
 public:
  CORVSignedFile();
  // Throws CORVSignedFileInitException when the file does not exist.
  explicit CORVSignedFile(const CORVWCharString& strFilename);
  ~CORVSignedFile();

  // Whether the file exists; logs CORVSignedFileInvalidFileException if not.
  bool initialize();
  // True when the verification ran to its end: the file exists, its
  // signature is valid and, with a signer name, its certificates could be
  // read. bSignerFound: the file is accepted as signed by strSignerName (by
  // anyone validly, for an empty name). Callers need both.
  bool verifySignature(const CORVWCharString& strSignerName, bool& bSignerFound);

 private:
  CORVSignedFile(const CORVSignedFile&) = delete;
  CORVSignedFile& operator=(const CORVSignedFile&) = delete;

  void raiseInvalidFile(ULONG line) const;
  // Opens the file once, read sharing only; the handle lives as long as this object.
  HANDLE heldFile();

  HANDLE m_hHeldFile;
};

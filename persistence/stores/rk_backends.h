#pragma once
// The four stores behind IRKPersistence. Each is created by one operation of
// CRKPersistenceImpl with reference count 0 and lives as long as the archive
// that holds it. Text reaching a file or the registry is ANSI in the
// thread's code page. Methods return HRESULTs and never throw.
//
// Strings, in every store: GetValue of kind 1 takes the field's capacity as
// its size; a stored string that does not fit (capacity bytes or more) is
// refused with RK_E_INSUFFICIENT_BUFFER and the field is not touched.
#include "persistence/core/com_ptr.h"
#include "persistence/stores/rk_persistence.h"

#include <msxml2.h>

#include <string>

// Values in the order written, nothing else (keys and variant types are
// ignored); see rk_stream_records.h for the record format. Holds one
// reference to the caller's stream. A read that gets fewer bytes than asked
// fails with RK_E_SHORT_READ; a write that stores fewer, RK_E_SHORT_WRITE.
class CRKStreamPersistence : public CRefCountImpl<IRKPersistence> {
 public:
  explicit CRKStreamPersistence(IStream* pStream);
  ~CRKStreamPersistence() override;
  HRESULT GetValue(void* pData, ULONGLONG cbSize, LPCSTR pszKey, DWORD dwKind,
                   VARTYPE vt) override;
  HRESULT PutValue(const void* pData, ULONGLONG cbSize, LPCSTR pszKey, DWORD dwKind,
                   VARTYPE vt) override;

 private:
  ovl::ComPtr<IStream> m_pStream;
};

// One section of an INI file through the profile functions. The first
// PutValue deletes the section, so a save replaces it. Binary blocks:
// E_NOTIMPL. A missing or empty string key reads as the empty string; a
// missing or empty typed key is E_FAIL. The profile functions trim blanks
// around values and drop one pair of surrounding quotes when reading.
class CRKIniFilePersistence : public CRefCountImpl<IRKPersistence> {
 public:
  CRKIniFilePersistence(LPCSTR pszFileName, LPCSTR pszSection);
  HRESULT GetValue(void* pData, ULONGLONG cbSize, LPCSTR pszKey, DWORD dwKind,
                   VARTYPE vt) override;
  HRESULT PutValue(const void* pData, ULONGLONG cbSize, LPCSTR pszKey, DWORD dwKind,
                   VARTYPE vt) override;

 private:
  std::string m_strFileName;
  std::string m_strSection;
  DWORD m_bSectionNotCleared;
};

// An MSXML document: <doc title="T"><PARAMETERS><key>text</key>...</doc>.
// One direction per object: a GetValue after a PutValue, or the reverse, is
// E_FAIL. Keys are matched without regard to letter case; the first
// matching element with text wins. Binary blocks are Base64 text and must
// decode to exactly the requested size.
class CRKXMLFilePersistence : public CRefCountImpl<IRKPersistence> {
 public:
  CRKXMLFilePersistence(LPCSTR pszFileName, LPCSTR pszTitle);
  ~CRKXMLFilePersistence() override;
  HRESULT GetValue(void* pData, ULONGLONG cbSize, LPCSTR pszKey, DWORD dwKind,
                   VARTYPE vt) override;
  HRESULT PutValue(const void* pData, ULONGLONG cbSize, LPCSTR pszKey, DWORD dwKind,
                   VARTYPE vt) override;
  // Writes a document created by PutValue to the file, creating missing
  // directories first. S_FALSE when nothing was written to the document.
  HRESULT Commit();

 private:
  enum : DWORD { kNone = 0, kReading = 1, kWriting = 2 };
  HRESULT OpenForReading();
  HRESULT CreateForWriting();
  HRESULT FindText(LPCSTR pszKey, std::wstring* text);
  HRESULT AppendValue(LPCSTR pszKey, const std::wstring& text);

  std::string m_strFileName;
  std::string m_strTitle;
  ovl::ComPtr<IXMLDOMDocument> m_pDoc;
  DWORD m_dwMode;
};

// Text values (REG_SZ, with their NUL) and binary blocks (REG_BINARY) under
// one key. Every access opens the key with RegCreateKeyExA, so a read also
// creates a missing key. Any missing value, or one of the wrong type, is
// E_FAIL (strings too).
class CRKRegReadablePersistence : public CRefCountImpl<IRKPersistence> {
 public:
  CRKRegReadablePersistence(HKEY hRoot, LPCSTR pszKeyPath);
  HRESULT GetValue(void* pData, ULONGLONG cbSize, LPCSTR pszKey, DWORD dwKind,
                   VARTYPE vt) override;
  HRESULT PutValue(const void* pData, ULONGLONG cbSize, LPCSTR pszKey, DWORD dwKind,
                   VARTYPE vt) override;

 private:
  HKEY m_hRoot;
  std::string m_strKeyPath;
};

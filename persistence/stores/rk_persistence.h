#pragma once
// The persistence library: an object implements IRKSerializable and saves or
// loads its settings as named values through an archive, without knowing the
// store. CRKPersistenceImpl has one pair of operations per store; each builds
// the matching back-end (IRKPersistence), wraps it in a CRKArchive that
// carries the direction, and calls the object's Serialize.
//
// Inside the library failures travel as CRKHRFailedException; every
// operation of CRKPersistenceImpl returns an HRESULT and lets no exception
// out (running out of memory gives E_OUTOFMEMORY).
//
// COM must be initialised on the calling thread (the XML store creates an
// MSXML document, the memory operations use CreateStreamOnHGlobal).
#include "persistence/core/rk_common.h"  // windows.h first: the COM headers need it

#include <objidl.h>
#include <oaidl.h>

#include <cstdint>

#include "persistence/core/com_ptr.h"

class CRKArchive;

// What a load or save runs on.
struct IRKSerializable {
  virtual HRESULT Serialize(CRKArchive& archive) = 0;

 protected:
  ~IRKSerializable() = default;
};

struct IRefCount {
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IRefCount() = default;
};

// Value kinds of GetValue / PutValue.
enum : DWORD {
  // A fixed-size value of a numeric variant type (VT_I4, VT_UI4, VT_UI1, ...);
  // size = its byte count (at most the type's size).
  RK_VALUE_TYPED = 0,
  // An ANSI string. size = capacity of the char field in bytes, NUL included.
  //   GetValue: required (0 is E_INVALIDARG). A stored string of `size` bytes
  //     or more is refused with RK_E_INSUFFICIENT_BUFFER and the field is left
  //     unchanged; it is never cut short.
  //   PutValue: 0 = an ordinary NUL-terminated string; otherwise the string
  //     must end inside the field (else E_INVALIDARG).
  //   The variant type is ignored.
  RK_VALUE_STRING = 1,
  // size raw bytes (not in the INI store).
  RK_VALUE_BINARY = 2,
};

// Interface of every back-end. The key is an ANSI name (ignored by the
// stream store). A failed GetValue leaves the destination unchanged.
struct IRKPersistence : public IRefCount {
  virtual HRESULT GetValue(void* pData, ULONGLONG cbSize, LPCSTR pszKey, DWORD dwKind,
                           VARTYPE vt) = 0;
  virtual HRESULT PutValue(const void* pData, ULONGLONG cbSize, LPCSTR pszKey, DWORD dwKind,
                           VARTYPE vt) = 0;
  virtual ~IRKPersistence() = default;
};

// Reference count of a back-end: 0 after construction; the last Release
// destroys the object.
template <class T>
class CRefCountImpl : public T {
 public:
  ULONG AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_cRef)); }
  ULONG Release() override {
    const LONG n = InterlockedDecrement(&m_cRef);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }

 protected:
  CRefCountImpl() : m_cRef(0) {}

 private:
  LONG m_cRef;
};

// A failed step inside the library. Thrown by value, caught by reference.
class CRKHRFailedException {
 public:
  explicit CRKHRFailedException(HRESULT hr) : m_hr(hr) {}
  virtual ~CRKHRFailedException() = default;
  HRESULT GetHResult() const { return m_hr; }

  HRESULT m_hr;
};

// Throws CRKHRFailedException for a failed HRESULT.
inline void RKThrowIfFailed(HRESULT hr) {
  if (FAILED(hr)) throw CRKHRFailedException(hr);
}

// The direction and the store of one save or load.
class CRKArchive {
 public:
  enum : DWORD { store = 0, load = 1 };

  // The archive's version record (key "_rk_ser_ver_", one VT_UI1 byte) is
  // written on a store and read on a load only while this switch is on. It
  // is off: no store of this system holds the record.
  static constexpr bool kVersionRecord = false;

  // Holds one reference to pPersistence. pVersion is the front object's
  // version byte (read from it; a load with the record on writes it back).
  // Throws CRKHRFailedException when the version record fails.
  CRKArchive(IRKPersistence* pPersistence, DWORD dwMode, BYTE* pVersion);
  virtual ~CRKArchive();

  bool IsStoring() const { return m_dwMode == store; }
  bool IsLoading() const { return m_dwMode == load; }
  DWORD GetMode() const { return m_dwMode; }
  BYTE GetVersion() const { return m_bVersion; }
  IRKPersistence* GetPersistence() const { return m_pPersistence.Get(); }

  HRESULT PutValue(const void* pData, ULONGLONG cbSize, LPCSTR pszKey, DWORD dwKind,
                   VARTYPE vt = VT_EMPTY) {
    return m_pPersistence->PutValue(pData, cbSize, pszKey, dwKind, vt);
  }
  HRESULT GetValue(void* pData, ULONGLONG cbSize, LPCSTR pszKey, DWORD dwKind,
                   VARTYPE vt = VT_EMPTY) {
    return m_pPersistence->GetValue(pData, cbSize, pszKey, dwKind, vt);
  }
  // PutValue on a store, GetValue on a load: one line per setting.
  HRESULT Exchange(void* pData, ULONGLONG cbSize, LPCSTR pszKey, DWORD dwKind,
                   VARTYPE vt = VT_EMPTY) {
    return IsStoring() ? PutValue(pData, cbSize, pszKey, dwKind, vt)
                       : GetValue(pData, cbSize, pszKey, dwKind, vt);
  }

  CRKArchive(const CRKArchive&) = delete;
  CRKArchive& operator=(const CRKArchive&) = delete;

 private:
  BYTE m_bVersion;
  DWORD m_dwMode;
  ovl::ComPtr<IRKPersistence> m_pPersistence;
};

// The front object: one pair of operations per store. Every operation takes
// the object to save or load last, returns an HRESULT and lets no exception
// out. A successful Serialize (S_FALSE too) gives S_OK; its failures come
// back unchanged. No state changes between operations, so one instance can
// serve several threads (the object guards its own fields).
class CRKPersistenceImpl {
 public:
  CRKPersistenceImpl() : m_bVersion(0) {}
  virtual ~CRKPersistenceImpl() = default;

  // The stream form in a file (the wide name is used as given). The form is
  // built first, so a failing Serialize leaves an existing file untouched. A
  // missing file on load: HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND).
  virtual HRESULT SaveToFile(LPCWSTR pszFileName, IRKSerializable* pObj);
  virtual HRESULT LoadFromFile(LPCWSTR pszFileName, IRKSerializable* pObj);
  // One section of an INI file (give a full path: a bare name means the
  // Windows directory to the profile functions). A save replaces the section.
  virtual HRESULT SaveToIniFile(LPCSTR pszFileName, LPCSTR pszSection, IRKSerializable* pObj);
  virtual HRESULT LoadFromIniFile(LPCSTR pszFileName, LPCSTR pszSection, IRKSerializable* pObj);
  // An XML document <doc title="..."><PARAMETERS><key>text</key>...; the
  // file (and missing directories) is written after a successful Serialize,
  // and a failed write is returned.
  virtual HRESULT SaveToXmlFile(LPCSTR pszFileName, LPCSTR pszTitle, IRKSerializable* pObj);
  virtual HRESULT LoadFromXmlFile(LPCSTR pszFileName, LPCSTR pszTitle, IRKSerializable* pObj);
  // The stream form as one REG_BINARY value. Key path and value name may be
  // string resource identifiers (MAKEINTRESOURCEA) of this module. Any
  // failure is E_FAIL; a value whose size is not the object's current
  // serialized size is refused without loading.
  virtual HRESULT SaveToRegistryBinary(HKEY hRoot, LPCSTR pszKeyPath, LPCSTR pszValueName,
                                       IRKSerializable* pObj);
  virtual HRESULT LoadFromRegistryBinary(HKEY hRoot, LPCSTR pszKeyPath, LPCSTR pszValueName,
                                         IRKSerializable* pObj);
  // One REG_SZ (or REG_BINARY) value per key under hRoot\pszKeyPath.
  virtual HRESULT SaveToRegistry(HKEY hRoot, LPCSTR pszKeyPath, IRKSerializable* pObj);
  virtual HRESULT LoadFromRegistry(HKEY hRoot, LPCSTR pszKeyPath, IRKSerializable* pObj);
  // The stream form from a block of cbBlock bytes; never reads past it. A
  // block that ends before the last value fails with RK_E_SHORT_READ.
  virtual HRESULT LoadFromMemory(const BYTE* pBlock, ULONG cbBlock, IRKSerializable* pObj);
  // The stream form into a block that must hold GetSerializedSize(pObj)
  // bytes. Null block: E_INVALIDARG, nothing serialised.
  virtual HRESULT SaveToMemory(BYTE* pBlock, IRKSerializable* pObj);
  // The same with the block's size: a form larger than cbBlock gives
  // RK_E_INSUFFICIENT_BUFFER and writes nothing.
  HRESULT SaveToMemory(BYTE* pBlock, ULONG cbBlock, IRKSerializable* pObj);
  // The stream store on the caller's stream (null: E_POINTER). A load fails
  // with RK_E_SHORT_READ when the stream ends before the last value.
  virtual HRESULT SaveToStream(IStream* pStream, IRKSerializable* pObj);
  virtual HRESULT LoadFromStream(IStream* pStream, IRKSerializable* pObj);

  // Bytes of the object's stream form; 0 when serialising fails.
  ULONG GetSerializedSize(IRKSerializable* pObj);

  BYTE GetVersion() const { return m_bVersion; }

 private:
  HRESULT RunArchive(IRKPersistence* pBackEnd, DWORD dwMode, IRKSerializable* pObj);
  // One operation on a new back-end T(args...): the object and the names
  // are checked, then RunArchive; nothing is thrown out.
  template <class T, class... Args>
  HRESULT RunOnNewBackEnd(DWORD dwMode, IRKSerializable* pObj, Args... args);
  // The stream form in a new memory stream, positioned at its start.
  ovl::ComPtr<IStream> SerializeToMemoryStream(IRKSerializable* pObj);
  HRESULT LoadFromMemoryStream(IStream* pStream, IRKSerializable* pObj);

  BYTE m_bVersion;
};

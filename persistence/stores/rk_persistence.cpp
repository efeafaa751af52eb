#include "persistence/stores/rk_persistence.h"

#include <vector>

#include "persistence/stores/rk_backends.h"
#include "persistence/stores/rk_text.h"

namespace {

const char kVersionKey[] = "_rk_ser_ver_";

template <class T, class... Args>
T* NewBackEnd(Args&&... args) {
  T* p = new (std::nothrow) T(std::forward<Args>(args)...);
  if (p == nullptr) throw CRKHRFailedException(E_OUTOFMEMORY);
  return p;
}

class FileHandle {
 public:
  explicit FileHandle(HANDLE h) : m_h(h) {}
  ~FileHandle() {
    if (m_h != INVALID_HANDLE_VALUE) CloseHandle(m_h);
  }
  HANDLE Get() const { return m_h; }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

 private:
  HANDLE m_h;
};

ovl::ComPtr<IStream> NewMemoryStream() {
  ovl::ComPtr<IStream> stream;
  const HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
  if (FAILED(hr)) throw CRKHRFailedException(hr);
  if (!stream) throw CRKHRFailedException(E_OUTOFMEMORY);
  return stream;
}

void SeekTo(IStream* stream, DWORD origin, ULARGE_INTEGER* position = nullptr) {
  LARGE_INTEGER zero;
  zero.QuadPart = 0;
  RKThrowIfFailed(stream->Seek(zero, origin, position));
}

void WriteAll(IStream* stream, const void* p, ULONG cb) {
  ULONG written = 0;
  RKThrowIfFailed(stream->Write(p, cb, &written));
  if (written != cb) throw CRKHRFailedException(RK_E_SHORT_WRITE);
}

// Key paths and value names of the binary registry operations may be string
// resource identifiers of the module that holds this library.
std::string ResolveName(LPCSTR name) {
  if (name == nullptr) throw CRKHRFailedException(E_INVALIDARG);
  if (!IS_INTRESOURCE(name)) return name;
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&ResolveName), &module))
    throw CRKHRFailedException(E_FAIL);
  char text[1024];
  const int n = LoadStringA(module, static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name)), text,
                            sizeof text);
  if (n <= 0) throw CRKHRFailedException(E_FAIL);
  return std::string(text, static_cast<size_t>(n));
}

// The names a store is created with are required (E_INVALIDARG); the root
// key and the caller's stream are checked elsewhere.
void RequireArgument(LPCSTR name) {
  if (name == nullptr) throw CRKHRFailedException(E_INVALIDARG);
}
void RequireArgument(const void* /*handle*/) {}

// Both names of a binary registry operation; false when either cannot be
// resolved.
bool ResolveNames(LPCSTR keyPath, LPCSTR valueName, std::string* path, std::string* value) {
  try {
    *path = ResolveName(keyPath);
    *value = ResolveName(valueName);
  } catch (const CRKHRFailedException&) {
    return false;
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------- archive

CRKArchive::CRKArchive(IRKPersistence* pPersistence, DWORD dwMode, BYTE* pVersion)
    : m_bVersion(pVersion != nullptr ? *pVersion : 0), m_dwMode(dwMode) {
  if (pPersistence == nullptr) throw CRKHRFailedException(E_POINTER);
  if (dwMode != store && dwMode != load) throw CRKHRFailedException(E_INVALIDARG);
  m_pPersistence = ovl::ComPtr<IRKPersistence>::Share(pPersistence);
  if (kVersionRecord) {
    HRESULT hr;
    if (dwMode == store) {
      hr = m_pPersistence->PutValue(&m_bVersion, 1, kVersionKey, RK_VALUE_TYPED, VT_UI1);
    } else {
      hr = m_pPersistence->GetValue(&m_bVersion, 1, kVersionKey, RK_VALUE_TYPED, VT_UI1);
      if (SUCCEEDED(hr) && pVersion != nullptr) *pVersion = m_bVersion;
    }
    if (FAILED(hr)) throw CRKHRFailedException(hr);
  }
}

CRKArchive::~CRKArchive() = default;

// ---------------------------------------------------------------- front

HRESULT CRKPersistenceImpl::RunArchive(IRKPersistence* pBackEnd, DWORD dwMode,
                                       IRKSerializable* pObj) {
  HRESULT hr;
  {
    CRKArchive archive(pBackEnd, dwMode, &m_bVersion);
    hr = pObj->Serialize(archive);
  }
  return FAILED(hr) ? hr : S_OK;
}

template <class T, class... Args>
HRESULT CRKPersistenceImpl::RunOnNewBackEnd(DWORD dwMode, IRKSerializable* pObj, Args... args) {
  return RKGuard([&]() -> HRESULT {
    if (pObj == nullptr) return E_POINTER;
    (RequireArgument(args), ...);
    // Our own reference for the operation (the archive holds another while it lives).
    const auto backEnd = ovl::ComPtr<IRKPersistence>::Share(NewBackEnd<T>(args...));
    return RunArchive(backEnd.Get(), dwMode, pObj);
  });
}

HRESULT CRKPersistenceImpl::SaveToStream(IStream* pStream, IRKSerializable* pObj) {
  if (pStream == nullptr) return E_POINTER;
  return RunOnNewBackEnd<CRKStreamPersistence>(CRKArchive::store, pObj, pStream);
}

HRESULT CRKPersistenceImpl::LoadFromStream(IStream* pStream, IRKSerializable* pObj) {
  if (pStream == nullptr) return E_POINTER;
  return RunOnNewBackEnd<CRKStreamPersistence>(CRKArchive::load, pObj, pStream);
}

HRESULT CRKPersistenceImpl::SaveToIniFile(LPCSTR pszFileName, LPCSTR pszSection,
                                          IRKSerializable* pObj) {
  return RunOnNewBackEnd<CRKIniFilePersistence>(CRKArchive::store, pObj, pszFileName, pszSection);
}

HRESULT CRKPersistenceImpl::LoadFromIniFile(LPCSTR pszFileName, LPCSTR pszSection,
                                            IRKSerializable* pObj) {
  return RunOnNewBackEnd<CRKIniFilePersistence>(CRKArchive::load, pObj, pszFileName, pszSection);
}

HRESULT CRKPersistenceImpl::SaveToXmlFile(LPCSTR pszFileName, LPCSTR pszTitle,
                                          IRKSerializable* pObj) {
  return RKGuard([&]() -> HRESULT {
    if (pObj == nullptr) return E_POINTER;
    RequireArgument(pszFileName);
    RequireArgument(pszTitle);
    const auto xml = ovl::ComPtr<CRKXMLFilePersistence>::Share(
        NewBackEnd<CRKXMLFilePersistence>(pszFileName, pszTitle));
    const HRESULT hr = RunArchive(xml.Get(), CRKArchive::store, pObj);
    if (FAILED(hr)) return hr;  // a failed save leaves the old file as it was
    const HRESULT written = xml->Commit();
    return FAILED(written) ? written : S_OK;
  });
}

HRESULT CRKPersistenceImpl::LoadFromXmlFile(LPCSTR pszFileName, LPCSTR pszTitle,
                                            IRKSerializable* pObj) {
  return RunOnNewBackEnd<CRKXMLFilePersistence>(CRKArchive::load, pObj, pszFileName, pszTitle);
}

HRESULT CRKPersistenceImpl::SaveToRegistry(HKEY hRoot, LPCSTR pszKeyPath, IRKSerializable* pObj) {
  return RunOnNewBackEnd<CRKRegReadablePersistence>(CRKArchive::store, pObj, hRoot, pszKeyPath);
}

HRESULT CRKPersistenceImpl::LoadFromRegistry(HKEY hRoot, LPCSTR pszKeyPath,
                                             IRKSerializable* pObj) {
  return RunOnNewBackEnd<CRKRegReadablePersistence>(CRKArchive::load, pObj, hRoot, pszKeyPath);
}

// ---------------------------------------------------------------- memory forms

ovl::ComPtr<IStream> CRKPersistenceImpl::SerializeToMemoryStream(IRKSerializable* pObj) {
  ovl::ComPtr<IStream> stream = NewMemoryStream();
  const HRESULT hr = SaveToStream(stream.Get(), pObj);
  if (FAILED(hr)) throw CRKHRFailedException(hr);
  SeekTo(stream.Get(), STREAM_SEEK_SET);
  return stream;
}

HRESULT CRKPersistenceImpl::LoadFromMemoryStream(IStream* pStream, IRKSerializable* pObj) {
  SeekTo(pStream, STREAM_SEEK_SET);
  return LoadFromStream(pStream, pObj);
}

ULONG CRKPersistenceImpl::GetSerializedSize(IRKSerializable* pObj) {
  ULONG size = 0;
  RKGuard([&]() -> HRESULT {
    if (pObj == nullptr) return E_POINTER;
    const ovl::ComPtr<IStream> stream = SerializeToMemoryStream(pObj);
    ULARGE_INTEGER end;
    SeekTo(stream.Get(), STREAM_SEEK_END, &end);
    if (end.QuadPart > 0xFFFFFFFFu) return E_FAIL;
    size = static_cast<ULONG>(end.QuadPart);
    return S_OK;
  });
  return size;
}

HRESULT CRKPersistenceImpl::SaveToMemory(BYTE* pBlock, IRKSerializable* pObj) {
  return SaveToMemory(pBlock, 0xFFFFFFFFu, pObj);
}

HRESULT CRKPersistenceImpl::SaveToMemory(BYTE* pBlock, ULONG cbBlock, IRKSerializable* pObj) {
  return RKGuard([&]() -> HRESULT {
    if (pBlock == nullptr) return E_INVALIDARG;
    if (pObj == nullptr) return E_POINTER;
    const ovl::ComPtr<IStream> stream = SerializeToMemoryStream(pObj);
    ULARGE_INTEGER end;
    SeekTo(stream.Get(), STREAM_SEEK_END, &end);
    if (end.QuadPart > cbBlock) return RK_E_INSUFFICIENT_BUFFER;
    SeekTo(stream.Get(), STREAM_SEEK_SET);
    const ULONG size = static_cast<ULONG>(end.QuadPart);
    ULONG got = 0;
    const HRESULT hr = stream->Read(pBlock, size, &got);
    if (FAILED(hr)) return hr;
    return got == size ? S_OK : E_FAIL;
  });
}

HRESULT CRKPersistenceImpl::LoadFromMemory(const BYTE* pBlock, ULONG cbBlock,
                                           IRKSerializable* pObj) {
  return RKGuard([&]() -> HRESULT {
    if (pBlock == nullptr && cbBlock != 0) return E_INVALIDARG;
    if (pObj == nullptr) return E_POINTER;
    // A stream of exactly the block: the load cannot read past its end.
    const ovl::ComPtr<IStream> stream = NewMemoryStream();
    if (cbBlock != 0) WriteAll(stream.Get(), pBlock, cbBlock);
    return LoadFromMemoryStream(stream.Get(), pObj);
  });
}

HRESULT CRKPersistenceImpl::SaveToFile(LPCWSTR pszFileName, IRKSerializable* pObj) {
  return RKGuard([&]() -> HRESULT {
    if (pszFileName == nullptr) return E_INVALIDARG;
    if (pObj == nullptr) return E_POINTER;
    const ovl::ComPtr<IStream> stream = SerializeToMemoryStream(pObj);
    // The wide name is used as it is: no detour through the ANSI code page
    // that could not name every file.
    FileHandle file(CreateFileW(pszFileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) return RKLastErrorHResult();
    BYTE chunk[1024];
    for (;;) {
      ULONG got = 0;
      const HRESULT hr = stream->Read(chunk, sizeof chunk, &got);
      if (FAILED(hr)) return hr;
      if (got == 0) break;
      DWORD written = 0;
      if (!WriteFile(file.Get(), chunk, got, &written, nullptr)) return RKLastErrorHResult();
      if (written != got) return RK_E_SHORT_WRITE;
    }
    return S_OK;
  });
}

HRESULT CRKPersistenceImpl::LoadFromFile(LPCWSTR pszFileName, IRKSerializable* pObj) {
  return RKGuard([&]() -> HRESULT {
    if (pszFileName == nullptr) return E_INVALIDARG;
    if (pObj == nullptr) return E_POINTER;
    FileHandle file(CreateFileW(pszFileName, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) return RKLastErrorHResult();
    const ovl::ComPtr<IStream> stream = NewMemoryStream();
    BYTE chunk[1024];
    for (;;) {
      DWORD got = 0;
      if (!ReadFile(file.Get(), chunk, sizeof chunk, &got, nullptr)) return RKLastErrorHResult();
      if (got == 0) break;
      WriteAll(stream.Get(), chunk, got);
    }
    return LoadFromMemoryStream(stream.Get(), pObj);
  });
}

// ---------------------------------------------------------------- registry binary

HRESULT CRKPersistenceImpl::SaveToRegistryBinary(HKEY hRoot, LPCSTR pszKeyPath,
                                                 LPCSTR pszValueName, IRKSerializable* pObj) {
  return RKGuard([&]() -> HRESULT {
    if (pObj == nullptr) return E_POINTER;
    std::string path, value;
    if (!ResolveNames(pszKeyPath, pszValueName, &path, &value)) return E_FAIL;
    const ULONG size = GetSerializedSize(pObj);
    if (size == 0) return E_FAIL;
    std::vector<BYTE> block(size);
    if (FAILED(SaveToMemory(block.data(), size, pObj))) return E_FAIL;
    HKEY key = nullptr;
    if (RegCreateKeyExA(hRoot, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
      return E_FAIL;
    const LONG rc = RegSetValueExA(key, value.c_str(), 0, REG_BINARY, block.data(), size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? S_OK : E_FAIL;
  });
}

HRESULT CRKPersistenceImpl::LoadFromRegistryBinary(HKEY hRoot, LPCSTR pszKeyPath,
                                                   LPCSTR pszValueName, IRKSerializable* pObj) {
  return RKGuard([&]() -> HRESULT {
    if (pObj == nullptr) return E_POINTER;
    std::string path, value;
    if (!ResolveNames(pszKeyPath, pszValueName, &path, &value)) return E_FAIL;
    HKEY key = nullptr;
    if (RegOpenKeyExA(hRoot, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
      return E_FAIL;
    std::vector<BYTE> block;
    DWORD type = 0, cb = 0;
    LONG rc = RegQueryValueExA(key, value.c_str(), nullptr, &type, nullptr, &cb);
    if (rc == ERROR_SUCCESS && type == REG_BINARY) {
      block.resize(cb != 0 ? cb : 1);
      rc = RegQueryValueExA(key, value.c_str(), nullptr, &type, block.data(), &cb);
    }
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_BINARY) return E_FAIL;
    // The value must be the object's current form, byte for byte in length.
    if (cb == 0 || cb != GetSerializedSize(pObj)) return E_FAIL;
    return LoadFromMemory(block.data(), cb, pObj);
  });
}

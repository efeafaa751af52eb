#include "streaming/base/persist_stream.h"

#include <cwchar>

#include "streaming/base/unknown.h"

CPersistStream::CPersistStream(IUnknown* /*owner*/, HRESULT* /*phr*/) : mPS_dwFileVersion(0), mPS_fDirty(FALSE) {}

CPersistStream::~CPersistStream() = default;

HRESULT STDMETHODCALLTYPE CPersistStream::IsDirty() { return mPS_fDirty ? S_OK : S_FALSE; }

HRESULT CPersistStream::SetDirty(BOOL dirty) {
  mPS_fDirty = dirty;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CPersistStream::Save(IStream* stream, BOOL clearDirty) {
  CheckPointer(stream, E_POINTER);
  WCHAR header[kHeaderBytes / sizeof(WCHAR) + 1] = {};
  std::swprintf(header, sizeof(header) / sizeof(header[0]), L"%011d ", static_cast<int>(GetSoftwareVersion()));
  ULONG written = 0;
  HRESULT hr = stream->Write(header, kHeaderBytes, &written);
  if (FAILED(hr)) return hr;
  if (written != kHeaderBytes) return STG_E_MEDIUMFULL;
  hr = WriteToStream(stream);
  if (FAILED(hr)) return hr;
  mPS_fDirty = clearDirty ? FALSE : TRUE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CPersistStream::Load(IStream* stream) {
  CheckPointer(stream, E_POINTER);
  // The number is read one character at a time, so that exactly the header
  // is consumed whatever its width.
  DWORD value = 0;  // unsigned, so that absurdly long digit runs wrap instead of overflowing
  bool negative = false;
  bool first = true;
  for (;;) {
    WCHAR c = 0;
    ULONG read = 0;
    const HRESULT hr = stream->Read(&c, sizeof(c), &read);
    if (FAILED(hr)) return hr;
    if (read != sizeof(c)) return VFW_E_INVALID_FILE_FORMAT;  // ended inside the header
    if (c == L'\0' || c == L'\t' || c == L'\n' || c == L'\r' || c == L' ') break;
    if (first && c == L'-') {
      negative = true;
    } else if (c >= L'0' && c <= L'9') {
      value = value * 10 + static_cast<DWORD>(c - L'0');
    } else {
      return VFW_E_INVALID_FILE_FORMAT;
    }
    first = false;
  }
  mPS_dwFileVersion = negative ? 0u - value : value;
  return ReadFromStream(stream);
}

HRESULT STDMETHODCALLTYPE CPersistStream::GetSizeMax(ULARGE_INTEGER* size) {
  CheckPointer(size, E_POINTER);
  size->QuadPart = kHeaderBytes + static_cast<ULONGLONG>(SizeMax());
  return S_OK;
}

HRESULT CPersistStream::WriteToStream(IStream* /*stream*/) { return S_OK; }
HRESULT CPersistStream::ReadFromStream(IStream* /*stream*/) { return S_OK; }
int CPersistStream::SizeMax() { return 0; }
DWORD CPersistStream::GetSoftwareVersion() { return 0; }

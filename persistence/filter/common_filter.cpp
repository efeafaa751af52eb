#include "persistence/filter/common_filter.h"

#include <msxml2.h>

#include <climits>
#include <cstring>
#include <vector>

#include "engine/control/bstr_text.h"
#include "persistence/core/com_ptr.h"

// msxml2.h maps CLSID_DOMDocument to the MSXML2 class, which the import
// library lacks; the persistence library's XML store uses the classic one,
// and the import must judge a file the same way.
#undef CLSID_DOMDocument
EXTERN_C const CLSID CLSID_DOMDocument;

using ovl::control::CBstr;

namespace {

// Whether the file parses as XML, judged by the same document the XML store
// reads it with.
bool LoadsAsXml(const wchar_t* fileName) {
  ovl::ComPtr<IXMLDOMDocument> doc;
  if (FAILED(CoCreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                              doc.PutVoid())))
    return false;
  doc->put_async(VARIANT_FALSE);
  doc->put_validateOnParse(VARIANT_FALSE);
  doc->put_resolveExternals(VARIANT_FALSE);
  bool xml = false;
  BSTR name = SysAllocString(fileName);
  if (name != nullptr) {
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_BSTR;
    source.bstrVal = name;
    VARIANT_BOOL ok = VARIANT_FALSE;
    xml = SUCCEEDED(doc->load(source, &ok)) && ok == VARIANT_TRUE;
    SysFreeString(name);
  }
  return xml;
}

// The file name made absolute, so that the existence check, the XML document
// and the profile functions (which take a bare name as one in the Windows
// folder) all mean the same file.
HRESULT FullFileName(BSTR fileName, std::wstring* full) {
  if (SysStringLen(fileName) == 0) return E_INVALIDARG;
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetFullPathNameW(fileName, static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (n == 0) return E_INVALIDARG;
    if (n < buffer.size()) break;
    buffer.resize(n + 1);
  }
  full->assign(buffer.data());
  return S_OK;
}

HRESULT LastErrorResult() {
  const DWORD error = GetLastError();
  return error != 0 ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

}  // namespace

CTDAVCmnImp::CTDAVCmnImp(const char* pszRegistryKeyPath) {
  if (pszRegistryKeyPath != nullptr) {
    m_hrRegistryKey = ovl::control::AnsiToBstr(pszRegistryKeyPath, std::strlen(pszRegistryKeyPath) + 1,
                                               &m_bstrRegistryKey);
  }
}

CTDAVCmnImp::~CTDAVCmnImp() { SysFreeString(m_bstrRegistryKey); }

HRESULT CTDAVCmnImp::Serialize(CRKArchive& /*archive*/) { return E_NOTIMPL; }

HRESULT CTDAVCmnImp::GetRegistryKeyPath(BSTR* pPath) {
  if (pPath == nullptr) return E_POINTER;
  *pPath = nullptr;
  if (FAILED(m_hrRegistryKey)) return m_hrRegistryKey;
  if (m_bstrRegistryKey == nullptr) return E_NOTIMPL;
  *pPath = SysAllocStringLen(m_bstrRegistryKey, SysStringLen(m_bstrRegistryKey));
  return *pPath != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT CTDAVCmnImp::RegistryKeyPathAnsi(std::string* path) {
  CBstr key;
  const HRESULT hr = GetRegistryKeyPath(&key);
  if (FAILED(hr)) return hr;
  return ovl::control::BstrToAnsi(key, path);
}

HRESULT CTDAVCmnImp::SettingsFile(BSTR fileName, bool mustExist, std::string* title, std::wstring* full,
                                  std::string* file) {
  CBstr filterName;
  HRESULT hr = get_FilterName(&filterName);
  if (FAILED(hr)) return hr;
  hr = ovl::control::BstrToAnsi(filterName, title);
  if (FAILED(hr)) return hr;
  hr = FullFileName(fileName, full);
  if (FAILED(hr)) return hr;
  // A load starts by resetting every setting: a file that is not there must
  // be refused before that.
  if (mustExist && GetFileAttributesW(full->c_str()) == INVALID_FILE_ATTRIBUTES) return LastErrorResult();
  CBstr fullName(SysAllocString(full->c_str()));
  if (fullName.Get() == nullptr) return E_OUTOFMEMORY;
  return ovl::control::BstrToAnsi(fullName, file);
}

// ------------------------------------------------------------ settings transfers

HRESULT CTDAVCmnImp::ExportSettings(BSTR FileName) {
  std::string title, file;
  std::wstring full;
  const HRESULT hr = SettingsFile(FileName, false, &title, &full, &file);
  if (FAILED(hr)) return hr;
  return m_persistence.SaveToXmlFile(file.c_str(), title.c_str(), this);
}

HRESULT CTDAVCmnImp::ImportSettings(BSTR FileName) {
  std::string title, file;
  std::wstring full;
  const HRESULT hr = SettingsFile(FileName, true, &title, &full, &file);
  if (FAILED(hr)) return hr;
  if (LoadsAsXml(full.c_str())) return m_persistence.LoadFromXmlFile(file.c_str(), title.c_str(), this);
  return m_persistence.LoadFromIniFile(file.c_str(), title.c_str(), this);
}

HRESULT CTDAVCmnImp::LoadSettings() {
  std::string path;
  const HRESULT hr = RegistryKeyPathAnsi(&path);
  if (FAILED(hr)) return hr;
  return m_persistence.LoadFromRegistry(HKEY_CURRENT_USER, path.c_str(), this);
}

HRESULT CTDAVCmnImp::CommitSettings() {
  std::string path;
  const HRESULT hr = RegistryKeyPathAnsi(&path);
  if (FAILED(hr)) return hr;
  return m_persistence.SaveToRegistry(HKEY_CURRENT_USER, path.c_str(), this);
}

HRESULT CTDAVCmnImp::LoadFromMemory(BYTE* pMem) {
  // Refused before the load's reset, so a bad call changes nothing.
  if (pMem == nullptr) return E_POINTER;
  CMemoryFormExtent extent;
  HRESULT hr = MeasureMemoryForm(pMem, &extent);
  if (FAILED(hr)) return hr;
  hr = m_persistence.LoadFromMemory(pMem, extent.cbForm, this);
  // The measured form stops at the length words of a string too long for
  // its field, so the library's skip over that string ends short: report
  // what it is, a refused string.
  if (hr == RK_E_SHORT_READ && extent.endsAtRefusedString) hr = RK_E_INSUFFICIENT_BUFFER;
  return hr;
}

HRESULT CTDAVCmnImp::WriteToMemory(BYTE* pMem, LONG* plSize) {
  if (pMem == nullptr && plSize == nullptr) return E_INVALIDARG;
  if (pMem == nullptr || plSize != nullptr) {
    const ULONG size = m_persistence.GetSerializedSize(this);
    if (size == 0 || size > static_cast<ULONG>(LONG_MAX)) return E_FAIL;
    if (pMem == nullptr) {
      *plSize = static_cast<LONG>(size);
      return S_OK;
    }
    const LONG capacity = *plSize;
    *plSize = static_cast<LONG>(size);
    if (capacity < 0) return E_INVALIDARG;
    return m_persistence.SaveToMemory(pMem, static_cast<ULONG>(capacity), this);
  }
  return m_persistence.SaveToMemory(pMem, this);
}

HRESULT CTDAVCmnImp::WriteSettingsToStream(IStream* pStream) { return m_persistence.SaveToStream(pStream, this); }

HRESULT CTDAVCmnImp::ReadSettingsFromStream(IStream* pStream) { return m_persistence.LoadFromStream(pStream, this); }

HRESULT CTDAVCmnImp::MeasureMemoryForm(const BYTE* /*pMem*/, CMemoryFormExtent* /*pExtent*/) { return E_NOTIMPL; }

// ------------------------------------------------------------ answers the filter gives

HRESULT CTDAVCmnImp::get_FilterName(BSTR*) { return E_NOTIMPL; }
HRESULT CTDAVCmnImp::get_FilterState(LONG*) { return E_NOTIMPL; }
HRESULT CTDAVCmnImp::get_InputPinsCount(LONG*) { return E_NOTIMPL; }
HRESULT CTDAVCmnImp::get_OutputPinsCount(LONG*) { return E_NOTIMPL; }
HRESULT CTDAVCmnImp::get_InputPinName(LONG, BSTR*) { return E_NOTIMPL; }
HRESULT CTDAVCmnImp::get_OutputPinName(LONG, BSTR*) { return E_NOTIMPL; }
HRESULT CTDAVCmnImp::get_IsTERNInputPinConnected(LONG, VARIANT_BOOL*) { return E_NOTIMPL; }
HRESULT CTDAVCmnImp::get_IsTERNOutputPinConnected(LONG, VARIANT_BOOL*) { return E_NOTIMPL; }
HRESULT CTDAVCmnImp::get_InputPinStreamType(LONG, LONG*) { return E_NOTIMPL; }
HRESULT CTDAVCmnImp::get_OutputPinStreamType(LONG, LONG*) { return E_NOTIMPL; }
HRESULT CTDAVCmnImp::get_InWidth(LONG, LONG*) { return E_NOTIMPL; }
HRESULT CTDAVCmnImp::get_InHeight(LONG, LONG*) { return E_NOTIMPL; }
HRESULT CTDAVCmnImp::get_OutWidth(LONG, LONG*) { return E_NOTIMPL; }
HRESULT CTDAVCmnImp::get_OutHeight(LONG, LONG*) { return E_NOTIMPL; }
HRESULT CTDAVCmnImp::get_InBits(LONG, LONG*) { return E_NOTIMPL; }
HRESULT CTDAVCmnImp::get_OutBits(LONG, LONG*) { return E_NOTIMPL; }
HRESULT CTDAVCmnImp::get_InChannels(LONG, LONG*) { return E_NOTIMPL; }
HRESULT CTDAVCmnImp::get_OutChannels(LONG, LONG*) { return E_NOTIMPL; }
HRESULT CTDAVCmnImp::get_InBitsPerSample(LONG, LONG*) { return E_NOTIMPL; }
HRESULT CTDAVCmnImp::get_OutBitsPerSample(LONG, LONG*) { return E_NOTIMPL; }
HRESULT CTDAVCmnImp::get_InSamplesPerSec(LONG, LONG*) { return E_NOTIMPL; }
HRESULT CTDAVCmnImp::get_OutSamplesPerSec(LONG, LONG*) { return E_NOTIMPL; }
HRESULT CTDAVCmnImp::get_InputAspectRatioX(LONG, LONG*) { return E_NOTIMPL; }
HRESULT CTDAVCmnImp::get_InputAspectRatioY(LONG, LONG*) { return E_NOTIMPL; }
HRESULT CTDAVCmnImp::get_InputPinStreamSubType(LONG, BSTR*) { return E_NOTIMPL; }

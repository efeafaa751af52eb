#include <vector>

#include "persistence/stores/rk_backends.h"
#include "persistence/core/rk_base64.h"
#include "persistence/stores/rk_text.h"

// msxml2.h maps CLSID_DOMDocument to the MSXML2 class, which the import
// library lacks; the classic DOM document class is the one wanted here.
#undef CLSID_DOMDocument
EXTERN_C const CLSID CLSID_DOMDocument;

namespace {

const wchar_t kParameters[] = L"PARAMETERS";

// The title goes into the template's attribute text; escaping it lets any
// title through (a quote or an angle bracket would break the template).
std::wstring EscapeAttribute(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    switch (c) {
      case L'&': out += L"&amp;"; break;
      case L'<': out += L"&lt;"; break;
      case L'>': out += L"&gt;"; break;
      case L'\'': out += L"&apos;"; break;
      case L'"': out += L"&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// Lower case with the platform's ANSI rules, so keys and element names
// compare the same way whatever case either was written in.
std::string AnsiLower(std::string text) {
  if (!text.empty()) CharLowerBuffA(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

// An element name the file can be read back with. Checked here because DOM
// implementations differ: MSXML on Windows refuses such names in createNode,
// Wine's accepts them and then saves a document nobody can load.
bool IsElementName(const std::wstring& name) {
  if (name.empty()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const wchar_t c = name[i];
    const bool start = (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_' ||
                       c == L':' || c >= 0x80;
    const bool more = (c >= L'0' && c <= L'9') || c == L'-' || c == L'.';
    if (!start && (i == 0 || !more)) return false;
  }
  return true;
}

std::string NormalisePath(const std::string& path) {
  std::string out(path);
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

// Creates every missing directory on the way to the file. Failures are left
// to the save that follows, which reports them.
void CreateDirectoriesFor(const std::string& file) {
  size_t from = 0;
  if (file.compare(0, 2, "\\\\") == 0) {  // \\server\share\ is not created
    from = file.find('\\', 2);
    if (from != std::string::npos) from = file.find('\\', from + 1);
    if (from == std::string::npos) return;
  }
  for (size_t at = file.find('\\', from + 1); at != std::string::npos;
       at = file.find('\\', at + 1)) {
    const std::string dir = file.substr(0, at);
    if (dir.empty() || dir.back() == ':') continue;
    CreateDirectoryA(dir.c_str(), nullptr);
  }
}

HRESULT CreateDocument(IXMLDOMDocument** ppDoc) {
  *ppDoc = nullptr;
  IXMLDOMDocument* doc = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IXMLDOMDocument, reinterpret_cast<void**>(&doc));
  if (FAILED(hr)) return hr;
  // Synchronous loads: load() must have finished when it returns.
  doc->put_async(VARIANT_FALSE);
  doc->put_validateOnParse(VARIANT_FALSE);
  doc->put_resolveExternals(VARIANT_FALSE);
  doc->put_preserveWhiteSpace(VARIANT_FALSE);
  *ppDoc = doc;
  return S_OK;
}

class VariantString {
 public:
  explicit VariantString(const std::string& ansi) : m_text(RKAnsiToWide(ansi)) {
    VariantInit(&v);
    v.vt = VT_BSTR;
    V_BSTR(&v) = m_text;
  }
  VARIANT v;

 private:
  CRKBstr m_text;  // owns the BSTR; v only borrows it
};

}  // namespace

CRKXMLFilePersistence::CRKXMLFilePersistence(LPCSTR pszFileName, LPCSTR pszTitle)
    : m_strFileName(pszFileName), m_strTitle(pszTitle), m_dwMode(kNone) {}

CRKXMLFilePersistence::~CRKXMLFilePersistence() = default;

HRESULT CRKXMLFilePersistence::OpenForReading() {
  m_dwMode = kReading;
  ovl::ComPtr<IXMLDOMDocument> doc;
  if (FAILED(CreateDocument(doc.Put()))) return E_FAIL;
  VariantString file(m_strFileName);
  VARIANT_BOOL ok = VARIANT_FALSE;
  const HRESULT hr = doc->load(file.v, &ok);
  if (FAILED(hr) || ok != VARIANT_TRUE) return E_FAIL;
  m_pDoc = std::move(doc);
  return S_OK;
}

HRESULT CRKXMLFilePersistence::CreateForWriting() {
  m_dwMode = kWriting;
  ovl::ComPtr<IXMLDOMDocument> doc;
  if (FAILED(CreateDocument(doc.Put()))) return E_FAIL;
  const std::wstring xml = L"<?xml version='1.0'?>\n<doc title='" +
                           EscapeAttribute(RKAnsiToWide(m_strTitle)) + L"'>\n</doc>\n";
  CRKBstr text(xml);
  VARIANT_BOOL ok = VARIANT_FALSE;
  const HRESULT hr = doc->loadXML(text, &ok);
  if (FAILED(hr) || ok != VARIANT_TRUE) return E_FAIL;
  m_pDoc = std::move(doc);
  return S_OK;
}

HRESULT CRKXMLFilePersistence::AppendValue(LPCSTR pszKey, const std::wstring& text) {
  ovl::ComPtr<IXMLDOMNode> params;
  {
    CRKBstr tag(kParameters);
    ovl::ComPtr<IXMLDOMNodeList> found;
    if (SUCCEEDED(m_pDoc->getElementsByTagName(tag, found.Put())) && found)
      found->get_item(0, params.Put());
  }
  if (!params) {
    ovl::ComPtr<IXMLDOMElement> root;
    ovl::ComPtr<IXMLDOMElement> created;
    CRKBstr tag(kParameters);
    if (FAILED(m_pDoc->get_documentElement(root.Put())) || !root) return E_FAIL;
    if (FAILED(m_pDoc->createElement(tag, created.Put())) || !created) return E_FAIL;
    if (FAILED(root->appendChild(created.Get(), params.Put())) || !params) return E_FAIL;
  }
  VARIANT type;
  VariantInit(&type);
  type.vt = VT_I4;
  V_I4(&type) = NODE_ELEMENT;
  const std::wstring key = RKAnsiToWide(pszKey, strlen(pszKey));
  if (!IsElementName(key)) return E_FAIL;
  CRKBstr name(key);
  CRKBstr noNamespace(std::wstring{});
  CRKBstr value(text);
  ovl::ComPtr<IXMLDOMNode> element;
  ovl::ComPtr<IXMLDOMNode> appended;
  if (FAILED(m_pDoc->createNode(type, name, noNamespace, element.Put())) || !element)
    return E_FAIL;
  if (FAILED(element->put_text(value))) return E_FAIL;
  if (FAILED(params->appendChild(element.Get(), appended.Put()))) return E_FAIL;
  return S_OK;
}

HRESULT CRKXMLFilePersistence::FindText(LPCSTR pszKey, std::wstring* text) {
  text->clear();
  ovl::ComPtr<IXMLDOMNodeList> found;
  ovl::ComPtr<IXMLDOMNode> params;
  CRKBstr tag(kParameters);
  if (FAILED(m_pDoc->getElementsByTagName(tag, found.Put())) || !found) return S_OK;
  if (FAILED(found->get_item(0, params.Put())) || !params) return S_OK;
  ovl::ComPtr<IXMLDOMNodeList> children;
  if (FAILED(params->get_childNodes(children.Put())) || !children) return S_OK;
  long count = 0;
  if (FAILED(children->get_length(&count))) return S_OK;

  const std::string key = AnsiLower(pszKey);
  for (long i = 0; i < count; ++i) {
    ovl::ComPtr<IXMLDOMNode> child;
    if (FAILED(children->get_item(i, child.Put())) || !child) return S_OK;
    DOMNodeType type = NODE_INVALID;
    if (FAILED(child->get_nodeType(&type)) || type != NODE_ELEMENT) continue;
    CRKBstr name;
    if (FAILED(child->get_nodeName(&name))) return S_OK;
    if (AnsiLower(RKWideToAnsi(name, name.Length())) != key) continue;
    CRKBstr value;
    if (FAILED(child->get_text(&value))) return S_OK;
    if (value.Length() == 0) continue;  // an empty duplicate does not hide a later one
    text->assign(value, value.Length());
    return S_OK;
  }
  return S_OK;
}

HRESULT CRKXMLFilePersistence::PutValue(const void* pData, ULONGLONG cbSize, LPCSTR pszKey,
                                        DWORD dwKind, VARTYPE vt) {
  return RKGuard([&]() -> HRESULT {
    if (pData == nullptr || pszKey == nullptr) return E_POINTER;
    std::wstring text;
    switch (dwKind) {
      case RK_VALUE_TYPED: {
        const HRESULT hr = RKTypedValueToText(pData, cbSize, vt, &text);
        if (FAILED(hr)) return hr;
        break;
      }
      case RK_VALUE_STRING: {
        size_t len = 0;
        const HRESULT hr = RKFieldStringLength(static_cast<const char*>(pData), cbSize, &len);
        if (FAILED(hr)) return hr;
        text = RKAnsiToWide(static_cast<const char*>(pData), len);
        break;
      }
      case RK_VALUE_BINARY: {
        CRKBase64Encoder encoder;
        // The area holds the whole text, line breaks included.
        const std::uint64_t length = encoder.EncodedLength(cbSize);
        if (cbSize > 0xFFFFFFFFu || length > 0xFFFFFFFFu) return E_FAIL;
        std::vector<char> area(static_cast<size_t>(length) + 1);
        const auto cap = static_cast<std::uint32_t>(length);
        std::uint32_t n = encoder.Encode(pData, static_cast<std::uint32_t>(cbSize), area.data(), cap);
        n += encoder.Finish(area.data() + n, cap - n);
        if (n != length) return E_FAIL;
        text.assign(area.begin(), area.begin() + n);  // Base64 is ASCII
        break;
      }
      default:
        return E_INVALIDARG;
    }
    if (m_dwMode == kReading) return E_FAIL;
    if (m_dwMode == kNone && FAILED(CreateForWriting())) return E_FAIL;
    if (!m_pDoc) return E_FAIL;
    return AppendValue(pszKey, text);
  });
}

HRESULT CRKXMLFilePersistence::GetValue(void* pData, ULONGLONG cbSize, LPCSTR pszKey,
                                        DWORD dwKind, VARTYPE vt) {
  return RKGuard([&]() -> HRESULT {
    if (pData == nullptr || pszKey == nullptr) return E_POINTER;
    HRESULT hr = S_OK;
    if (dwKind == RK_VALUE_TYPED) hr = RKCheckTypedValue(cbSize, vt);
    else if (dwKind == RK_VALUE_STRING && cbSize == 0) hr = E_INVALIDARG;
    else if (dwKind > RK_VALUE_BINARY) hr = E_INVALIDARG;
    if (FAILED(hr)) return hr;

    if (m_dwMode == kWriting) return E_FAIL;
    if (m_dwMode == kNone && FAILED(OpenForReading())) return E_FAIL;
    if (!m_pDoc) return E_FAIL;
    std::wstring text;
    hr = FindText(pszKey, &text);
    if (FAILED(hr)) return hr;

    switch (dwKind) {
      case RK_VALUE_TYPED:
        return RKTextToTypedValue(text, pData, cbSize, vt);
      case RK_VALUE_STRING: {
        const std::string ansi = RKWideToAnsi(text);
        return RKCopyStringToField(static_cast<char*>(pData), cbSize, ansi.data(), ansi.size());
      }
      default: {
        const std::string encoded = RKWideToAnsi(text);
        if (encoded.size() > 0xFFFFFFFFu || cbSize > 0xFFFFFFFFu) return E_FAIL;
        CRKBase64Encoder decoder;
        const std::uint64_t room = CRKBase64Encoder::DecodeCapacity(encoded.size());
        std::vector<BYTE> bytes(static_cast<size_t>(room) + 1);
        const std::uint32_t n = decoder.Decode(encoded.data(), static_cast<std::uint32_t>(encoded.size()),
                                               bytes.data(), static_cast<std::uint32_t>(room));
        if (n != cbSize) return E_FAIL;  // a block of another size is not this value
        if (n != 0) std::memcpy(pData, bytes.data(), n);
        return S_OK;
      }
    }
  });
}

HRESULT CRKXMLFilePersistence::Commit() {
  return RKGuard([&]() -> HRESULT {
    if (m_dwMode != kWriting || !m_pDoc) return S_FALSE;
    const std::string file = NormalisePath(m_strFileName);
    CreateDirectoriesFor(file);
    VariantString target(file);
    return m_pDoc->save(target.v);
  });
}

#include "streaming/base/base_pin.h"

#include <cstring>
#include <cwchar>
#include <new>

#include "streaming/base/enum_media_types.h"

namespace {
// How a connection reports a type its pin refused: the refusals that carry no
// better reason become VFW_E_TYPE_NOT_ACCEPTED.
HRESULT TypeRefusal(HRESULT checkResult) {
  if (SUCCEEDED(checkResult) || checkResult == E_FAIL || checkResult == E_INVALIDARG) return VFW_E_TYPE_NOT_ACCEPTED;
  return checkResult;
}
}  // namespace

CBasePin::CBasePin(const TCHAR* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr, LPCWSTR name,
                   PIN_DIRECTION direction)
    : CUnknown(objectName, nullptr),
      m_pName(nullptr),
      m_dir(direction),
      m_pLock(lock),
      m_bRunTimeError(false),
      m_bCanReconnectWhenActive(false),
      m_bTryMyTypesFirst(false),
      m_pFilter(filter),
      m_pQSink(nullptr),
      m_TypeVersion(1),
      m_tStart(0),
      m_tStop(0),
      m_dRate(1.0) {
  const WCHAR* source = name != nullptr ? name : L"";
  const size_t length = std::wcslen(source);
  m_pName = new (std::nothrow) WCHAR[length + 1];
  if (m_pName != nullptr) {
    std::wmemcpy(m_pName, source, length + 1);
  } else if (phr != nullptr) {
    *phr = E_OUTOFMEMORY;
  }
}

CBasePin::~CBasePin() { delete[] m_pName; }

HRESULT STDMETHODCALLTYPE CBasePin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  CheckPointer(ppv, E_POINTER);
  if (IsEqualIID(riid, IID_IPin)) return GetInterface(static_cast<IPin*>(this), ppv);
  if (IsEqualIID(riid, IID_IQualityControl)) return GetInterface(static_cast<IQualityControl*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

// A pin is part of its filter: references to the pin keep the filter alive,
// and the filter deletes its pins.
ULONG STDMETHODCALLTYPE CBasePin::NonDelegatingAddRef() { return m_pFilter->AddRef(); }
ULONG STDMETHODCALLTYPE CBasePin::NonDelegatingRelease() { return m_pFilter->Release(); }

HRESULT STDMETHODCALLTYPE CBasePin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
  CheckPointer(receivePin, E_POINTER);
  CAutoLock lock(m_pLock);
  if (m_Connected) return VFW_E_ALREADY_CONNECTED;
  if (!IsStopped() && !m_bCanReconnectWhenActive) return VFW_E_NOT_STOPPED;
  if (type == nullptr) return AgreeMediaType(receivePin, nullptr);
  HRESULT hr = S_OK;
  const CMediaType requested(*type, &hr);
  if (FAILED(hr)) return hr;
  return AgreeMediaType(receivePin, &requested);
}

HRESULT CBasePin::AgreeMediaType(IPin* receivePin, const CMediaType* type) {
  HRESULT hr = CheckConnect(receivePin);
  if (FAILED(hr)) {
    BreakConnect();
    return hr;
  }
  if (type != nullptr && !type->IsPartiallySpecified()) {
    hr = AttemptConnection(receivePin, type);  // a complete type is tried alone
  } else {
    hr = VFW_E_NO_ACCEPTABLE_TYPES;
    for (int pass = 0; pass < 2; ++pass) {
      const bool own = (pass == 0) == m_bTryMyTypesFirst;
      ovl::ComPtr<IEnumMediaTypes> types;
      const HRESULT enumResult = own ? EnumMediaTypes(types.Put()) : receivePin->EnumMediaTypes(types.Put());
      if (FAILED(enumResult) || !types) continue;
      const HRESULT tried = TryMediaTypes(receivePin, type, types.Get());
      if (SUCCEEDED(tried)) return S_OK;
      if (tried != VFW_E_NO_ACCEPTABLE_TYPES) hr = tried;
    }
  }
  if (FAILED(hr)) {
    BreakConnect();
    m_mt.InitMediaType();
  }
  return hr;
}

HRESULT CBasePin::TryMediaTypes(IPin* receivePin, const CMediaType* partial, IEnumMediaTypes* types) {
  HRESULT reported = VFW_E_NO_ACCEPTABLE_TYPES;
  for (;;) {
    AM_MEDIA_TYPE* next = nullptr;
    ULONG fetched = 0;
    if (types->Next(1, &next, &fetched) != S_OK || fetched != 1 || next == nullptr) break;
    HRESULT hr = S_OK;
    const CMediaType candidate(*next, &hr);
    DeleteMediaType(next);
    if (FAILED(hr)) {
      reported = hr;
      continue;
    }
    if (partial != nullptr && !candidate.MatchesPartial(partial)) continue;
    hr = AttemptConnection(receivePin, &candidate);
    if (SUCCEEDED(hr)) return S_OK;
    // A refused type says nothing new; other failures (transport, allocator)
    // are worth reporting if nothing connects.
    if (hr != VFW_E_TYPE_NOT_ACCEPTED) reported = hr;
  }
  return reported;
}

HRESULT CBasePin::AttemptConnection(IPin* receivePin, const CMediaType* type) {
  HRESULT hr = CheckMediaType(type);
  if (hr != S_OK) return TypeRefusal(hr);

  m_Connected = ovl::ComPtr<IPin>::Share(receivePin);
  hr = SetMediaType(type);
  if (SUCCEEDED(hr)) {
    hr = receivePin->ReceiveConnection(static_cast<IPin*>(this), type);
    if (SUCCEEDED(hr)) {
      hr = CompleteConnect(receivePin);
      if (SUCCEEDED(hr)) return S_OK;
      receivePin->Disconnect();  // the other side had accepted
    }
  }
  m_Connected.Reset();
  return hr;
}

HRESULT STDMETHODCALLTYPE CBasePin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
  CheckPointer(connector, E_POINTER);
  CheckPointer(type, E_POINTER);
  CAutoLock lock(m_pLock);
  if (m_Connected) return VFW_E_ALREADY_CONNECTED;
  if (!IsStopped() && !m_bCanReconnectWhenActive) return VFW_E_NOT_STOPPED;

  HRESULT hr = CheckConnect(connector);
  if (FAILED(hr)) {
    BreakConnect();
    return hr;
  }
  const CMediaType offered(*type, &hr);
  if (FAILED(hr)) {
    BreakConnect();
    return hr;
  }
  hr = CheckMediaType(&offered);
  if (hr != S_OK) {
    BreakConnect();
    return TypeRefusal(hr);
  }

  m_Connected = ovl::ComPtr<IPin>::Share(connector);
  hr = SetMediaType(&offered);
  if (SUCCEEDED(hr)) hr = CompleteConnect(connector);
  if (FAILED(hr)) {
    m_Connected.Reset();
    BreakConnect();
    m_mt.InitMediaType();
    return hr;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::Disconnect() {
  CAutoLock lock(m_pLock);
  if (!IsStopped() && !m_bCanReconnectWhenActive) return VFW_E_NOT_STOPPED;
  return DisconnectInternal();
}

HRESULT CBasePin::DisconnectInternal() {
  if (!m_Connected) return S_FALSE;
  const HRESULT hr = BreakConnect();
  if (FAILED(hr)) return hr;
  m_Connected.Reset();
  m_mt.InitMediaType();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::ConnectedTo(IPin** pin) {
  CheckPointer(pin, E_POINTER);
  CAutoLock lock(m_pLock);
  *pin = ovl::ComPtr<IPin>(m_Connected).Detach();  // a reference for the caller
  return *pin != nullptr ? S_OK : VFW_E_NOT_CONNECTED;
}

HRESULT STDMETHODCALLTYPE CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  CheckPointer(type, E_POINTER);
  CAutoLock lock(m_pLock);
  if (!m_Connected) {
    std::memset(type, 0, sizeof(*type));
    return VFW_E_NOT_CONNECTED;
  }
  return CopyMediaType(type, &m_mt);
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryPinInfo(PIN_INFO* info) {
  CheckPointer(info, E_POINTER);
  info->pFilter = m_pFilter;
  if (m_pFilter != nullptr) m_pFilter->AddRef();
  // Names longer than the field are cut to fit, ending in a terminator.
  std::wcsncpy(info->achName, m_pName != nullptr ? m_pName : L"", MAX_PIN_NAME - 1);
  info->achName[MAX_PIN_NAME - 1] = L'\0';
  info->dir = m_dir;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryDirection(PIN_DIRECTION* direction) {
  CheckPointer(direction, E_POINTER);
  *direction = m_dir;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryId(LPWSTR* id) { return CopyId(m_pName != nullptr ? m_pName : L"", id); }

HRESULT CBasePin::CopyId(const WCHAR* text, LPWSTR* id) {
  CheckPointer(id, E_POINTER);
  const size_t bytes = (std::wcslen(text) + 1) * sizeof(WCHAR);
  *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  if (*id == nullptr) return E_OUTOFMEMORY;
  std::memcpy(*id, text, bytes);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryAccept(const AM_MEDIA_TYPE* type) {
  CheckPointer(type, E_POINTER);
  HRESULT hr = S_OK;
  const CMediaType offered(*type, &hr);
  if (FAILED(hr)) return S_FALSE;
  return CheckMediaType(&offered) == S_OK ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CBasePin::EnumMediaTypes(IEnumMediaTypes** ppEnum) {
  CheckPointer(ppEnum, E_POINTER);
  *ppEnum = nullptr;
  auto* enumerator = new (std::nothrow) CEnumMediaTypes(this, nullptr);
  if (enumerator == nullptr) return E_OUTOFMEMORY;
  return enumerator->NonDelegatingQueryInterface(IID_IEnumMediaTypes, reinterpret_cast<void**>(ppEnum));
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryInternalConnections(IPin** /*pins*/, ULONG* /*count*/) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CBasePin::EndOfStream() { return S_OK; }

HRESULT STDMETHODCALLTYPE CBasePin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  m_tStart = start;
  m_tStop = stop;
  m_dRate = rate;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::Notify(IBaseFilter* sender, Quality /*quality*/) {
  CheckPointer(sender, E_POINTER);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::SetSink(IQualityControl* sink) {
  CAutoLock lock(m_pLock);
  m_pQSink = sink;
  return S_OK;
}

LONG CBasePin::GetMediaTypeVersion() { return InterlockedCompareExchange(&m_TypeVersion, 0, 0); }

void CBasePin::IncrementTypeVersion() { InterlockedIncrement(&m_TypeVersion); }

HRESULT CBasePin::Active() { return S_OK; }
HRESULT CBasePin::Inactive() { return S_OK; }
HRESULT CBasePin::Run(REFERENCE_TIME /*start*/) { return S_OK; }

HRESULT CBasePin::SetMediaType(const CMediaType* type) {
  CheckPointer(type, E_POINTER);
  return m_mt.Set(*type);
}

HRESULT CBasePin::CheckConnect(IPin* pin) {
  CheckPointer(pin, E_POINTER);
  PIN_DIRECTION other = PINDIR_INPUT;
  const HRESULT hr = pin->QueryDirection(&other);
  if (FAILED(hr)) return hr;
  if (other == m_dir) return VFW_E_INVALID_DIRECTION;
  return S_OK;
}

HRESULT CBasePin::BreakConnect() { return S_OK; }
HRESULT CBasePin::CompleteConnect(IPin* /*receivePin*/) { return S_OK; }
HRESULT CBasePin::GetMediaType(int /*position*/, CMediaType* /*type*/) { return E_UNEXPECTED; }

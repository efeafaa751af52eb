#include "tests/windows/streaming/probe_filter.h"

#include <algorithm>
#include <new>
#include <string>

namespace ovl::testing {

// --- input pin ---

CProbeInputPin::CProbeInputPin(CProbeFilter* filter, CCritSec* lock, HRESULT* phr, LPCWSTR name, std::string tag)
    : CBaseInputPin(TEXT("Probe input"), filter, lock, phr, name), m_probe(filter), m_tag(std::move(tag)) {}

HRESULT CProbeInputPin::CheckConnect(IPin* pin) {
  m_probe->Log().Record(m_tag + ".CheckConnect");
  if (FAILED(checkConnect)) return checkConnect;
  return CBaseInputPin::CheckConnect(pin);
}

namespace {
HRESULT Answer(const CMediaType* type, const std::vector<CMediaType>& accepts, HRESULT otherwise) {
  if (accepts.empty()) return otherwise;
  for (const CMediaType& accepted : accepts) {
    if (accepted == *type) return S_OK;
  }
  return S_FALSE;
}
}  // namespace

HRESULT CProbeInputPin::CheckMediaType(const CMediaType* type) {
  m_probe->Log().Record(m_tag + ".CheckMediaType");
  return Answer(type, accepts, checkMediaType);
}

HRESULT CProbeInputPin::SetMediaType(const CMediaType* type) {
  m_probe->Log().Record(m_tag + ".SetMediaType");
  return CBaseInputPin::SetMediaType(type);
}

HRESULT CProbeInputPin::CompleteConnect(IPin* receivePin) {
  m_probe->Log().Record(m_tag + ".CompleteConnect");
  if (FAILED(completeConnect)) return completeConnect;
  return CBaseInputPin::CompleteConnect(receivePin);
}

HRESULT CProbeInputPin::BreakConnect() {
  m_probe->Log().Record(m_tag + ".BreakConnect");
  return CBaseInputPin::BreakConnect();
}

HRESULT CProbeInputPin::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (static_cast<size_t>(position) >= offered.size()) return VFW_S_NO_MORE_ITEMS;
  return type->Set(offered[static_cast<size_t>(position)]);
}

HRESULT CProbeInputPin::Active() {
  m_probe->Log().Record(m_tag + ".Active");
  const HRESULT hr = CBaseInputPin::Active();
  return FAILED(active) ? active : hr;
}

HRESULT CProbeInputPin::Inactive() {
  m_probe->Log().Record(m_tag + ".Inactive");
  const HRESULT hr = CBaseInputPin::Inactive();
  return FAILED(inactive) ? inactive : hr;
}

HRESULT CProbeInputPin::Run(REFERENCE_TIME start) {
  m_probe->Log().Record(m_tag + ".Run");
  return CBaseInputPin::Run(start);
}

HRESULT STDMETHODCALLTYPE CProbeInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) {
  if (!hasRequirements) return CBaseInputPin::GetAllocatorRequirements(properties);
  *properties = requirements;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CProbeInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
  m_probe->Log().Record(m_tag + ".NotifyAllocator");
  notifiedAllocator = allocator;
  return CBaseInputPin::NotifyAllocator(allocator, readOnly);
}

HRESULT STDMETHODCALLTYPE CProbeInputPin::ReceiveCanBlock() {
  return answerCanBlock ? canBlock : CBaseInputPin::ReceiveCanBlock();
}

HRESULT STDMETHODCALLTYPE CProbeInputPin::Receive(IMediaSample* sample) {
  const HRESULT hr = CBaseInputPin::Receive(sample);
  if (hr != S_OK) return hr;
  AM_SAMPLE2_PROPERTIES props = *SampleProps();
  if ((props.dwSampleFlags & AM_SAMPLE_TYPECHANGED) != 0 && props.pMediaType != nullptr) {
    receivedTypes.emplace_back(*props.pMediaType);
  }
  props.pMediaType = nullptr;
  received.push_back(props);
  if (receiveArrived != nullptr) SetEvent(receiveArrived);
  if (receiveGate != nullptr) WaitForSingleObject(receiveGate, 10000);
  if (receiveAnswers.empty()) return S_OK;
  const HRESULT answer = receiveAnswers.front();
  receiveAnswers.pop_front();
  return answer;
}

HRESULT STDMETHODCALLTYPE CProbeInputPin::EndOfStream() {
  m_probe->Log().Record(m_tag + ".EndOfStream");
  ++endOfStreams;
  return S_OK;
}

// --- output pin ---

CProbeOutputPin::CProbeOutputPin(CProbeFilter* filter, CCritSec* lock, HRESULT* phr, LPCWSTR name, std::string tag)
    : CBaseOutputPin(TEXT("Probe output"), filter, lock, phr, name), m_probe(filter), m_tag(std::move(tag)) {}

HRESULT CProbeOutputPin::CheckConnect(IPin* pin) {
  m_probe->Log().Record(m_tag + ".CheckConnect");
  return CBaseOutputPin::CheckConnect(pin);
}

HRESULT CProbeOutputPin::CheckMediaType(const CMediaType* type) {
  m_probe->Log().Record(m_tag + ".CheckMediaType");
  return Answer(type, accepts, checkMediaType);
}

HRESULT CProbeOutputPin::SetMediaType(const CMediaType* type) {
  m_probe->Log().Record(m_tag + ".SetMediaType");
  return CBaseOutputPin::SetMediaType(type);
}

HRESULT CProbeOutputPin::CompleteConnect(IPin* receivePin) {
  m_probe->Log().Record(m_tag + ".CompleteConnect");
  return CBaseOutputPin::CompleteConnect(receivePin);
}

HRESULT CProbeOutputPin::BreakConnect() {
  m_probe->Log().Record(m_tag + ".BreakConnect");
  return CBaseOutputPin::BreakConnect();
}

HRESULT CProbeOutputPin::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (static_cast<size_t>(position) >= offered.size()) return VFW_S_NO_MORE_ITEMS;
  return type->Set(offered[static_cast<size_t>(position)]);
}

HRESULT CProbeOutputPin::Active() {
  m_probe->Log().Record(m_tag + ".Active");
  return CBaseOutputPin::Active();
}

HRESULT CProbeOutputPin::Inactive() {
  m_probe->Log().Record(m_tag + ".Inactive");
  return CBaseOutputPin::Inactive();
}

HRESULT CProbeOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  m_probe->Log().Record(m_tag + ".DecideBufferSize");
  sizedAllocators.push_back(allocator);
  requests.push_back(*request);
  if (failDecideBufferSize > 0) {
    --failDecideBufferSize;
    return E_FAIL;
  }
  ALLOCATOR_PROPERTIES wanted = *request;
  wanted.cBuffers = std::max<long>(wanted.cBuffers, 1);
  wanted.cbBuffer = std::max<long>(wanted.cbBuffer, 4096);
  ALLOCATOR_PROPERTIES actual = {};
  return allocator->SetProperties(&wanted, &actual);
}

// --- filter ---

void ProbeLog::Record(const std::string& call) {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_calls.push_back(call);
}

std::vector<std::string> ProbeLog::Calls() {
  std::lock_guard<std::mutex> guard(m_mutex);
  return m_calls;
}

void ProbeLog::Clear() {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_calls.clear();
}

CProbeFilter* CProbeFilter::Create(int inputs, int outputs, std::shared_ptr<ProbeLog> log) {
  auto* filter = new (std::nothrow) CProbeFilter();
  if (filter == nullptr) return nullptr;
  filter->m_log = log ? std::move(log) : std::make_shared<ProbeLog>();
  filter->NonDelegatingAddRef();
  HRESULT hr = S_OK;
  for (int i = 0; i < inputs; ++i) filter->AddInput((L"in" + std::to_wstring(i)).c_str());
  for (int i = 0; i < outputs; ++i) {
    filter->m_outputs.emplace_back(new CProbeOutputPin(filter, &filter->m_lock, &hr,
                                                       (L"out" + std::to_wstring(i)).c_str(),
                                                       "out" + std::to_string(i)));
  }
  return filter;
}

CProbeFilter::CProbeFilter() : CBaseFilter(TEXT("Probe filter"), nullptr, &m_lock, CLSID_NULL) {}

CProbeInputPin* CProbeFilter::AddInput(LPCWSTR name) {
  HRESULT hr = S_OK;
  const std::string tag = "in" + std::to_string(m_inputs.size());
  m_inputs.emplace_back(new CProbeInputPin(this, &m_lock, &hr, name, tag));
  return m_inputs.back().get();
}

int CProbeFilter::GetPinCount() { return static_cast<int>(m_inputs.size() + m_outputs.size()); }

CBasePin* CProbeFilter::GetPin(int n) {
  if (n < 0) return nullptr;
  const size_t index = static_cast<size_t>(n);
  if (index < m_inputs.size()) return m_inputs[index].get();
  if (index < m_inputs.size() + m_outputs.size()) return m_outputs[index - m_inputs.size()].get();
  return nullptr;
}

}  // namespace ovl::testing

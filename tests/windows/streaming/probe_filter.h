#pragma once
// A filter built on the base layer whose pins log every hook the layer calls
// ("in0.CheckConnect", "out0.DecideBufferSize", ...) and can be told to
// answer a hook with a given result. Tests use it to watch the layer's order
// of calls and its handling of refusals.
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "streaming/base/base_classes.h"

namespace ovl::testing {

class CProbeFilter;

// The calls of one or more probe filters, in the order they happened.
class ProbeLog {
 public:
  void Record(const std::string& call);
  std::vector<std::string> Calls();
  void Clear();

 private:
  std::mutex m_mutex;
  std::vector<std::string> m_calls;
};

class CProbeInputPin : public CBaseInputPin {
 public:
  CProbeInputPin(CProbeFilter* filter, CCritSec* lock, HRESULT* phr, LPCWSTR name, std::string tag);

  HRESULT CheckConnect(IPin* pin) override;
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT SetMediaType(const CMediaType* type) override;
  HRESULT CompleteConnect(IPin* receivePin) override;
  HRESULT BreakConnect() override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT Active() override;
  HRESULT Inactive() override;
  HRESULT Run(REFERENCE_TIME start) override;
  HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override;
  HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
  HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override;
  HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
  HRESULT STDMETHODCALLTYPE EndOfStream() override;

  // Answers (S_OK unless set).
  HRESULT checkConnect = S_OK;
  HRESULT checkMediaType = S_OK;      // for types not in `accepts`
  std::vector<CMediaType> accepts;    // when not empty: exactly these, S_FALSE for others
  HRESULT active = S_OK;              // returned instead of the layer's when a failure
  HRESULT completeConnect = S_OK;
  HRESULT inactive = S_OK;            // returned instead of the layer's when a failure
  bool answerCanBlock = false;        // answer ReceiveCanBlock with canBlock
  HRESULT canBlock = S_OK;
  std::deque<HRESULT> receiveAnswers; // for samples that pass the layer's checks
  HANDLE receiveGate = nullptr;       // Receive waits for it when set
  HANDLE receiveArrived = nullptr;    // set when a sample passed the layer's checks
  bool hasRequirements = false;
  ALLOCATOR_PROPERTIES requirements = {};
  std::vector<CMediaType> offered;    // GetMediaType positions

  // What arrived.
  std::vector<AM_SAMPLE2_PROPERTIES> received;  // pMediaType cleared
  std::vector<CMediaType> receivedTypes;        // type changes that passed
  IMemAllocator* notifiedAllocator = nullptr;   // identity only, no reference
  int endOfStreams = 0;

 private:
  CProbeFilter* m_probe;
  std::string m_tag;
};

class CProbeOutputPin : public CBaseOutputPin {
 public:
  CProbeOutputPin(CProbeFilter* filter, CCritSec* lock, HRESULT* phr, LPCWSTR name, std::string tag);

  HRESULT CheckConnect(IPin* pin) override;
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT SetMediaType(const CMediaType* type) override;
  HRESULT CompleteConnect(IPin* receivePin) override;
  HRESULT BreakConnect() override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT Active() override;
  HRESULT Inactive() override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

  HRESULT checkMediaType = S_OK;
  std::vector<CMediaType> accepts;
  int failDecideBufferSize = 0;    // this many first calls fail with E_FAIL
  std::vector<CMediaType> offered;

  std::vector<IMemAllocator*> sizedAllocators;  // identity only
  std::vector<ALLOCATOR_PROPERTIES> requests;   // as DecideBufferSize received them

 private:
  CProbeFilter* m_probe;
  std::string m_tag;
};

class CProbeFilter : public CBaseFilter {
 public:
  // A new filter with one reference and the given pins ("in0".., "out0"..),
  // logging into `log` (shared with other probes) or a log of its own.
  static CProbeFilter* Create(int inputs, int outputs, std::shared_ptr<ProbeLog> log = nullptr);

  // Adds an input pin after the existing inputs (the pin version is left to
  // the caller).
  CProbeInputPin* AddInput(LPCWSTR name);
  CProbeInputPin* Input(int i) { return m_inputs[static_cast<size_t>(i)].get(); }
  CProbeOutputPin* Output(int i) { return m_outputs[static_cast<size_t>(i)].get(); }

  int GetPinCount() override;
  CBasePin* GetPin(int n) override;

  ProbeLog& Log() { return *m_log; }

 private:
  CProbeFilter();

  CCritSec m_lock;
  std::vector<std::unique_ptr<CProbeInputPin>> m_inputs;
  std::vector<std::unique_ptr<CProbeOutputPin>> m_outputs;
  std::shared_ptr<ProbeLog> m_log;
};

}  // namespace ovl::testing

// The input pin's IMemInputPin: the checks every Receive starts with, the
// capture of sample properties (through IMediaSample2 or field by field), a
// refused in-sample type change, ReceiveMultiple, ReceiveCanBlock and the
// way quality messages travel upstream.
#include <gtest/gtest.h>

#include <vector>

#include "tests/windows/streaming/live_objects.h"
#include "tests/windows/streaming/probe_filter.h"
#include "tests/windows/streaming/stream_types.h"
#include "tests/windows/support/com_ref.h"
#include "tests/windows/support/scripted_source.h"

namespace ovl::testing {
namespace {

// A sample that offers IMediaSample only (no IMediaSample2), as samples of
// foreign allocators may. Lives on the stack; setters are not needed.
class PlainSample : public IMediaSample {
 public:
  virtual ~PlainSample() { DeleteMediaType(type); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    *ppv = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMediaSample) ? this : nullptr;
    return *ppv != nullptr ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetPointer(BYTE** buffer) override {
    *buffer = bytes;
    return S_OK;
  }
  long STDMETHODCALLTYPE GetSize() override { return sizeof(bytes); }
  HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override {
    *start = times[0];
    *stop = times[1];
    return hasTime ? S_OK : VFW_E_SAMPLE_TIME_NOT_SET;
  }
  HRESULT STDMETHODCALLTYPE IsSyncPoint() override { return syncPoint ? S_OK : S_FALSE; }
  HRESULT STDMETHODCALLTYPE IsPreroll() override { return preroll ? S_OK : S_FALSE; }
  HRESULT STDMETHODCALLTYPE IsDiscontinuity() override { return discontinuity ? S_OK : S_FALSE; }
  long STDMETHODCALLTYPE GetActualDataLength() override { return actual; }
  HRESULT STDMETHODCALLTYPE GetMediaType(AM_MEDIA_TYPE** out) override {
    *out = type != nullptr ? CreateMediaType(type) : nullptr;
    return type != nullptr ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE GetMediaTime(LONGLONG*, LONGLONG*) override { return VFW_E_MEDIA_TIME_NOT_SET; }
  HRESULT STDMETHODCALLTYPE SetTime(REFERENCE_TIME*, REFERENCE_TIME*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetSyncPoint(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetPreroll(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetActualDataLength(long) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMediaType(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetDiscontinuity(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMediaTime(LONGLONG*, LONGLONG*) override { return E_NOTIMPL; }

  BYTE bytes[64] = {};
  bool hasTime = false;
  REFERENCE_TIME times[2] = {};
  bool syncPoint = false;
  bool preroll = false;
  bool discontinuity = false;
  long actual = 0;
  AM_MEDIA_TYPE* type = nullptr;
};

// `up` (one output) connected to `down` (one input), both paused, so that
// samples from up's allocator can be handed to down's input.
class InputPinTest : public LiveObjectsTest {
 protected:
  void SetUp() override {
    LiveObjectsTest::SetUp();
    m_up = CProbeFilter::Create(0, 1);
    m_down = CProbeFilter::Create(1, 0);
    m_up->Output(0)->offered = {VideoType(8, 4)};
    ASSERT_EQ(S_OK, m_up->Output(0)->Connect(m_down->Input(0), nullptr));
    ASSERT_EQ(S_OK, m_up->Pause());
    ASSERT_EQ(S_OK, m_down->Pause());
  }
  void TearDown() override {
    m_up->Stop();
    m_down->Stop();
    m_up->Output(0)->Disconnect();
    m_down->Input(0)->Disconnect();
    m_up->Release();
    m_down->Release();
    LiveObjectsTest::TearDown();
  }
  ComRef<IMediaSample> Sample() {
    ComRef<IMediaSample> sample;
    EXPECT_EQ(S_OK, m_up->Output(0)->GetDeliveryBuffer(sample.Put(), nullptr, nullptr, 0));
    return sample;
  }
  IMemInputPin* In() { return m_down->Input(0); }

  CProbeFilter* m_up = nullptr;
  CProbeFilter* m_down = nullptr;
};

TEST_F(InputPinTest, ReceiveRefusesSamplesItCannotTakeNow) {
  auto sample = Sample();
  EXPECT_EQ(E_POINTER, In()->Receive(nullptr));
  ASSERT_EQ(S_OK, m_down->Input(0)->BeginFlush());
  EXPECT_EQ(S_FALSE, In()->Receive(sample.Get())) << "flushing";
  ASSERT_EQ(S_OK, m_down->Input(0)->EndFlush());
  ASSERT_EQ(S_OK, m_down->Stop());
  EXPECT_EQ(VFW_E_WRONG_STATE, In()->Receive(sample.Get()));
  ASSERT_EQ(S_OK, m_down->Pause());
  EXPECT_EQ(S_OK, In()->Receive(sample.Get()));
  EXPECT_EQ(1u, m_down->Input(0)->received.size()) << "only the accepted sample reached the filter";
}

TEST_F(InputPinTest, ReceiveReadsOtherSamplesFieldByField) {
  PlainSample sample;
  sample.hasTime = true;
  sample.times[0] = 10;
  sample.times[1] = 20;
  sample.preroll = true;
  sample.actual = 48;
  const CMediaType changed = VideoType(8, 4);
  sample.type = CreateMediaType(&changed);
  ASSERT_EQ(S_OK, In()->Receive(&sample));
  const AM_SAMPLE2_PROPERTIES& props = m_down->Input(0)->received.at(0);
  EXPECT_EQ(static_cast<DWORD>(AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID | AM_SAMPLE_PREROLL | AM_SAMPLE_TYPECHANGED),
            props.dwSampleFlags);
  EXPECT_EQ(10, props.tStart);
  EXPECT_EQ(20, props.tStop);
  EXPECT_EQ(48, props.lActual);
  EXPECT_EQ(64, props.cbBuffer);
  ASSERT_EQ(1u, m_down->Input(0)->receivedTypes.size());
  EXPECT_TRUE(m_down->Input(0)->receivedTypes[0] == changed);

  PlainSample untimed;
  untimed.discontinuity = true;
  untimed.syncPoint = true;
  ASSERT_EQ(S_OK, In()->Receive(&untimed));
  EXPECT_EQ(static_cast<DWORD>(AM_SAMPLE_DATADISCONTINUITY | AM_SAMPLE_SPLICEPOINT),
            m_down->Input(0)->received.at(1).dwSampleFlags);
}

TEST_F(InputPinTest, ARefusedTypeChangeLatchesAnErrorUntilEndFlushOrStop) {
  auto sample = Sample();
  CMediaType changed = VideoType(16, 16);
  ASSERT_EQ(S_OK, sample->SetMediaType(&changed));
  m_down->Input(0)->checkMediaType = S_FALSE;
  EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, In()->Receive(sample.Get()));
  EXPECT_EQ(1, m_down->Input(0)->endOfStreams) << "the pin ends its stream";
  sample.Reset();

  auto next = Sample();
  EXPECT_EQ(VFW_E_RUNTIME_ERROR, In()->Receive(next.Get()));
  ASSERT_EQ(S_OK, m_down->Input(0)->BeginFlush());
  ASSERT_EQ(S_OK, m_down->Input(0)->EndFlush());
  EXPECT_EQ(S_OK, In()->Receive(next.Get()));

  m_down->Input(0)->checkMediaType = E_FAIL;
  ASSERT_EQ(S_OK, next->SetMediaType(&changed));
  EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, In()->Receive(next.Get()));
  EXPECT_EQ(VFW_E_RUNTIME_ERROR, In()->Receive(next.Get()));
  ASSERT_EQ(S_OK, m_down->Stop());
  ASSERT_EQ(S_OK, m_down->Pause());
  m_down->Input(0)->checkMediaType = S_OK;
  EXPECT_EQ(S_OK, In()->Receive(next.Get())) << "an accepted type change passes";
  EXPECT_EQ(1u, m_down->Input(0)->receivedTypes.size());
}

TEST_F(InputPinTest, ReceiveMultipleStopsAtTheFirstAnswerOtherThanOk) {
  ComRef<IMediaSample> samples[3];
  // Our allocator has one buffer; take the others from one of our own.
  ComRef<IMemAllocator> extra;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                   extra.PutVoid()));
  ALLOCATOR_PROPERTIES wanted = {3, 64, 1, 0};
  ALLOCATOR_PROPERTIES actual = {};
  ASSERT_EQ(S_OK, extra->SetProperties(&wanted, &actual));
  ASSERT_EQ(S_OK, extra->Commit());
  for (auto& sample : samples) ASSERT_EQ(S_OK, extra->GetBuffer(sample.Put(), nullptr, nullptr, 0));
  IMediaSample* batch[3] = {samples[0].Get(), samples[1].Get(), samples[2].Get()};

  long processed = -1;
  EXPECT_EQ(S_OK, In()->ReceiveMultiple(batch, 3, &processed));
  EXPECT_EQ(3, processed);
  m_down->Input(0)->receiveAnswers = {S_OK, S_FALSE};
  EXPECT_EQ(S_FALSE, In()->ReceiveMultiple(batch, 3, &processed));
  EXPECT_EQ(1, processed);
  EXPECT_EQ(5u, m_down->Input(0)->received.size()) << "the third sample of the second batch was never received";
  EXPECT_EQ(E_POINTER, In()->ReceiveMultiple(batch, 3, nullptr));
  for (auto& sample : samples) sample.Reset();
  extra->Decommit();
}

TEST_F(InputPinTest, ReceiveCanBlockAsksWhatTheFilterDeliversTo) {
  // A middle filter: down's pin has no outputs to ask, so it may block.
  EXPECT_EQ(S_OK, In()->ReceiveCanBlock());

  CProbeFilter* middle = CProbeFilter::Create(1, 2);
  CProbeFilter* sinkA = CProbeFilter::Create(1, 0);
  CProbeFilter* sinkB = CProbeFilter::Create(1, 0);
  middle->Output(0)->offered = {VideoType(8, 4)};
  middle->Output(1)->offered = {VideoType(8, 4)};
  ASSERT_EQ(S_OK, middle->Output(0)->Connect(sinkA->Input(0), nullptr));
  ASSERT_EQ(S_OK, middle->Output(1)->Connect(sinkB->Input(0), nullptr));
  IMemInputPin* in = middle->Input(0);
  sinkA->Input(0)->answerCanBlock = sinkB->Input(0)->answerCanBlock = true;
  sinkA->Input(0)->canBlock = sinkB->Input(0)->canBlock = S_FALSE;
  EXPECT_EQ(S_FALSE, in->ReceiveCanBlock());
  sinkB->Input(0)->canBlock = S_OK;
  EXPECT_EQ(S_OK, in->ReceiveCanBlock()) << "any blocking downstream pin";

  for (int i = 0; i < 2; ++i) middle->Output(i)->Disconnect();
  sinkA->Input(0)->Disconnect();
  sinkB->Input(0)->Disconnect();
  middle->Release();
  sinkA->Release();
  sinkB->Release();
}

TEST_F(InputPinTest, QualityMessagesGoToTheSinkOrUpstream) {
  Quality quality = {Famine, 900, -10, 400000};
  EXPECT_EQ(S_OK, m_down->Input(0)->PassNotify(quality)) << "to the connected output pin";

  // A quality sink set on the input takes them instead: here another
  // filter's output pin, which counts what it gets.
  HRESULT hr = E_FAIL;
  CScriptedSource* counter = CScriptedSource::Create(8, 4, &hr);
  ASSERT_EQ(S_OK, hr);
  ASSERT_EQ(S_OK, m_down->Input(0)->SetSink(counter->OutputPin()));
  EXPECT_EQ(S_OK, m_down->Input(0)->PassNotify(quality));
  EXPECT_EQ(1, counter->OutputPin()->QualityMessages());
  ASSERT_EQ(S_OK, m_down->Input(0)->SetSink(nullptr));
  counter->Release();

  CProbeFilter* lone = CProbeFilter::Create(1, 0);
  EXPECT_EQ(VFW_E_NOT_FOUND, lone->Input(0)->PassNotify(quality)) << "nothing to pass to";
  EXPECT_EQ(E_POINTER, lone->Input(0)->Notify(nullptr, quality));
  lone->Release();
}

}  // namespace
}  // namespace ovl::testing

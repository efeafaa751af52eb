// Connecting pins of the base layer: the order of the connection hooks, the
// answers to refused connections, type agreement and allocator negotiation,
// pin information and the pin and media type enumerators.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/windows/streaming/live_objects.h"
#include "tests/windows/streaming/pass_through_transform.h"
#include "tests/windows/streaming/probe_filter.h"
#include "tests/windows/streaming/stream_types.h"
#include "tests/windows/support/com_ref.h"

namespace ovl::testing {
namespace {

using Calls = std::vector<std::string>;

// An upstream probe with one output and a downstream probe with one input,
// logging into one shared log.
class PinConnectionTest : public LiveObjectsTest {
 protected:
  void SetUp() override {
    LiveObjectsTest::SetUp();
    m_log = std::make_shared<ProbeLog>();
    m_up = CProbeFilter::Create(0, 1, m_log);
    m_down = CProbeFilter::Create(1, 0, m_log);
  }
  void TearDown() override {
    m_up->Output(0)->Disconnect();
    m_down->Input(0)->Disconnect();
    m_up->Release();
    m_down->Release();
    LiveObjectsTest::TearDown();
  }
  IPin* Out() { return m_up->Output(0); }
  IPin* In() { return m_down->Input(0); }

  std::shared_ptr<ProbeLog> m_log;
  CProbeFilter* m_up = nullptr;
  CProbeFilter* m_down = nullptr;
};

TEST_F(PinConnectionTest, ReceiveConnectionRunsTheHooksInOrder) {
  const CMediaType type = VideoType(8, 4);
  ASSERT_EQ(S_OK, In()->ReceiveConnection(Out(), &type));
  EXPECT_EQ((Calls{"in0.CheckConnect", "in0.CheckMediaType", "in0.SetMediaType", "in0.CompleteConnect"}),
            m_log->Calls());

  ComRef<IPin> connected;
  EXPECT_EQ(S_OK, In()->ConnectedTo(connected.Put()));
  EXPECT_EQ(Out(), connected.Get());
  AM_MEDIA_TYPE current = {};
  ASSERT_EQ(S_OK, In()->ConnectionMediaType(&current));
  EXPECT_TRUE(CMediaType(current) == type);
  FreeMediaType(current);

  // A second connection changes nothing.
  m_log->Clear();
  EXPECT_EQ(VFW_E_ALREADY_CONNECTED, In()->ReceiveConnection(Out(), &type));
  EXPECT_TRUE(m_log->Calls().empty());

  EXPECT_EQ(S_OK, In()->Disconnect());
  EXPECT_EQ(Calls{"in0.BreakConnect"}, m_log->Calls());
  EXPECT_EQ(S_FALSE, In()->Disconnect());
  EXPECT_EQ(VFW_E_NOT_CONNECTED, In()->ConnectedTo(connected.Put()));
  EXPECT_EQ(VFW_E_NOT_CONNECTED, In()->ConnectionMediaType(&current));
}

TEST_F(PinConnectionTest, RefusedTypesAreReportedAsNotAccepted) {
  const CMediaType type = VideoType(8, 4);
  const struct {
    HRESULT check;
    HRESULT answer;
  } cases[] = {{S_FALSE, VFW_E_TYPE_NOT_ACCEPTED},
               {E_FAIL, VFW_E_TYPE_NOT_ACCEPTED},
               {E_INVALIDARG, VFW_E_TYPE_NOT_ACCEPTED},
               {VFW_S_NO_MORE_ITEMS, VFW_E_TYPE_NOT_ACCEPTED},
               {E_OUTOFMEMORY, E_OUTOFMEMORY},
               {VFW_E_INVALIDMEDIATYPE, VFW_E_INVALIDMEDIATYPE}};
  for (const auto& c : cases) {
    m_log->Clear();
    m_down->Input(0)->checkMediaType = c.check;
    EXPECT_EQ(c.answer, In()->ReceiveConnection(Out(), &type)) << std::hex << c.check;
    EXPECT_EQ((Calls{"in0.CheckConnect", "in0.CheckMediaType", "in0.BreakConnect"}), m_log->Calls());
    EXPECT_FALSE(m_down->Input(0)->IsConnected());
  }
}

TEST_F(PinConnectionTest, FailedHooksUndoTheConnection) {
  const CMediaType type = VideoType(8, 4);
  m_down->Input(0)->checkConnect = E_ACCESSDENIED;
  EXPECT_EQ(E_ACCESSDENIED, In()->ReceiveConnection(Out(), &type));
  EXPECT_EQ((Calls{"in0.CheckConnect", "in0.BreakConnect"}), m_log->Calls());

  m_log->Clear();
  m_down->Input(0)->checkConnect = S_OK;
  m_down->Input(0)->completeConnect = E_UNEXPECTED;
  EXPECT_EQ(E_UNEXPECTED, In()->ReceiveConnection(Out(), &type));
  EXPECT_EQ((Calls{"in0.CheckConnect", "in0.CheckMediaType", "in0.SetMediaType", "in0.CompleteConnect",
                   "in0.BreakConnect"}),
            m_log->Calls());
  EXPECT_FALSE(m_down->Input(0)->IsConnected());

  // A pin of the same direction.
  CProbeFilter* other = CProbeFilter::Create(1, 0);
  m_down->Input(0)->completeConnect = S_OK;
  EXPECT_EQ(VFW_E_INVALID_DIRECTION, In()->ReceiveConnection(other->Input(0), &type));
  other->Release();
}

TEST_F(PinConnectionTest, ConnectionsWaitForTheFilterToStop) {
  const CMediaType type = VideoType(8, 4);
  ASSERT_EQ(S_OK, m_down->Pause());
  EXPECT_EQ(VFW_E_NOT_STOPPED, In()->ReceiveConnection(Out(), &type));
  ASSERT_EQ(S_OK, m_up->Pause());
  EXPECT_EQ(VFW_E_NOT_STOPPED, Out()->Connect(In(), nullptr));
  EXPECT_TRUE(m_log->Calls().empty());
  ASSERT_EQ(S_OK, m_up->Stop());
  ASSERT_EQ(S_OK, m_down->Stop());

  ASSERT_EQ(S_OK, Out()->Connect(In(), &type));
  ASSERT_EQ(S_OK, m_down->Pause());
  EXPECT_EQ(VFW_E_NOT_STOPPED, In()->Disconnect());
  EXPECT_TRUE(m_down->Input(0)->IsConnected());
  EXPECT_EQ(S_OK, m_down->Stop());
}

TEST_F(PinConnectionTest, ConnectTriesTheReceiverTypesFirst) {
  const CMediaType theirs = VideoType(8, 4);
  const CMediaType ours = VideoType(16, 8);
  m_down->Input(0)->offered = {theirs};
  m_up->Output(0)->offered = {ours};
  ASSERT_EQ(S_OK, Out()->Connect(In(), nullptr));
  EXPECT_TRUE(m_down->Input(0)->CurrentMediaType() == theirs);
  EXPECT_TRUE(m_up->Output(0)->CurrentMediaType() == theirs);
  // Our type is set before the receiver sees it; allocator negotiation ends it.
  EXPECT_EQ((Calls{"out0.CheckConnect", "out0.CheckMediaType", "out0.SetMediaType", "in0.CheckConnect",
                   "in0.CheckMediaType", "in0.SetMediaType", "in0.CompleteConnect", "out0.CompleteConnect",
                   "out0.DecideBufferSize", "in0.NotifyAllocator"}),
            m_log->Calls());
  EXPECT_EQ(VFW_E_ALREADY_CONNECTED, Out()->Connect(In(), nullptr));

  // When the receiver's types do not suit us, ours are offered.
  ASSERT_EQ(S_OK, Out()->Disconnect());
  ASSERT_EQ(S_OK, In()->Disconnect());
  m_up->Output(0)->accepts = {ours};
  ASSERT_EQ(S_OK, Out()->Connect(In(), nullptr));
  EXPECT_TRUE(m_down->Input(0)->CurrentMediaType() == ours);
}

TEST_F(PinConnectionTest, ConnectHonoursARequestedType) {
  const CMediaType offered = VideoType(8, 4);
  const CMediaType requested = VideoType(32, 2);
  m_up->Output(0)->offered = {AudioType(), offered};

  // A complete type is the only one tried.
  m_down->Input(0)->checkMediaType = S_FALSE;
  EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, Out()->Connect(In(), &requested));
  EXPECT_FALSE(m_up->Output(0)->IsConnected());
  m_down->Input(0)->checkMediaType = S_OK;
  ASSERT_EQ(S_OK, Out()->Connect(In(), &requested));
  EXPECT_TRUE(m_down->Input(0)->CurrentMediaType() == requested);
  ASSERT_EQ(S_OK, Out()->Disconnect());
  ASSERT_EQ(S_OK, In()->Disconnect());

  // A partial type filters the candidates.
  m_log->Clear();
  CMediaType anyVideo(&MEDIATYPE_Video);
  ASSERT_EQ(S_OK, Out()->Connect(In(), &anyVideo));
  EXPECT_TRUE(m_down->Input(0)->CurrentMediaType() == offered);
  const Calls calls = m_log->Calls();
  EXPECT_EQ(1, std::count(calls.begin(), calls.end(), "out0.CheckMediaType")) << "audio was never considered";
}

TEST_F(PinConnectionTest, NoAgreementLeavesBothPinsFree) {
  m_up->Output(0)->offered = {VideoType(8, 4)};
  m_down->Input(0)->checkMediaType = S_FALSE;
  EXPECT_EQ(VFW_E_NO_ACCEPTABLE_TYPES, Out()->Connect(In(), nullptr));
  EXPECT_EQ("out0.BreakConnect", m_log->Calls().back());

  // An allocator that cannot be sized undoes the receiver's side too.
  m_log->Clear();
  m_down->Input(0)->checkMediaType = S_OK;
  m_up->Output(0)->failDecideBufferSize = 2;
  EXPECT_EQ(E_FAIL, Out()->Connect(In(), nullptr));
  const Calls calls = m_log->Calls();
  EXPECT_NE(calls.end(), std::find(calls.begin(), calls.end(), "in0.BreakConnect"));
  EXPECT_FALSE(m_up->Output(0)->IsConnected());
  EXPECT_FALSE(m_down->Input(0)->IsConnected());
  EXPECT_EQ(nullptr, m_up->Output(0)->Allocator());
}

TEST_F(PinConnectionTest, AllocatorNegotiationFallsBackToANewAllocator) {
  CProbeInputPin* in = m_down->Input(0);
  in->hasRequirements = true;
  in->requirements = {3, 100, 0, 0};  // three buffers of 100 bytes, no alignment
  m_up->Output(0)->offered = {VideoType(8, 4)};
  m_up->Output(0)->failDecideBufferSize = 1;
  ASSERT_EQ(S_OK, Out()->Connect(In(), nullptr));

  CProbeOutputPin* out = m_up->Output(0);
  ASSERT_EQ(2u, out->sizedAllocators.size());
  EXPECT_NE(out->sizedAllocators[0], out->sizedAllocators[1]) << "the receiver's allocator, then a new one";
  for (const ALLOCATOR_PROPERTIES& request : out->requests) {
    EXPECT_EQ(3, request.cBuffers);
    EXPECT_EQ(100, request.cbBuffer);
    EXPECT_EQ(1, request.cbAlign) << "an alignment of 0 becomes 1";
  }
  EXPECT_EQ(out->sizedAllocators[1], in->notifiedAllocator);
  EXPECT_EQ(out->Allocator(), in->Allocator());
}

TEST_F(PinConnectionTest, PinsDescribeThemselves) {
  const std::wstring longName(200, L'n');
  PIN_INFO info = {};
  ASSERT_EQ(S_OK, m_down->AddInput(longName.c_str())->QueryPinInfo(&info));
  EXPECT_EQ(std::wstring(MAX_PIN_NAME - 1, L'n'), info.achName) << "cut to the field, terminated";
  EXPECT_EQ(PINDIR_INPUT, info.dir);
  EXPECT_EQ(static_cast<IBaseFilter*>(m_down), info.pFilter);
  info.pFilter->Release();

  const CMediaType type = VideoType(8, 4);
  m_down->Input(0)->checkMediaType = E_FAIL;
  EXPECT_EQ(S_FALSE, In()->QueryAccept(&type)) << "any refusal is S_FALSE";

  // Transform inputs answer "In"; their filter finds both pins by id and name.
  CPassThroughTransform* transform = CPassThroughTransform::Create();
  LPWSTR id = nullptr;
  ASSERT_EQ(S_OK, transform->Input()->QueryId(&id));
  EXPECT_STREQ(L"In", id);
  CoTaskMemFree(id);
  ComRef<IPin> found;
  for (const wchar_t* name : {L"In", L"XForm In", L"Out", L"XForm Out"}) {
    EXPECT_EQ(S_OK, transform->FindPin(name, found.Put())) << name;
  }
  EXPECT_EQ(VFW_E_NOT_FOUND, transform->FindPin(L"in", found.Put()));
  found.Reset();
  transform->Release();
}

TEST_F(PinConnectionTest, PinEnumeratorsNoticeANewPin) {
  ComRef<IEnumPins> pins;
  ASSERT_EQ(S_OK, m_down->EnumPins(pins.Put()));
  ComRef<IPin> pin;
  ASSERT_EQ(S_OK, pins->Next(1, pin.Put(), nullptr));
  EXPECT_EQ(In(), pin.Get());

  m_down->AddInput(L"in1");
  m_down->IncrementPinVersion();
  ULONG fetched = 7;
  IPin* batch[4] = {};
  EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pins->Next(1, batch, &fetched));
  EXPECT_EQ(0u, fetched);
  EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pins->Skip(1));
  EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pins->Next(1, batch, &fetched)) << "until reset";

  ASSERT_EQ(S_OK, pins->Reset());
  EXPECT_EQ(S_FALSE, pins->Next(4, batch, &fetched));
  ASSERT_EQ(2u, fetched);
  for (ULONG i = 0; i < fetched; ++i) batch[i]->Release();
  EXPECT_EQ(E_POINTER, pins->Next(2, batch, nullptr)) << "more than one pin must be counted";
}

TEST_F(PinConnectionTest, MediaTypeEnumeratorsNoticeAChangedTypeList) {
  m_up->Output(0)->offered = {VideoType(8, 4), AudioType()};
  ComRef<IEnumMediaTypes> types;
  ASSERT_EQ(S_OK, Out()->EnumMediaTypes(types.Put()));
  AM_MEDIA_TYPE* batch[3] = {};
  ULONG fetched = 0;
  ASSERT_EQ(S_FALSE, types->Next(3, batch, &fetched));
  ASSERT_EQ(2u, fetched);
  EXPECT_TRUE(CMediaType(*batch[1]) == AudioType());
  DeleteMediaType(batch[0]);
  DeleteMediaType(batch[1]);

  m_up->Output(0)->IncrementTypeVersion();
  EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, types->Skip(1));
  ASSERT_EQ(S_OK, types->Reset());
  EXPECT_EQ(S_OK, types->Skip(2));
  EXPECT_EQ(S_FALSE, types->Skip(1));
}

}  // namespace
}  // namespace ovl::testing

// Pins, media types and refusals of the overlay filter, through the pin and
// filter interfaces a graph uses.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "tests/windows/support/filter_test_support.h"
#include "tests/windows/support/graph_util.h"
#include "tests/windows/support/scripted_source.h"

namespace ovl {
namespace {

using namespace ovl::testing;

std::wstring PinName(IPin* pin) {
  PIN_INFO info{};
  pin->QueryPinInfo(&info);
  if (info.pFilter != nullptr) info.pFilter->Release();
  return info.achName;
}

std::wstring PinId(IPin* pin) {
  LPWSTR id = nullptr;
  if (FAILED(pin->QueryId(&id))) return L"?";
  std::wstring result(id);
  CoTaskMemFree(id);
  return result;
}

std::vector<std::wstring> PinNames(IBaseFilter* filter) {
  std::vector<std::wstring> names;
  ovl::ComPtr<IEnumPins> pins;
  filter->EnumPins(pins.Put());
  ovl::ComPtr<IPin> pin;
  while (pins->Next(1, pin.Put(), nullptr) == S_OK) names.push_back(PinName(pin.Get()));
  return names;
}

CMediaType VideoType(const GUID& subtype, WORD bits, LONG width, LONG height, const GUID& format = FORMAT_VideoInfo) {
  CMediaType type = MakeRgb24Type(width, height);
  type.SetSubtype(&subtype);
  type.SetFormatType(&format);
  reinterpret_cast<VIDEOINFOHEADER*>(type.Format())->bmiHeader.biBitCount = bits;
  return type;
}

class FilterPins : public OverlayFilterGraph {
 protected:
  void ReleaseUpstream() override {
    for (CScriptedSource* s : sources) s->Release();
  }
  CScriptedSource* AddSource(LONG w, LONG h, const wchar_t* name) {
    HRESULT hr = S_OK;
    CScriptedSource* source = CScriptedSource::Create(w, h, &hr);
    EXPECT_EQ(S_OK, hr);
    sources.push_back(source);
    graph->AddFilter(source, name);
    return source;
  }

  std::vector<CScriptedSource*> sources;
};

TEST_F(FilterPins, OneInputThenTwoAndTheOutputMovesBehindThem) {
  EXPECT_EQ((std::vector<std::wstring>{L"XForm In 01", L"XForm Out"}), PinNames(filterBase.Get()));
  EXPECT_EQ(L"In", PinId(Input(0).Get()));
  EXPECT_EQ(L"XForm Out", PinId(Output().Get()));
  ovl::ComPtr<IEnumPins> before;
  filterBase->EnumPins(before.Put());

  CScriptedSource* source = AddSource(32, 24, L"main");
  ASSERT_EQ(S_OK, graph->ConnectDirect(source->OutputPin(), Input(0).Get(), nullptr));
  EXPECT_EQ((std::vector<std::wstring>{L"XForm In 01", L"XForm In 02", L"XForm Out"}), PinNames(filterBase.Get()));
  ovl::ComPtr<IPin> pin;
  EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, before->Next(1, pin.Put(), nullptr)) << "an old enumerator notices the new pin";
  before->Reset();
  EXPECT_EQ(S_OK, before->Next(1, pin.Put(), nullptr));

  // Only two inputs ever: connecting the second adds no third.
  CScriptedSource* second = AddSource(16, 16, L"second");
  ASSERT_EQ(S_OK, graph->ConnectDirect(second->OutputPin(), Input(1).Get(), nullptr));
  EXPECT_EQ(3u, PinNames(filterBase.Get()).size());
}

TEST_F(FilterPins, FindPinByNumberedAndUnnumberedIds) {
  ovl::ComPtr<IPin> pin;
  EXPECT_EQ(E_POINTER, filterBase->FindPin(L"In", nullptr));
  EXPECT_EQ(VFW_E_NOT_FOUND, filterBase->FindPin(L"XForm In 02", pin.Put())) << "the second input does not exist yet";
  EXPECT_EQ(VFW_E_NOT_FOUND, filterBase->FindPin(L"In 02", pin.Put()));
  ASSERT_EQ(S_OK, filterBase->FindPin(L"In 01", pin.Put()));
  EXPECT_EQ(L"XForm In 01", PinName(pin.Get()));
  ASSERT_EQ(S_OK, filterBase->FindPin(L"Out", pin.Put()));
  EXPECT_EQ(L"XForm Out", PinName(pin.Get()));
  EXPECT_EQ(VFW_E_NOT_FOUND, filterBase->FindPin(L"xform out", pin.Put())) << "ids are case-sensitive";

  CScriptedSource* source = AddSource(32, 24, L"main");
  ASSERT_EQ(S_OK, graph->ConnectDirect(source->OutputPin(), Input(0).Get(), nullptr));
  ASSERT_EQ(S_OK, filterBase->FindPin(L"In", pin.Put()));
  EXPECT_EQ(L"XForm In 02", PinName(pin.Get())) << "\"In\" names the highest input";
  ASSERT_EQ(S_OK, filterBase->FindPin(L"XForm In 02", pin.Put()));
}

TEST_F(FilterPins, InputsAcceptRgb24VideoInfoEitherWayUp) {
  const struct { CMediaType type; HRESULT expected; const char* what; } cases[] = {
      {MakeRgb24Type(32, 24), S_OK, "RGB24"},
      {VideoType(MEDIASUBTYPE_RGB32, 32, 32, 24), E_FAIL, "RGB32"},
      {VideoType(MEDIASUBTYPE_YUY2, 16, 32, 24), E_FAIL, "YUY2"},
      {VideoType(MEDIASUBTYPE_RGB24, 24, 32, -24), S_OK, "top-down rows"},
      {VideoType(MEDIASUBTYPE_RGB24, 24, 0, 24), E_FAIL, "no width"},
      {VideoType(MEDIASUBTYPE_RGB24, 24, 32, 0), E_FAIL, "no rows"},
      {VideoType(MEDIASUBTYPE_RGB24, 24, 70000, 70000), E_FAIL, "absurd size"},
      {VideoType(MEDIASUBTYPE_RGB24, 24, 1 << 19, 2), S_OK, "widest"},
      {VideoType(MEDIASUBTYPE_RGB24, 24, (1 << 19) + 1, 2), E_FAIL, "wider than any curved region"},
      {VideoType(MEDIASUBTYPE_RGB24, 24, 2, (1 << 19) + 1), E_FAIL, "taller than any curved region"},
      {VideoType(MEDIASUBTYPE_RGB24, 24, 2, -(1 << 19) - 1), E_FAIL, "taller, top-down"},
      {VideoType(MEDIASUBTYPE_RGB24, 24, 70000, -70000), E_FAIL, "absurd size, top-down"},
      {VideoType(MEDIASUBTYPE_RGB24, 24, 32, LONG_MIN), E_FAIL, "a height with no positive counterpart"},
      {VideoType(MEDIASUBTYPE_RGB24, 24, 32, 24, FORMAT_VideoInfo2), E_INVALIDARG, "VideoInfo2"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, filter->CheckInputType(&c.type)) << c.what;
  CMediaType audio = MakeRgb24Type(32, 24);
  audio.SetType(&MEDIATYPE_Audio);
  EXPECT_EQ(E_FAIL, filter->CheckInputType(&audio));
  CMediaType truncated = MakeRgb24Type(32, 24);
  truncated.cbFormat = 40;  // a VideoInfo block too short for its header
  EXPECT_EQ(E_INVALIDARG, filter->CheckInputType(&truncated));
  truncated.cbFormat = sizeof(VIDEOINFOHEADER);

  // Through a connection attempt the refusal is the platform's "type not accepted".
  CScriptedSource* source = AddSource(32, 24, L"main");
  const CMediaType rgb32 = VideoType(MEDIASUBTYPE_RGB32, 32, 32, 24);
  EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, Input(0)->ReceiveConnection(source->OutputPin(), &rgb32));
  EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, Input(0)->ReceiveConnection(source->OutputPin(), &cases[std::size(cases) - 1].type));
}

// Sources that send their rows top first, on both inputs: the composite is
// the reference's for the same pictures stored bottom-up, and the output
// type stays bottom-up.
TEST_F(FilterPins, TopDownSourcesAreComposedTheRightWayUp) {
  CScriptedSource* main = AddSource(20, -12, L"main");
  CScriptedSource* second = AddSource(9, -7, L"second");
  ASSERT_EQ(S_OK, graph->ConnectDirect(main->OutputPin(), Input(0).Get(), nullptr));
  ASSERT_EQ(S_OK, graph->ConnectDirect(second->OutputPin(), Input(1).Get(), nullptr));
  EXPECT_EQ(20u, filter->Settings().CompositeWidth);
  EXPECT_EQ(12u, filter->Settings().CompositeHeight);
  long width = 0, height = 0, bits = 0;
  ASSERT_EQ(S_OK, filter->GetLayerInfo(::LAYERTYPE_VIDEO2, &width, &height, &bits));
  EXPECT_EQ(7, height) << "a layer's size counts rows";
  SettingsAccess& s = filter->Access();
  s.PutXPos(LAYERTYPE_VIDEO2, 5);
  s.PutYPos(LAYERTYPE_VIDEO2, 2);
  s.PutOpacity(LAYERTYPE_VIDEO2, 60);
  s.PutFlag(LAYERTYPE_VIDEO2, &LayerSettings::EnableOpacity, kVariantTrue);
  ConnectSink();
  AM_MEDIA_TYPE mt{};
  ASSERT_EQ(S_OK, Output()->ConnectionMediaType(&mt));
  EXPECT_EQ(12, reinterpret_cast<VIDEOINFOHEADER*>(mt.pbFormat)->bmiHeader.biHeight);
  CoTaskMemFree(mt.pbFormat);

  auto control = graph.As<IMediaControl>(IID_IMediaControl);
  ASSERT_TRUE(SUCCEEDED(control->Run()));
  ScriptedSample top;
  top.start = 0;
  top.stop = 400000;
  top.pixels = PatternPicture(9, 7, 3);  // as sent: the first row is the top one
  second->Queue(top);
  top.pixels = PatternPicture(20, 12, 1);
  main->Queue(top);
  ASSERT_TRUE(main->WaitForResults(1, 10000));
  control->Stop();

  // The same pictures with their rows in memory the other way round.
  auto flipped = [](const Frame& rows, LONG w, LONG h) {
    Frame out(rows.size());
    for (LONG y = 0; y < h; ++y) std::copy_n(rows.begin() + y * RgbStride(w), RgbStride(w), out.begin() + (h - 1 - y) * RgbStride(w));
    return out;
  };
  const Frame secondUp = flipped(PatternPicture(9, 7, 3), 9, 7);
  const auto expected = ReferenceFrames(filter->Settings(), 20, 12, 20, 12, {flipped(PatternPicture(20, 12, 1), 20, 12)},
                                        9, 7, {&secondUp});
  const auto frames = sink->Frames();
  ASSERT_EQ(1u, frames.size());
  EXPECT_EQ(expected[0], frames[0].bytes);
}

TEST_F(FilterPins, TheOutputOffersOneTypeOfTheCompositeSize) {
  ovl::ComPtr<IEnumMediaTypes> types;
  ASSERT_EQ(S_OK, Output()->EnumMediaTypes(types.Put()));
  AM_MEDIA_TYPE* mt = nullptr;
  EXPECT_EQ(S_FALSE, types->Next(1, &mt, nullptr)) << "nothing before the main input connects";

  CScriptedSource* source = AddSource(30, 20, L"main");
  ASSERT_EQ(S_OK, graph->ConnectDirect(source->OutputPin(), Input(0).Get(), nullptr));
  filter->Access().PutOutputSizeType(OUTPUTSIZETYPE_CUSTOM);
  filter->Access().PutOutputHeight(40);
  CMediaType offered;
  ASSERT_EQ(S_OK, filter->GetMediaType(0, &offered));
  const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(offered.Format());
  EXPECT_EQ(30, vih->bmiHeader.biWidth);
  EXPECT_EQ(40, vih->bmiHeader.biHeight);
  EXPECT_EQ(RgbStride(30) * 40, vih->bmiHeader.biSizeImage);
  EXPECT_EQ(30, vih->rcTarget.right);
  EXPECT_EQ(vih->bmiHeader.biSizeImage, offered.lSampleSize);
  CMediaType none;
  EXPECT_EQ(VFW_S_NO_MORE_ITEMS, filter->GetMediaType(1, &none));
  EXPECT_EQ(E_INVALIDARG, filter->GetMediaType(-1, &none));

  // The output refuses any other size.
  CMediaType wrong = offered;
  reinterpret_cast<VIDEOINFOHEADER*>(wrong.Format())->bmiHeader.biWidth = 31;
  EXPECT_NE(S_OK, Output()->QueryAccept(&wrong));
  EXPECT_EQ(E_INVALIDARG, filter->CheckTransform(&source->FrameType(), &wrong));
  EXPECT_EQ(S_OK, filter->CheckTransform(&source->FrameType(), &offered));
}

TEST_F(FilterPins, TheOutputNeedsTheMainInputOnceTwoInputsExist) {
  CScriptedSource* source = AddSource(16, 12, L"main");
  ASSERT_EQ(S_OK, graph->ConnectDirect(source->OutputPin(), Input(0).Get(), nullptr));
  ASSERT_EQ(S_OK, graph->Disconnect(Input(0).Get()));
  ASSERT_EQ(S_OK, graph->Disconnect(source->OutputPin()));
  sink = std::make_unique<GrabberSink>();
  ASSERT_EQ(S_OK, sink->AddTo(graph.Get(), MEDIATYPE_Video, MEDIASUBTYPE_RGB24));
  EXPECT_TRUE(FAILED(sink->ConnectFrom(graph.Get(), Output().Get())));
}

TEST_F(FilterPins, NoConnectionWhileTheGraphRuns) {
  CScriptedSource* main = AddSource(16, 12, L"main");
  ASSERT_EQ(S_OK, graph->ConnectDirect(main->OutputPin(), Input(0).Get(), nullptr));
  ConnectSink();
  auto control = graph.As<IMediaControl>(IID_IMediaControl);
  ASSERT_TRUE(SUCCEEDED(control->Run()));
  CScriptedSource* second = AddSource(16, 12, L"second");
  EXPECT_EQ(VFW_E_NOT_STOPPED, Input(1)->ReceiveConnection(second->OutputPin(), &second->FrameType()));
  control->Stop();
}

TEST_F(FilterPins, ARefusedTypeChangeAbortsOnceAndLatchesUntilEndFlush) {
  CScriptedSource* source = AddSource(16, 12, L"main");
  ASSERT_EQ(S_OK, graph->ConnectDirect(source->OutputPin(), Input(0).Get(), nullptr));
  ConnectSink();
  auto control = graph.As<IMediaControl>(IID_IMediaControl);
  auto events = graph.As<IMediaEvent>(IID_IMediaEvent);
  ASSERT_TRUE(SUCCEEDED(control->Run()));
  ScriptedSample plain;
  plain.pixels = PatternFrame(16, 12, 1);
  plain.stop = 400000;
  ScriptedSample changed = plain;
  changed.typeChange = std::make_shared<CMediaType>(VideoType(MEDIASUBTYPE_RGB32, 32, 16, 12));
  source->Queue(plain);
  source->Queue(changed);
  source->Queue(plain);
  source->QueueBeginFlush();
  source->QueueEndFlush();
  source->Queue(plain);
  ASSERT_TRUE(source->WaitForResults(6, 10000));
  const std::vector<HRESULT> results = source->Results();
  EXPECT_EQ(S_OK, results[0]);
  EXPECT_EQ(VFW_E_INVALIDMEDIATYPE, results[1]);
  EXPECT_EQ(VFW_E_RUNTIME_ERROR, results[2]) << "later samples fail until the end of a flush";
  EXPECT_EQ(S_OK, results[5]);
  control->Stop();
  int aborts = 0;
  for (const auto& e : DrainEvents(events.Get())) aborts += e.first == EC_ERRORABORT;
  EXPECT_EQ(1, aborts);
  EXPECT_EQ(2u, sink->Frames().size());
}

TEST_F(FilterPins, SamplePropertiesTravelWithTheFrame) {
  CScriptedSource* source = AddSource(8, 6, L"main");
  ASSERT_EQ(S_OK, graph->ConnectDirect(source->OutputPin(), Input(0).Get(), nullptr));
  ConnectSink();
  auto control = graph.As<IMediaControl>(IID_IMediaControl);
  ASSERT_TRUE(SUCCEEDED(control->Run()));
  ScriptedSample a;
  a.pixels = PatternFrame(8, 6, 2);
  a.start = 1000;
  a.stop = 5000;
  a.discontinuity = true;
  a.syncPoint = false;
  ScriptedSample b = a;
  b.start = 5000;
  b.stop = 9000;
  b.discontinuity = false;
  b.syncPoint = true;
  b.preroll = true;
  source->Queue(a);
  source->Queue(b);
  ASSERT_TRUE(source->WaitForResults(2, 10000));
  control->Stop();
  const auto frames = sink->Frames();
  ASSERT_EQ(2u, frames.size());
  EXPECT_EQ(1000, frames[0].start);
  EXPECT_EQ(5000, frames[0].stop);
  EXPECT_TRUE(frames[0].discontinuity);
  EXPECT_FALSE(frames[0].syncPoint);
  EXPECT_FALSE(frames[0].preroll);
  EXPECT_EQ(5000, frames[1].start);
  EXPECT_FALSE(frames[1].discontinuity);
  EXPECT_TRUE(frames[1].syncPoint);
  EXPECT_TRUE(frames[1].preroll);
}

}  // namespace
}  // namespace ovl

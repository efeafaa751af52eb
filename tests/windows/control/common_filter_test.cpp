// IKMMCommon: the filter's pin and state answers over real pins of a real
// graph (a scripted RGB24 source feeding the platform's Sample Grabber),
// and the memory and registry transfers' argument rules.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "persistence/rk_common.h"
#include "tests/windows/control/control_object.h"
#include "tests/windows/support/grabber_sink.h"
#include "tests/windows/support/graph_util.h"
#include "tests/windows/support/scripted_source.h"

namespace ovl::testing {
namespace {

class CommonFilter : public ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    object = NewObject();
  }
  void TearDown() override {
    object->Release();
    ControlTest::TearDown();
  }
  IKMMCommon* C() { return object->Common(); }

  ControlObject* object = nullptr;
};

TEST_F(CommonFilter, AnswersFromRealPinsAndTheGraph) {
  ComRef<IGraphBuilder> graph = CreateGraphWithoutClock();
  ASSERT_TRUE(graph);
  HRESULT hr = S_OK;
  CScriptedSource* source = CScriptedSource::Create(320, 240, &hr);
  ASSERT_NE(nullptr, source);
  ASSERT_EQ(S_OK, graph->AddFilter(source, L"Source"));
  ComRef<IPin> sourceOut = FindPin(source, PINDIR_OUTPUT);
  GrabberSink sink;
  ASSERT_EQ(S_OK, sink.AddTo(graph.Get(), MEDIATYPE_Video, MEDIASUBTYPE_RGB24));
  CScriptedSource* idle = CScriptedSource::Create(16, 16, &hr);
  ASSERT_NE(nullptr, idle);
  ComRef<IPin> unconnected = FindPin(idle, PINDIR_OUTPUT);

  // Nothing exists yet: the input answers leave the result alone, the
  // output is missing, sizes are -1, the filter is in no graph.
  LONG value = 7;
  VARIANT_BOOL connected = 5;
  EXPECT_EQ(S_OK, C()->get_IsTERNInputPinConnected(0, &connected));
  EXPECT_EQ(5, connected);
  EXPECT_EQ(E_FAIL, C()->get_IsTERNOutputPinConnected(0, &connected));
  EXPECT_EQ(S_OK, C()->get_InWidth(0, &value));
  EXPECT_EQ(-1, value);
  EXPECT_EQ(S_OK, C()->get_FilterState(&value));
  EXPECT_EQ(State_Stopped, value);
  BSTR name = nullptr;
  EXPECT_EQ(E_FAIL, C()->get_InputPinName(0, &name));

  // The main input and the output stand in as the grabber's input and the
  // source's output once connected; the second input is an unconnected pin.
  ComRef<IPin> grabberIn;
  object->inputPins[1] = unconnected.Get();
  EXPECT_EQ(S_OK, C()->get_IsTERNInputPinConnected(1, &connected));
  EXPECT_EQ(VARIANT_FALSE, connected);
  ASSERT_EQ(S_OK, sink.ConnectFrom(graph.Get(), sourceOut.Get()));
  ASSERT_EQ(S_OK, sourceOut->ConnectedTo(grabberIn.Put()));
  object->inputPins[0] = grabberIn.Get();
  object->outputPin = sourceOut.Get();
  object->graph = graph.Get();

  EXPECT_EQ(S_OK, C()->get_IsTERNInputPinConnected(0, &connected));
  EXPECT_EQ(VARIANT_TRUE, connected);
  EXPECT_EQ(S_OK, C()->get_IsTERNOutputPinConnected(0, &connected));
  EXPECT_EQ(VARIANT_TRUE, connected);
  EXPECT_EQ(E_INVALIDARG, C()->get_IsTERNInputPinConnected(2, &connected));
  EXPECT_EQ(E_INVALIDARG, C()->get_IsTERNOutputPinConnected(1, &connected));
  for (auto get : {&IKMMCommon::get_InWidth, &IKMMCommon::get_OutWidth}) {
    EXPECT_EQ(S_OK, (C()->*get)(0, &value));
    EXPECT_EQ(320, value);
    EXPECT_EQ(E_INVALIDARG, (C()->*get)(1, &value));  // only the main input is presented
  }
  for (auto get : {&IKMMCommon::get_InHeight, &IKMMCommon::get_OutHeight}) {
    EXPECT_EQ(S_OK, (C()->*get)(0, &value));
    EXPECT_EQ(240, value);
  }
  for (auto get : {&IKMMCommon::get_InBits, &IKMMCommon::get_OutBits}) {
    EXPECT_EQ(S_OK, (C()->*get)(0, &value));
    EXPECT_EQ(24, value);
  }
  PIN_INFO info;
  ASSERT_EQ(S_OK, grabberIn->QueryPinInfo(&info));
  info.pFilter->Release();
  ASSERT_EQ(S_OK, C()->get_InputPinName(0, &name));
  EXPECT_STREQ(info.achName, name);
  SysFreeString(name);
  ASSERT_EQ(S_OK, C()->get_OutputPinName(0, &name));
  EXPECT_STREQ(L"Out", name);
  SysFreeString(name);
  EXPECT_EQ(E_INVALIDARG, C()->get_OutputPinName(1, &name));

  // Active layers count the connected inputs; a layer is active once its pin exists.
  LONG layers = 0;
  EXPECT_EQ(S_OK, object->Overlay()->get_ActiveLayersCount(&layers));
  EXPECT_EQ(2, layers);
  VARIANT_BOOL active = VARIANT_FALSE;
  EXPECT_EQ(S_OK, object->Overlay()->get_IsLayerActive(::LAYERTYPE_VIDEO2, &active));
  EXPECT_EQ(VARIANT_TRUE, active);

  EXPECT_EQ(S_OK, C()->get_FilterState(&value));
  EXPECT_EQ(State_Stopped, value);
  ComRef<IMediaControl> control = graph.As<IMediaControl>(IID_IMediaControl);
  ASSERT_TRUE(SUCCEEDED(control->Pause()));
  EXPECT_EQ(S_OK, C()->get_FilterState(&value));
  EXPECT_EQ(State_Paused, value);
  control->Stop();
  object->graph = nullptr;
  object->inputPins[0] = object->inputPins[1] = object->outputPin = nullptr;
  unconnected.Reset();
  idle->Release();
  source->Release();
}

TEST_F(CommonFilter, FixedAnswersAndTheFamilyDefaults) {
  LONG value = 0;
  EXPECT_EQ(S_OK, C()->get_InputPinsCount(&value));
  EXPECT_EQ(1, value);
  EXPECT_EQ(S_OK, C()->get_OutputPinsCount(&value));
  EXPECT_EQ(1, value);
  EXPECT_EQ(S_OK, C()->get_InputPinStreamType(0, &value));
  EXPECT_EQ(1, value);
  EXPECT_EQ(E_INVALIDARG, C()->get_OutputPinStreamType(1, &value));
  for (auto get : {&IKMMCommon::get_InputPinsCount, &IKMMCommon::get_OutputPinsCount, &IKMMCommon::get_FilterState})
    EXPECT_EQ(E_POINTER, (C()->*get)(nullptr));
  EXPECT_EQ(E_POINTER, C()->get_InWidth(0, nullptr));
  BSTR name = nullptr;
  ASSERT_EQ(S_OK, C()->get_FilterName(&name));
  EXPECT_STREQ(L"TERN Video Overlay Filter (2.0)", name);
  SysFreeString(name);
  using PinGetter = HRESULT(STDMETHODCALLTYPE IKMMCommon::*)(LONG, LONG*);
  for (PinGetter get : std::initializer_list<PinGetter>{&IKMMCommon::get_InChannels, &IKMMCommon::get_OutChannels, &IKMMCommon::get_InBitsPerSample,
                   &IKMMCommon::get_OutBitsPerSample, &IKMMCommon::get_InSamplesPerSec,
                   &IKMMCommon::get_OutSamplesPerSec, &IKMMCommon::get_InputAspectRatioX,
                   &IKMMCommon::get_InputAspectRatioY})
    EXPECT_EQ(E_NOTIMPL, (C()->*get)(0, &value));
  EXPECT_EQ(E_NOTIMPL, C()->get_InputPinStreamSubType(0, &name));

  // Without a registry key there is nowhere to load from or commit to.
  Ref<ControlObject> keyless(ControlObject::Create(nullptr));
  EXPECT_EQ(E_NOTIMPL, keyless->Common()->LoadSettings());
  EXPECT_EQ(E_NOTIMPL, keyless->Common()->CommitSettings());
  EXPECT_EQ(E_NOTIMPL, keyless->GetRegistryKeyPath(&name));
  ASSERT_EQ(S_OK, object->GetRegistryKeyPath(&name));
  EXPECT_EQ(std::wstring(m_registryKey.begin(), m_registryKey.end()), std::wstring(name));
  SysFreeString(name);
}

// What a script reaches through the interface's IDispatch.
TEST_F(CommonFilter, ScriptsReachTheCommonInterface) {
  Script script(C());
  Var name;
  ASSERT_EQ(S_OK, script.Get(script.Id(L"FilterName"), {}, &name.v));
  EXPECT_EQ(L"TERN Video Overlay Filter (2.0)", name.AsString());
  Var width;
  VARIANT pin;
  Var::I4(&pin, 0);
  ASSERT_EQ(S_OK, script.Get(17, {pin}, &width.v));
  EXPECT_EQ(-1, width.AsLong());
  Var::I4(&pin, 1);
  EXPECT_EQ(E_INVALIDARG, script.Get(script.Id(L"InWidth"), {pin}, &width.v));

  ASSERT_EQ(S_OK, object->Overlay()->put_Opacity(::LAYERTYPE_VIDEO1, 33));
  VARIANT file;
  Var::Str(&file, Path(L"script.xml"));
  ASSERT_EQ(S_OK, script.Call(script.Id(L"ExportSettings"), {file}));
  ASSERT_EQ(S_OK, script.Call(script.Id(L"CommitSettings"), {}));
  ASSERT_EQ(S_OK, object->Overlay()->put_Opacity(::LAYERTYPE_VIDEO1, 1));
  ASSERT_EQ(S_OK, script.Call(4, {}));  // LoadSettings
  LONG opacity = 0;
  EXPECT_EQ(S_OK, object->Overlay()->get_Opacity(::LAYERTYPE_VIDEO1, &opacity));
  EXPECT_EQ(33, opacity);
  ASSERT_EQ(S_OK, object->Overlay()->put_Opacity(::LAYERTYPE_VIDEO1, 1));
  Var::Str(&file, Path(L"script.xml"));
  ASSERT_EQ(S_OK, script.Call(3, {file}));  // ImportSettings
  EXPECT_EQ(S_OK, object->Overlay()->get_Opacity(::LAYERTYPE_VIDEO1, &opacity));
  EXPECT_EQ(33, opacity);
}

TEST_F(CommonFilter, MemoryTransfersCheckTheirArguments) {
  SetDistinctSettings(object->Overlay(), ImageFile(L"i.bmp", 64, 48), MaskFile(L"m.bmp", 8, 8));
  const SettingsView before = Capture(object);
  EXPECT_EQ(E_INVALIDARG, C()->WriteToMemory(nullptr, nullptr));
  EXPECT_EQ(E_POINTER, C()->LoadFromMemory(nullptr));
  LONG size = 0;
  ASSERT_EQ(S_OK, C()->WriteToMemory(nullptr, &size));
  // 300 bytes of values plus the UTF-16 text of the two names.
  BSTR image = nullptr, mask = nullptr;
  object->Overlay()->get_OverlayImageFileName(&image);
  object->Overlay()->get_MaskImageFileName(::LAYERTYPE_VIDEO2, &mask);
  EXPECT_EQ(static_cast<LONG>(300 + 2 * (SysStringLen(image) + SysStringLen(mask))), size);
  SysFreeString(image);
  SysFreeString(mask);

  // A block given with its size: too small is refused and left untouched.
  std::vector<BYTE> block(size + 16, 0xAB);
  LONG capacity = size - 1;
  EXPECT_EQ(RK_E_INSUFFICIENT_BUFFER, C()->WriteToMemory(block.data(), &capacity));
  EXPECT_EQ(size, capacity);
  EXPECT_EQ(std::vector<BYTE>(size + 16, 0xAB), block);
  capacity = size;
  ASSERT_EQ(S_OK, C()->WriteToMemory(block.data(), &capacity));
  EXPECT_EQ(0xAB, block[size]);
  std::vector<BYTE> unsized(size);
  ASSERT_EQ(S_OK, C()->WriteToMemory(unsized.data(), nullptr));
  EXPECT_TRUE(std::equal(unsized.begin(), unsized.end(), block.begin()));

  Ref<ControlObject> fresh(NewObject());
  LONG freshSize = 0;
  ASSERT_EQ(S_OK, fresh->Common()->WriteToMemory(nullptr, &freshSize));
  EXPECT_EQ(300, freshSize);
  ASSERT_EQ(S_OK, fresh->Common()->LoadFromMemory(block.data()));
  EXPECT_EQ(before, Capture(fresh.Get()));
}

}  // namespace
}  // namespace ovl::testing

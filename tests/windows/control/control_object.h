#pragma once
// The control surface mixed into a small COM object the way the overlay
// filter mixes it in, over the real engine parts: the settings record, GDI
// regions under a critical section, the picture loaders, the persistence
// library and the IPersistStream base. Pins and the graph are whatever a
// test hands in (real pins of real graphs where a test needs them).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/control/overlay_filter_control.h"
#include "engine/gdi/gdi_settings_host.h"
#include "streaming/base/persist_stream.h"

namespace ovl::testing {

class ControlObject : public COverlayFilterControl,
                      public CPersistStream,
                      private COverlayControlHost,
                      private COverlayPinHost {
 public:
  // A new object with one reference; its settings live under HKCU\registryKey.
  static ControlObject* Create(const char* registryKey);

  // IUnknown, answered as the filter answers it.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
  HRESULT WriteToStream(IStream* stream) override { return WriteSettingsToStream(stream); }
  HRESULT ReadFromStream(IStream* stream) override { return ReadSettingsFromStream(stream); }

  // The 32-bit handle setters forward here: the value is recorded.
  HRESULT STDMETHODCALLTYPE put_OverlayImageDIBPointer64(INT64 handle) override;
  HRESULT STDMETHODCALLTYPE put_MaskImageDIBPointer64(::LayerTypeConstants layer, INT64 handle) override;

  IKMVVOvLy* Overlay() { return this; }
  IKMMCommon* Common() { return this; }
  IPersistStream* Persist() { return this; }
  OverlaySettings& Settings() { return m_settings; }
  CRITICAL_SECTION& FilterLock() { return m_lock; }

  IPin* inputPins[2] = {nullptr, nullptr};
  IPin* outputPin = nullptr;
  IFilterGraph* graph = nullptr;
  bool hasVideoHeader[2] = {false, false};
  BITMAPINFOHEADER videoHeaders[2] = {};
  int sizeRecomputes = 0;
  INT64 lastOverlayHandle = 0;
  INT64 lastMaskHandle = 0;

 private:
  class Host : public gdi::GdiSettingsHost {
   public:
    Host(ControlObject& object, CRITICAL_SECTION* lock) : GdiSettingsHost(lock), m_object(object) {}
    HResult BackgroundColorChanged(std::uint32_t colorref) override;
    void OutputSizeSettingsChanged() override;
    bool InputPinExists(int index) const override { return m_object.InputPinExists(index); }
    bool InputPinConnected(int index) const override { return m_object.InputPinConnected(index); }

   private:
    ControlObject& m_object;
  };

  explicit ControlObject(const char* registryKey);
  ~ControlObject() override;

  OverlaySettings& OverlaySettingsRecord() override { return m_settings; }
  SettingsHost& OverlaySettingsHost() override { return m_host; }
  bool VideoSourceHeader(int input, BITMAPINFOHEADER* header) override;
  IPin* OverlayInputPin(int index) override { return index == 0 || index == 1 ? inputPins[index] : nullptr; }
  IPin* OverlayOutputPin() override { return outputPin; }
  IFilterGraph* OverlayFilterGraph() override { return graph; }

  volatile LONG m_ref = 1;
  CRITICAL_SECTION m_lock;
  OverlaySettings m_settings;
  Host m_host;
  HBRUSH m_brush = nullptr;
};

// Owns one reference.
template <class T>
class Ref {
 public:
  Ref() = default;
  explicit Ref(T* owned) : m_p(owned) {}
  ~Ref() {
    if (m_p != nullptr) m_p->Release();
  }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  T* operator->() const { return m_p; }
  T* Get() const { return m_p; }

 private:
  T* m_p = nullptr;
};

// A VARIANT that clears itself.
struct Var {
  VARIANT v;
  Var() { VariantInit(&v); }
  ~Var() { VariantClear(&v); }
  Var(const Var&) = delete;
  Var& operator=(const Var&) = delete;
  static void I4(VARIANT* out, LONG value);
  static void Bool(VARIANT* out, bool value);
  static void Str(VARIANT* out, const std::wstring& text);
  static void I8(VARIANT* out, LONGLONG value);
  LONG AsLong() const;  // any numeric or boolean value as VT_I4
  std::wstring AsString() const;
};

// Calls through IDispatch as a script host makes them: names resolved by
// GetIDsOfNames, arguments as VARIANTs (given in the declared order), puts
// with the DISPID_PROPERTYPUT named argument. A failing member reported
// as DISP_E_EXCEPTION comes back as the member's own HRESULT.
class Script {
 public:
  explicit Script(IDispatch* dispatch) : m_dispatch(dispatch) {}
  DISPID Id(const wchar_t* name) const;
  HRESULT Get(DISPID id, std::vector<VARIANT> args, VARIANT* result) const;
  HRESULT Put(DISPID id, std::vector<VARIANT> args, const VARIANT& value) const;
  HRESULT Call(DISPID id, std::vector<VARIANT> args, VARIANT* result = nullptr) const;

 private:
  HRESULT Run(DISPID id, WORD flags, std::vector<VARIANT> args, bool put, VARIANT* result) const;
  IDispatch* m_dispatch;
};

// A unique scratch folder and registry key for one test, removed after it.
class ControlTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  ControlObject* NewObject() { return ControlObject::Create(m_registryKey.c_str()); }
  std::wstring Path(const std::wstring& name) const { return m_dir + L"\\" + name; }
  std::wstring WriteBytes(const std::wstring& name, const std::vector<std::uint8_t>& bytes) const;
  std::string ReadText(const std::wstring& name) const;
  // A 24-bit overlay picture and an 8-bit grey mask written as BMP files.
  std::wstring ImageFile(const std::wstring& name, std::int32_t width, std::int32_t height) const;
  std::wstring MaskFile(const std::wstring& name, std::int32_t width, std::int32_t height) const;

  std::wstring m_dir;
  std::string m_registryKey;
};

// Every setting an application can see, read through IKMVVOvLy, plus the
// derived state a load must rebuild (opacity levels, region handles).
struct SettingsView {
  LONG order[4], region[4], left[4], top[4], right[4], bottom[4], roundWidth[4], roundHeight[4];
  LONG x[4], y[4], opacity[4];
  VARIANT_BOOL enableOpacity[4], enableTransparency[4], enableMask[4], maskLoaded[4];
  OLE_COLOR transparent[4];
  std::wstring mask[4];
  OLE_COLOR background;
  std::wstring image;
  VARIANT_BOOL imageLoaded;
  LONG sizeType, width, height;
  int opacityLevel[4];  // by position
  bool hasRegion[4];    // by position
  bool operator==(const SettingsView& o) const;
};
SettingsView Capture(ControlObject* object);
void PrintTo(const SettingsView& view, std::ostream* os);

// Sets every setting to a value unlike its default, with a real overlay
// image (64 x 48) and a real mask on the video 2 layer, and moves the layers
// to the order image, video 2, background, video 1.
void SetDistinctSettings(IKMVVOvLy* overlay, const std::wstring& image, const std::wstring& mask);

}  // namespace ovl::testing

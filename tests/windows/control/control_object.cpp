#include "tests/windows/control/control_object.h"

#include <algorithm>
#include <ostream>

#include "engine/composite_size.h"
#include "engine/gdi/picture_install.h"
#include "server/class_ids.h"
#include "tests/windows/engine/bmp_files.h"

namespace ovl::testing {

// ------------------------------------------------------------ the object

ControlObject* ControlObject::Create(const char* registryKey) { return new ControlObject(registryKey); }

ControlObject::ControlObject(const char* registryKey)
    : COverlayFilterControl(*this, *this, registryKey),
      CPersistStream(static_cast<IKMVVOvLy*>(this), nullptr),
      m_host(*this, &m_lock) {
  InitializeCriticalSection(&m_lock);
}

ControlObject::~ControlObject() {
  gdi::ReleaseAll(m_settings);
  if (m_brush != nullptr) DeleteObject(m_brush);
  DeleteCriticalSection(&m_lock);
}

HRESULT ControlObject::QueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  IUnknown* found = nullptr;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IKMVVOvLy) ||
      IsEqualIID(riid, IID_IKMVVOvLyOld2) || IsEqualIID(riid, IID_IKMVVOvLy1)) {
    found = static_cast<IKMVVOvLy*>(this);
  } else if (IsEqualIID(riid, IID_IKMMCommon) || IsEqualIID(riid, IID_IKMMCommon1)) {
    found = static_cast<IKMMCommon*>(this);
  } else if (IsEqualIID(riid, IID_IKMAVBase)) {
    found = static_cast<IKMAVBase*>(this);
  } else if (IsEqualIID(riid, IID_IPersistStream) || IsEqualIID(riid, IID_IPersist)) {
    found = static_cast<IPersistStream*>(this);
  }
  *ppv = found;
  if (found == nullptr) return E_NOINTERFACE;
  found->AddRef();
  return S_OK;
}

ULONG ControlObject::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_ref)); }

ULONG ControlObject::Release() {
  const LONG n = InterlockedDecrement(&m_ref);
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}

HRESULT ControlObject::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = server::kClsidOverlayFilter;
  return S_OK;
}

HRESULT ControlObject::put_OverlayImageDIBPointer64(INT64 handle) {
  lastOverlayHandle = handle;
  return COverlayFilterControl::put_OverlayImageDIBPointer64(handle);
}

HRESULT ControlObject::put_MaskImageDIBPointer64(::LayerTypeConstants layer, INT64 handle) {
  lastMaskHandle = handle;
  return COverlayFilterControl::put_MaskImageDIBPointer64(layer, handle);
}

bool ControlObject::VideoSourceHeader(int input, BITMAPINFOHEADER* header) {
  if (input < 0 || input > 1 || !hasVideoHeader[input]) return false;
  *header = videoHeaders[input];
  return true;
}

HResult ControlObject::Host::BackgroundColorChanged(std::uint32_t colorref) {
  HBRUSH brush = CreateSolidBrush(colorref);
  if (brush == nullptr) return kOutOfMemory;
  if (m_object.m_brush != nullptr) DeleteObject(m_object.m_brush);
  m_object.m_brush = brush;
  return kOk;
}

void ControlObject::Host::OutputSizeSettingsChanged() {
  ++m_object.sizeRecomputes;
  RecomputeCompositeSize(m_object.m_settings, InputFrame{}, InputFrame{});
}

// ------------------------------------------------------------ VARIANTs and scripts

void Var::I4(VARIANT* out, LONG value) {
  VariantInit(out);
  out->vt = VT_I4;
  out->lVal = value;
}

void Var::Bool(VARIANT* out, bool value) {
  VariantInit(out);
  out->vt = VT_BOOL;
  out->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void Var::Str(VARIANT* out, const std::wstring& text) {
  VariantInit(out);
  out->vt = VT_BSTR;
  out->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

void Var::I8(VARIANT* out, LONGLONG value) {
  VariantInit(out);
  out->vt = VT_I8;
  out->llVal = value;
}

LONG Var::AsLong() const {
  if (v.vt == VT_BOOL) return v.boolVal;
  VARIANT converted;
  VariantInit(&converted);
  if (FAILED(VariantChangeType(&converted, const_cast<VARIANT*>(&v), 0, VT_I4))) return 0x7EADBEEF;
  return converted.lVal;
}

std::wstring Var::AsString() const {
  if (v.vt != VT_BSTR) return L"<not a string>";
  return std::wstring(v.bstrVal, SysStringLen(v.bstrVal));
}

DISPID Script::Id(const wchar_t* name) const {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  const HRESULT hr = m_dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  EXPECT_EQ(S_OK, hr) << "GetIDsOfNames " << std::string(name, name + wcslen(name));
  return id;
}

HRESULT Script::Run(DISPID id, WORD flags, std::vector<VARIANT> args, bool put, VARIANT* result) const {
  // DISPPARAMS hold the arguments last to first; a put's value comes first.
  std::reverse(args.begin(), args.end());
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{};
  params.rgvarg = args.empty() ? nullptr : args.data();
  params.cArgs = static_cast<UINT>(args.size());
  params.rgdispidNamedArgs = put ? &named : nullptr;
  params.cNamedArgs = put ? 1 : 0;
  EXCEPINFO exception{};
  UINT argError = 0;
  HRESULT hr = m_dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception, &argError);
  if (hr == DISP_E_EXCEPTION) {
    if (exception.pfnDeferredFillIn != nullptr) exception.pfnDeferredFillIn(&exception);
    hr = exception.scode;
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
  }
  for (VARIANT& arg : args) VariantClear(&arg);
  return hr;
}

HRESULT Script::Get(DISPID id, std::vector<VARIANT> args, VARIANT* result) const {
  return Run(id, DISPATCH_PROPERTYGET, std::move(args), false, result);
}

HRESULT Script::Put(DISPID id, std::vector<VARIANT> args, const VARIANT& value) const {
  args.push_back(value);
  return Run(id, DISPATCH_PROPERTYPUT, std::move(args), true, nullptr);
}

HRESULT Script::Call(DISPID id, std::vector<VARIANT> args, VARIANT* result) const {
  return Run(id, DISPATCH_METHOD, std::move(args), false, result);
}

// ------------------------------------------------------------ fixture

void ControlTest::SetUp() {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  wchar_t temp[MAX_PATH];
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  m_dir = std::wstring(temp) + L"ovl_control_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
          std::wstring(name.begin(), name.end());
  CreateDirectoryW(m_dir.c_str(), nullptr);
  m_registryKey = "Software\\TernTests\\Control\\" + name;
  RegDeleteTreeA(HKEY_CURRENT_USER, m_registryKey.c_str());
}

void ControlTest::TearDown() {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((m_dir + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW(Path(found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(m_dir.c_str());
  RegDeleteTreeA(HKEY_CURRENT_USER, m_registryKey.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\TernTests\\Control");
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\TernTests");
  CoUninitialize();
}

std::wstring ControlTest::WriteBytes(const std::wstring& name, const std::vector<std::uint8_t>& bytes) const {
  const std::wstring path = Path(name);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return path;
}

std::string ControlTest::ReadText(const std::wstring& name) const {
  std::string text;
  HANDLE file = CreateFileW(Path(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return text;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got != 0) text.append(chunk, got);
  CloseHandle(file);
  return text;
}

std::wstring ControlTest::ImageFile(const std::wstring& name, std::int32_t width, std::int32_t height) const {
  BmpSpec spec;
  spec.width = width;
  spec.height = height;
  spec.bitCount = 24;
  spec.pixel = [](std::int32_t x, std::int32_t y) { return static_cast<std::uint32_t>(x * 0x030201 + y * 0x010305); };
  return WriteBytes(name, MakeBmp(spec));
}

std::wstring ControlTest::MaskFile(const std::wstring& name, std::int32_t width, std::int32_t height) const {
  BmpSpec spec;
  spec.width = width;
  spec.height = height;
  spec.bitCount = 8;
  spec.palette = GreyRamp();
  spec.pixel = [](std::int32_t x, std::int32_t y) { return static_cast<std::uint32_t>((x * 9 + y * 5) & 0xFF); };
  return WriteBytes(name, MakeBmp(spec));
}

// ------------------------------------------------------------ settings views

namespace {

::LayerTypeConstants Layer(int type) { return static_cast<::LayerTypeConstants>(type); }

std::wstring TakeBstr(BSTR text) {
  std::wstring out = text != nullptr ? std::wstring(text, SysStringLen(text)) : L"<null>";
  SysFreeString(text);
  return out;
}

}  // namespace

SettingsView Capture(ControlObject* object) {
  IKMVVOvLy* o = object->Overlay();
  SettingsView v{};
  for (int t = 0; t < 4; ++t) {
    const ::LayerTypeConstants layer = Layer(t);
    ::RegionConstants region = ::REGION_NONE;
    EXPECT_EQ(S_OK, o->get_LayerOrder(layer, &v.order[t]));
    EXPECT_EQ(S_OK, o->get_Region(layer, &region));
    v.region[t] = region;
    EXPECT_EQ(S_OK, o->get_RgnLeft(layer, &v.left[t]));
    EXPECT_EQ(S_OK, o->get_RgnTop(layer, &v.top[t]));
    EXPECT_EQ(S_OK, o->get_RgnRight(layer, &v.right[t]));
    EXPECT_EQ(S_OK, o->get_RgnBottom(layer, &v.bottom[t]));
    EXPECT_EQ(S_OK, o->get_RgnRoundRectEllipseWidth(layer, &v.roundWidth[t]));
    EXPECT_EQ(S_OK, o->get_RgnRoundRectEllipseHeight(layer, &v.roundHeight[t]));
    EXPECT_EQ(S_OK, o->get_XPos(layer, &v.x[t]));
    EXPECT_EQ(S_OK, o->get_YPos(layer, &v.y[t]));
    EXPECT_EQ(S_OK, o->get_Opacity(layer, &v.opacity[t]));
    EXPECT_EQ(S_OK, o->get_EnableOpacity(layer, &v.enableOpacity[t]));
    EXPECT_EQ(S_OK, o->get_EnableTransparency(layer, &v.enableTransparency[t]));
    EXPECT_EQ(S_OK, o->get_EnableMaskBitmap(layer, &v.enableMask[t]));
    EXPECT_EQ(S_OK, o->get_IsMaskImageLoaded(layer, &v.maskLoaded[t]));
    EXPECT_EQ(S_OK, o->get_TransparentColor(layer, &v.transparent[t]));
    BSTR mask = nullptr;
    EXPECT_EQ(S_OK, o->get_MaskImageFileName(layer, &mask));
    v.mask[t] = TakeBstr(mask);
    v.opacityLevel[t] = object->Settings().Layers[t].OpacityLevel;
    v.hasRegion[t] = object->Settings().Layers[t].HasRegion();
  }
  EXPECT_EQ(S_OK, o->get_BkLayerColor(&v.background));
  BSTR image = nullptr;
  EXPECT_EQ(S_OK, o->get_OverlayImageFileName(&image));
  v.image = TakeBstr(image);
  EXPECT_EQ(S_OK, o->get_IsOverlayImageLoaded(&v.imageLoaded));
  ::OutputSizeTypeConstants sizeType = ::OUTPUTSIZETYPE_AUTO;
  EXPECT_EQ(S_OK, o->get_OutputSizeType(&sizeType));
  v.sizeType = sizeType;
  EXPECT_EQ(S_OK, o->get_OutputWidth(&v.width));
  EXPECT_EQ(S_OK, o->get_OutputHeight(&v.height));
  return v;
}

bool SettingsView::operator==(const SettingsView& o) const {
  for (int i = 0; i < 4; ++i) {
    if (order[i] != o.order[i] || region[i] != o.region[i] || left[i] != o.left[i] || top[i] != o.top[i] ||
        right[i] != o.right[i] || bottom[i] != o.bottom[i] || roundWidth[i] != o.roundWidth[i] ||
        roundHeight[i] != o.roundHeight[i] || x[i] != o.x[i] || y[i] != o.y[i] || opacity[i] != o.opacity[i] ||
        enableOpacity[i] != o.enableOpacity[i] || enableTransparency[i] != o.enableTransparency[i] ||
        enableMask[i] != o.enableMask[i] || maskLoaded[i] != o.maskLoaded[i] ||
        transparent[i] != o.transparent[i] || mask[i] != o.mask[i] || opacityLevel[i] != o.opacityLevel[i] ||
        hasRegion[i] != o.hasRegion[i])
      return false;
  }
  return background == o.background && image == o.image && imageLoaded == o.imageLoaded &&
         sizeType == o.sizeType && width == o.width && height == o.height;
}

void PrintTo(const SettingsView& v, std::ostream* os) {
  for (int t = 0; t < 4; ++t) {
    *os << "\n type " << t << ": order " << v.order[t] << " region " << v.region[t] << " (" << v.left[t] << ","
        << v.top[t] << "," << v.right[t] << "," << v.bottom[t] << " r " << v.roundWidth[t] << "x"
        << v.roundHeight[t] << ") at " << v.x[t] << "," << v.y[t] << " opacity " << v.opacity[t] << "/"
        << v.enableOpacity[t] << " transparency " << v.enableTransparency[t] << "/" << v.transparent[t]
        << " mask " << v.enableMask[t] << "/" << v.maskLoaded[t] << " '" << std::string(v.mask[t].begin(), v.mask[t].end())
        << "' level@" << t << " " << v.opacityLevel[t] << " rgn@" << t << " " << v.hasRegion[t];
  }
  *os << "\n background " << v.background << " image '" << std::string(v.image.begin(), v.image.end()) << "' loaded "
      << v.imageLoaded << " size " << v.sizeType << " " << v.width << "x" << v.height;
}

void SetDistinctSettings(IKMVVOvLy* o, const std::wstring& image, const std::wstring& mask) {
  BSTR name = SysAllocString(image.c_str());
  EXPECT_EQ(S_OK, o->put_OverlayImageFileName(name));
  SysFreeString(name);
  for (int t = 0; t < 4; ++t) {
    const ::LayerTypeConstants layer = Layer(t);
    const bool picture = t == ::LAYERTYPE_OVERLAYIMAGE;
    // The image layer's rectangle follows its 64 x 48 picture on every load.
    EXPECT_EQ(S_OK, o->put_RgnLeft(layer, 3 + t));
    EXPECT_EQ(S_OK, o->put_RgnTop(layer, 4 + t));
    EXPECT_EQ(S_OK, o->put_RgnRight(layer, picture ? 64 : 300 + t));
    EXPECT_EQ(S_OK, o->put_RgnBottom(layer, picture ? 48 : 200 + t));
    EXPECT_EQ(S_OK, o->put_RgnRoundRectEllipseWidth(layer, 11 + t));
    EXPECT_EQ(S_OK, o->put_RgnRoundRectEllipseHeight(layer, 12 + t));
    EXPECT_EQ(S_OK, o->put_XPos(layer, 5 * t + 1));
    EXPECT_EQ(S_OK, o->put_YPos(layer, 3 * t + 2));
    EXPECT_EQ(S_OK, o->put_Region(layer, static_cast<::RegionConstants>((t + 1) % 4)));
    EXPECT_EQ(S_OK, o->put_EnableOpacity(layer, t % 2 ? VARIANT_TRUE : VARIANT_FALSE));
    EXPECT_EQ(S_OK, o->put_Opacity(layer, t == 1 ? 150 : 10 * t + 5));
    EXPECT_EQ(S_OK, o->put_EnableTransparency(layer, t % 2 ? VARIANT_FALSE : VARIANT_TRUE));
    EXPECT_EQ(S_OK, o->put_TransparentColor(layer, 0x00102030 + t));
    EXPECT_EQ(S_OK, o->put_EnableMaskBitmap(layer, t == 2 ? VARIANT_TRUE : VARIANT_FALSE));
  }
  name = SysAllocString(mask.c_str());
  EXPECT_EQ(S_OK, o->put_MaskImageFileName(::LAYERTYPE_VIDEO2, name));
  SysFreeString(name);
  EXPECT_EQ(S_OK, o->put_BkLayerColor(0x00336699));
  EXPECT_EQ(S_OK, o->put_OutputSizeType(::OUTPUTSIZETYPE_CUSTOM));
  EXPECT_EQ(S_OK, o->put_OutputWidth(800));
  EXPECT_EQ(S_OK, o->put_OutputHeight(600));
  EXPECT_EQ(S_OK, o->put_LayerOrder(::LAYERTYPE_OVERLAYIMAGE, 0));
  EXPECT_EQ(S_OK, o->put_LayerOrder(::LAYERTYPE_VIDEO2, 1));
  EXPECT_EQ(S_OK, o->put_LayerOrder(::LAYERTYPE_BACKGROUND, 2));
}

}  // namespace ovl::testing

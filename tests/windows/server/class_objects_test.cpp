// The module's class objects as hosts use them: DllGetClassObject, the
// factories (creation, aggregation, server locks) and the pages' property
// frame protocol. After every test the module must be free to unload.
#include <gtest/gtest.h>

#include <ocidl.h>
#include <strmif.h>

#include "tests/windows/support/com_apartment.h"
#include "tests/windows/server/server_test_support.h"
#include "persistence/core/com_ptr.h"

namespace ovl::testing {
namespace {

using namespace ovl::identity;

// Counts its references and queries; hands other interfaces to `inner`.
// Also serves as the site and the edited object of a page.
class Outer : public IPropertyPageSite {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    ++queries;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyPageSite)) {
      *ppv = static_cast<IPropertyPageSite*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return inner ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetLocaleID(LCID* locale) override { return *locale = 0, S_OK; }
  HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown** container) override { return *container = nullptr, E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }
  virtual ~Outer() = default;
  ULONG refs = 1;
  int queries = 0;
  ovl::ComPtr<IUnknown> inner;
};

class ClassObjects : public ::testing::Test {
 protected:
  // The first member: COM is left after everything else the test holds.
  const ovl::testing::ComApartment com_;
  void SetUp() override {
    ASSERT_TRUE(com_.Joined());
    ASSERT_TRUE(m_module.Loaded());
  }
  void TearDown() override {
    EXPECT_EQ(S_OK, m_module.CanUnloadNow()) << "objects or server locks left behind";
  }
  ovl::ComPtr<IClassFactory> Factory(REFCLSID clsid) {
    ovl::ComPtr<IClassFactory> factory;
    EXPECT_EQ(S_OK, m_module.GetClassObject(clsid, IID_IClassFactory, factory.PutVoid()));
    return factory;
  }
  template <class T>
  ovl::ComPtr<T> Create(REFCLSID clsid, REFIID iid) {
    ovl::ComPtr<T> object;
    if (ovl::ComPtr<IClassFactory> factory = Factory(clsid)) {
      EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, iid, object.PutVoid()));
    }
    return object;
  }
  LoadedModule m_module{ModuleFile()};
};

TEST_F(ClassObjects, ClassObjectsAreFactoriesOfTheThreeClassesOnly) {
  for (const GUID* clsid : {&kClsidOverlayFilter, &kClsidPropertyPage, &kClsidAboutPage}) {
    ovl::ComPtr<IUnknown> unknown;
    EXPECT_EQ(S_OK, m_module.GetClassObject(*clsid, IID_IUnknown, unknown.PutVoid()));
    EXPECT_TRUE(unknown.As<IClassFactory>(IID_IClassFactory));
    EXPECT_EQ(S_FALSE, m_module.CanUnloadNow()) << "a factory is a live object";
  }
  EXPECT_EQ(S_OK, m_module.CanUnloadNow());

  const CLSID unknownClass = {0x0b7d51a2, 0x8c1e, 0x4f55, {0x9e, 0x02, 0x4d, 0x1c, 0x6a, 0x37, 0x90, 0x5e}};
  const struct {
    const CLSID* clsid;
    const IID* iid;
    HRESULT expected;
  } refusals[] = {{&kClsidAboutPage, &IID_IPropertyPage, E_NOINTERFACE},
                  {&unknownClass, &IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
                  {&unknownClass, &IID_IPersist, E_NOINTERFACE}};  // the interface is looked at first
  for (const auto& r : refusals) {
    void* object = &object;
    EXPECT_EQ(r.expected, m_module.GetClassObject(*r.clsid, *r.iid, &object));
    EXPECT_EQ(nullptr, object);
  }
  EXPECT_EQ(E_POINTER, m_module.GetClassObject(kClsidOverlayFilter, IID_IClassFactory, nullptr));
}

TEST_F(ClassObjects, ServerLocksKeepTheModuleUntilReleased) {
  EXPECT_EQ(S_OK, Factory(kClsidAboutPage)->LockServer(TRUE));
  EXPECT_EQ(S_OK, Factory(kClsidOverlayFilter)->LockServer(TRUE));
  EXPECT_EQ(S_FALSE, m_module.CanUnloadNow());
  // The locks are the module's, not a factory's.
  EXPECT_EQ(S_OK, Factory(kClsidPropertyPage)->LockServer(FALSE));
  EXPECT_EQ(S_FALSE, m_module.CanUnloadNow());
  EXPECT_EQ(S_OK, Factory(kClsidPropertyPage)->LockServer(FALSE));
}

TEST_F(ClassObjects, TheFilterNamesThePagesTheModuleCreates) {
  ovl::ComPtr<IBaseFilter> filter = Create<IBaseFilter>(kClsidOverlayFilter, IID_IBaseFilter);
  ASSERT_TRUE(filter);
  CLSID clsid{};
  EXPECT_EQ(S_OK, filter->GetClassID(&clsid));
  EXPECT_TRUE(IsEqualCLSID(kClsidOverlayFilter, clsid));
  EXPECT_EQ(S_FALSE, m_module.CanUnloadNow());

  CAUUID pages{};
  ASSERT_EQ(S_OK, filter.As<ISpecifyPropertyPages>(IID_ISpecifyPropertyPages)->GetPages(&pages));
  ASSERT_EQ(2u, pages.cElems);
  EXPECT_TRUE(IsEqualCLSID(kClsidPropertyPage, pages.pElems[0]));
  EXPECT_TRUE(IsEqualCLSID(kClsidAboutPage, pages.pElems[1]));
  const wchar_t* titles[] = {L"OverLay Settings", L"About"};
  for (ULONG i = 0; i < 2; ++i) {
    ovl::ComPtr<IPropertyPage> page = Create<IPropertyPage>(pages.pElems[i], IID_IPropertyPage);
    ASSERT_TRUE(page);
    PROPPAGEINFO info{};
    ASSERT_EQ(S_OK, page->GetPageInfo(&info));
    EXPECT_STREQ(titles[i], info.pszTitle);
    EXPECT_TRUE(info.size.cx > 0 && info.size.cy > 0);
    CoTaskMemFree(info.pszTitle);
    void* object = &object;  // a page is no filter: the refused object is destroyed
    EXPECT_EQ(E_NOINTERFACE, Factory(pages.pElems[i])->CreateInstance(nullptr, IID_IBaseFilter, &object));
    EXPECT_EQ(nullptr, object);
  }
  CoTaskMemFree(pages.pElems);
}

TEST_F(ClassObjects, AggregationGoesThroughIUnknownOnly) {
  // Any other interface is refused before an object exists.
  Outer refused;
  void* object = &object;
  EXPECT_EQ(E_NOINTERFACE, Factory(kClsidOverlayFilter)->CreateInstance(&refused, IID_IBaseFilter, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(1u, refused.refs);
  EXPECT_EQ(0, refused.queries);
  EXPECT_EQ(S_OK, m_module.CanUnloadNow());

  Outer outer;
  ASSERT_EQ(S_OK, Factory(kClsidOverlayFilter)->CreateInstance(&outer, IID_IUnknown, outer.inner.PutVoid()));
  EXPECT_EQ(1u, outer.refs) << "the inner object holds no reference on its outer";
  ovl::ComPtr<IBaseFilter> filter;
  ASSERT_EQ(S_OK, outer.QueryInterface(IID_IBaseFilter, filter.PutVoid()));
  EXPECT_EQ(2u, outer.refs) << "the inner interface counts on the outer object";
  ovl::ComPtr<IUnknown> identity;
  ASSERT_EQ(S_OK, filter->QueryInterface(IID_IUnknown, identity.PutVoid()));
  EXPECT_EQ(static_cast<IUnknown*>(&outer), identity.Get());
  identity.Reset();
  filter.Reset();
  EXPECT_EQ(1u, outer.refs);
  outer.inner.Reset();
}

TEST_F(ClassObjects, PagesFollowThePropertyFrameProtocol) {
  // The About page takes any object; the settings page only a filter.
  ovl::ComPtr<IPropertyPage> page = Create<IPropertyPage>(kClsidAboutPage, IID_IPropertyPage);
  ASSERT_TRUE(page);
  // One site at a time, held while set; the edited objects likewise.
  Outer site, second, edited;
  EXPECT_EQ(S_OK, page->SetPageSite(&site));
  EXPECT_EQ(E_UNEXPECTED, page->SetPageSite(&second));
  EXPECT_EQ(2u, site.refs);
  EXPECT_EQ(1u, second.refs);
  IUnknown* objects[] = {static_cast<IPropertyPageSite*>(&edited)};
  EXPECT_EQ(E_POINTER, page->SetObjects(1, nullptr));
  EXPECT_EQ(S_OK, page->SetObjects(1, objects));
  EXPECT_EQ(2u, edited.refs);
  EXPECT_EQ(S_OK, page->SetObjects(0, nullptr));
  EXPECT_EQ(1u, edited.refs);
  EXPECT_EQ(S_FALSE, page->IsPageDirty());
  EXPECT_EQ(S_OK, page->Apply());

  // No page window before Activate.
  RECT rect = {10, 20, 310, 220};
  EXPECT_EQ(E_UNEXPECTED, page->Show(SW_SHOW));
  EXPECT_EQ(E_UNEXPECTED, page->Move(&rect));
  EXPECT_EQ(E_UNEXPECTED, page->Deactivate());
  HWND frame = CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480, nullptr,
                               nullptr, nullptr, nullptr);
  if (frame != nullptr) {  // Wine without an X display creates no windows
    ASSERT_EQ(S_OK, page->Activate(frame, &rect, TRUE));
    EXPECT_EQ(E_UNEXPECTED, page->Activate(frame, &rect, TRUE));
    HWND window = GetWindow(frame, GW_CHILD);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(S_OK, page->Show(SW_SHOW));
    EXPECT_TRUE(IsWindowVisible(window));
    RECT moved = {0, 0, 120, 80}, client{};
    EXPECT_EQ(S_OK, page->Move(&moved));
    GetClientRect(window, &client);
    EXPECT_EQ(120, client.right);
    EXPECT_EQ(S_OK, page->Deactivate());
    EXPECT_FALSE(IsWindow(window));
    DestroyWindow(frame);
  }
  EXPECT_EQ(S_OK, page->SetPageSite(nullptr));
  EXPECT_EQ(1u, site.refs);
}

}  // namespace
}  // namespace ovl::testing

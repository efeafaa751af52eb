// The class factory and CUnknown's COM identity: creation, aggregation
// through IID_IUnknown only, failures that destroy the half-made object, and
// the server lock.
#include <gtest/gtest.h>

#include "streaming/base/base_classes.h"
#include "tests/windows/streaming/live_objects.h"
#include "tests/windows/support/com_ref.h"

namespace ovl::testing {
namespace {

const CLSID kTestClass = {0x5d1c2e60, 0x4b7a, 0x4f0e, {0x9a, 0x31, 0x6e, 0x0b, 0x2c, 0x41, 0x77, 0x10}};

// An object with one interface of its own (IPersist).
class CPersistObject : public CUnknown, public IPersist {
 public:
  CPersistObject(LPUNKNOWN outer, HRESULT* phr) : CUnknown(TEXT("Test object"), outer) {
    if (phr != nullptr) *phr = constructorResult;
  }
  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IPersist)) return GetInterface(static_cast<IPersist*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
  }
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
    *clsid = kTestClass;
    return S_OK;
  }

  static HRESULT constructorResult;
  static bool returnNothing;
  static HRESULT nothingResult;

  static CUnknown* CALLBACK Create(LPUNKNOWN outer, HRESULT* phr) {
    if (returnNothing) {
      *phr = nothingResult;
      return nullptr;
    }
    return new CPersistObject(outer, phr);
  }
};
HRESULT CPersistObject::constructorResult = S_OK;
bool CPersistObject::returnNothing = false;
HRESULT CPersistObject::nothingResult = S_OK;

const CFactoryTemplate kEntry = {L"Test object", &kTestClass, CPersistObject::Create, nullptr, nullptr};

// A hand-written outer object: counts its own references and hands every
// other interface to the inner object it aggregates.
class Outer : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown)) {
      *ppv = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    return inner ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  virtual ~Outer() = default;
  ULONG refs = 1;
  ComRef<IUnknown> inner;
};

class ClassFactoryTest : public LiveObjectsTest {
 protected:
  void SetUp() override {
    LiveObjectsTest::SetUp();
    CPersistObject::constructorResult = S_OK;
    CPersistObject::returnNothing = false;
    CPersistObject::nothingResult = S_OK;
    auto* factory = new CClassFactory(&kEntry);
    ASSERT_EQ(S_OK, factory->QueryInterface(IID_IClassFactory, m_factory.PutVoid()));
  }
  void TearDown() override {
    m_factory.Reset();
    LiveObjectsTest::TearDown();
  }
  ComRef<IClassFactory> m_factory;
};

TEST_F(ClassFactoryTest, CreatesTheObjectThroughTheRequestedInterface) {
  EXPECT_EQ(1, CBaseObject::ObjectsActive()) << "the factory counts as a live object";
  void* other = nullptr;
  EXPECT_EQ(E_NOINTERFACE, m_factory->QueryInterface(IID_IPersist, &other));
  EXPECT_EQ(E_POINTER, m_factory->CreateInstance(nullptr, IID_IPersist, nullptr));
  ComRef<IPersist> persist;
  ASSERT_EQ(S_OK, m_factory->CreateInstance(nullptr, IID_IPersist, persist.PutVoid()));
  CLSID clsid = {};
  EXPECT_EQ(S_OK, persist->GetClassID(&clsid));
  EXPECT_TRUE(IsEqualCLSID(kTestClass, clsid));
  EXPECT_EQ(2, CBaseObject::ObjectsActive());
  EXPECT_FALSE(ovl::server::CanUnload());

  // One COM identity: IUnknown from any interface is the same pointer.
  ComRef<IUnknown> a;
  ComRef<IUnknown> b;
  ASSERT_EQ(S_OK, persist->QueryInterface(IID_IUnknown, a.PutVoid()));
  ASSERT_EQ(S_OK, a->QueryInterface(IID_IUnknown, b.PutVoid()));
  EXPECT_EQ(a.Get(), b.Get());
  persist.Reset();
  a.Reset();
  b.Reset();
  EXPECT_EQ(1, CBaseObject::ObjectsActive());
}

TEST_F(ClassFactoryTest, AggregatesOnlyThroughIUnknown) {
  Outer outer;
  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, m_factory->CreateInstance(&outer, IID_IPersist, &p));
  EXPECT_EQ(nullptr, p);
  EXPECT_EQ(1, CBaseObject::ObjectsActive()) << "nothing was created";

  ASSERT_EQ(S_OK, m_factory->CreateInstance(&outer, IID_IUnknown, outer.inner.PutVoid()));
  EXPECT_EQ(1u, outer.refs) << "the inner object holds no reference on its outer";
  {
    // The inner interface counts on, and answers for, the outer object.
    ComRef<IPersist> persist;
    ASSERT_EQ(S_OK, outer.QueryInterface(IID_IPersist, persist.PutVoid()));
    EXPECT_EQ(2u, outer.refs);
    ComRef<IUnknown> identity;
    ASSERT_EQ(S_OK, persist->QueryInterface(IID_IUnknown, identity.PutVoid()));
    EXPECT_EQ(static_cast<IUnknown*>(&outer), identity.Get());
  }
  EXPECT_EQ(1u, outer.refs);
  EXPECT_EQ(2, CBaseObject::ObjectsActive());
  outer.inner.Reset();  // the outer releases the inner's own count
  EXPECT_EQ(1, CBaseObject::ObjectsActive());
}

TEST_F(ClassFactoryTest, FailedCreationLeavesNothingBehind) {
  void* p = reinterpret_cast<void*>(1);
  CPersistObject::constructorResult = E_ACCESSDENIED;
  EXPECT_EQ(E_ACCESSDENIED, m_factory->CreateInstance(nullptr, IID_IPersist, &p));
  EXPECT_EQ(nullptr, p);
  CPersistObject::constructorResult = S_OK;

  // A refused interface destroys the object the factory made.
  EXPECT_EQ(E_NOINTERFACE, m_factory->CreateInstance(nullptr, IID_IStream, &p));
  EXPECT_EQ(nullptr, p);

  CPersistObject::returnNothing = true;
  EXPECT_EQ(E_OUTOFMEMORY, m_factory->CreateInstance(nullptr, IID_IPersist, &p));
  CPersistObject::nothingResult = E_FAIL;
  EXPECT_EQ(E_FAIL, m_factory->CreateInstance(nullptr, IID_IPersist, &p));
  EXPECT_EQ(1, CBaseObject::ObjectsActive());
}

TEST_F(ClassFactoryTest, ServerLocksKeepTheModuleLoaded) {
  m_factory->AddRef();
  IClassFactory* factory = m_factory.Get();
  m_factory.Reset();
  EXPECT_EQ(S_OK, factory->LockServer(TRUE));
  EXPECT_EQ(S_OK, factory->LockServer(TRUE));
  EXPECT_EQ(0u, factory->Release());
  EXPECT_EQ(0, CBaseObject::ObjectsActive());
  EXPECT_FALSE(ovl::server::CanUnload()) << "two locks";

  auto* another = new CClassFactory(&kEntry);
  another->AddRef();
  EXPECT_EQ(S_OK, another->LockServer(FALSE));
  another->Release();
  EXPECT_FALSE(ovl::server::CanUnload()) << "one lock left";
  another = new CClassFactory(&kEntry);
  another->AddRef();
  EXPECT_EQ(S_OK, another->LockServer(FALSE));
  another->Release();
  EXPECT_TRUE(ovl::server::CanUnload());
}

}  // namespace
}  // namespace ovl::testing

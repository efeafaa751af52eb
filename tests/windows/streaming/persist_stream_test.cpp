// IPersistStream of the base layer, through memory streams: the 24-byte
// version header on save, its parsing on load, the dirty mark and failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "streaming/base/base_classes.h"
#include "tests/windows/streaming/live_objects.h"
#include "tests/windows/support/com_ref.h"

namespace ovl::testing {
namespace {

// Saves its version header followed by two payload bytes.
class CPersistedThing : public CUnknown, public CPersistStream {
 public:
  CPersistedThing() : CUnknown(TEXT("Persisted"), nullptr), CPersistStream(nullptr, nullptr) {}
  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IPersistStream)) return GetInterface(static_cast<IPersistStream*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
  }
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
    *clsid = CLSID_NULL;
    return S_OK;
  }
  DWORD GetSoftwareVersion() override { return version; }
  int SizeMax() override { return 2; }
  HRESULT WriteToStream(IStream* stream) override {
    if (FAILED(writeResult)) return writeResult;
    return stream->Write(payload, 2, nullptr);
  }
  HRESULT ReadFromStream(IStream* stream) override {
    ++reads;
    ULONG read = 0;
    return stream->Read(loaded, 2, &read);
  }

  DWORD version = 0;
  HRESULT writeResult = S_OK;
  BYTE payload[2] = {'A', 'B'};
  BYTE loaded[2] = {};
  int reads = 0;
};

ComRef<IStream> MemoryStream(const std::vector<BYTE>& bytes) {
  ComRef<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()))) return {};
  if (!bytes.empty()) stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
  LARGE_INTEGER zero = {};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  return stream;
}

std::vector<BYTE> Utf16(const std::wstring& text) {
  std::vector<BYTE> bytes;
  for (wchar_t c : text) {
    bytes.push_back(static_cast<BYTE>(c & 0xFF));
    bytes.push_back(static_cast<BYTE>((c >> 8) & 0xFF));
  }
  return bytes;
}

std::vector<BYTE> Contents(IStream* stream) {
  STATSTG stat = {};
  stream->Stat(&stat, STATFLAG_NONAME);
  std::vector<BYTE> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
  LARGE_INTEGER zero = {};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  ULONG read = 0;
  if (!bytes.empty()) stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
  return bytes;
}

// A stream that fails every read and write.
class BrokenStream : public IStream {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE Read(void*, ULONG, ULONG*) override { return STG_E_READFAULT; }
  HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return STG_E_WRITEFAULT; }
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }
  virtual ~BrokenStream() = default;
};

class PersistStreamTest : public LiveObjectsTest {
 protected:
  void SetUp() override {
    LiveObjectsTest::SetUp();
    m_thing = new CPersistedThing();
    m_thing->NonDelegatingAddRef();
  }
  void TearDown() override {
    m_thing->Release();
    LiveObjectsTest::TearDown();
  }
  CPersistedThing* m_thing = nullptr;
};

TEST_F(PersistStreamTest, SaveWritesTheVersionAsTwelveUtf16Characters) {
  const struct {
    DWORD version;
    std::wstring header;
  } cases[] = {{0, L"00000000000 "}, {7, L"00000000007 "}, {2000000000, L"02000000000 "},
               {static_cast<DWORD>(-5), L"-0000000005 "}};
  for (const auto& c : cases) {
    m_thing->version = c.version;
    auto stream = MemoryStream({});
    ASSERT_EQ(S_OK, m_thing->Save(stream.Get(), TRUE));
    std::vector<BYTE> expected = Utf16(c.header);
    expected.push_back('A');
    expected.push_back('B');
    EXPECT_EQ(expected, Contents(stream.Get())) << c.version;
  }
  ULARGE_INTEGER size = {};
  EXPECT_EQ(S_OK, m_thing->GetSizeMax(&size));
  EXPECT_EQ(26u, size.QuadPart);
}

TEST_F(PersistStreamTest, SaveSetsOrClearsTheDirtyMark) {
  EXPECT_EQ(S_FALSE, m_thing->IsDirty());
  auto stream = MemoryStream({});
  EXPECT_EQ(S_OK, m_thing->Save(stream.Get(), FALSE));
  EXPECT_EQ(S_OK, m_thing->IsDirty());
  EXPECT_EQ(S_OK, m_thing->Save(stream.Get(), TRUE));
  EXPECT_EQ(S_FALSE, m_thing->IsDirty());

  // Failures are returned and leave the mark alone.
  m_thing->SetDirty(TRUE);
  BrokenStream broken;
  EXPECT_EQ(STG_E_WRITEFAULT, m_thing->Save(&broken, TRUE));
  m_thing->writeResult = E_OUTOFMEMORY;
  EXPECT_EQ(E_OUTOFMEMORY, m_thing->Save(stream.Get(), TRUE));
  EXPECT_EQ(S_OK, m_thing->IsDirty());
  EXPECT_EQ(E_POINTER, m_thing->Save(nullptr, TRUE));
  EXPECT_EQ(E_POINTER, m_thing->GetSizeMax(nullptr));
}

TEST_F(PersistStreamTest, LoadReadsTheNumberUpToItsSeparator) {
  const struct {
    std::wstring header;
    DWORD version;
  } cases[] = {
      {L"00000000042 ", 42},         {L"-0000000012 ", static_cast<DWORD>(-12)},
      {L"7\t", 7},                   {L"7\n", 7},
      {L"7\r", 7},                   {std::wstring(L"13") + L'\0', 13},
      {L" ", 0},                     {L"-\t", 0},
  };
  for (const auto& c : cases) {
    std::vector<BYTE> bytes = Utf16(c.header);
    bytes.push_back('X');
    bytes.push_back('Y');
    auto stream = MemoryStream(bytes);
    const int readsBefore = m_thing->reads;
    ASSERT_EQ(S_OK, m_thing->Load(stream.Get())) << c.version;
    EXPECT_EQ(c.version, m_thing->GetFileVersion());
    EXPECT_EQ(readsBefore + 1, m_thing->reads);
    // The payload starts right after the separator.
    EXPECT_EQ('X', m_thing->loaded[0]);
    EXPECT_EQ('Y', m_thing->loaded[1]);
  }
}

TEST_F(PersistStreamTest, LoadRefusesAMalformedHeader) {
  for (const std::wstring& header : {std::wstring(L"12a "), std::wstring(L"--1 "), std::wstring(L"1-2 "),
                                     std::wstring(L"+1 "), std::wstring(L"123")}) {
    auto stream = MemoryStream(Utf16(header));
    EXPECT_EQ(VFW_E_INVALID_FILE_FORMAT, m_thing->Load(stream.Get()));
  }
  EXPECT_EQ(0, m_thing->reads) << "the derived data is not read after a bad header";

  BrokenStream broken;
  EXPECT_EQ(STG_E_READFAULT, m_thing->Load(&broken));
  EXPECT_EQ(E_POINTER, m_thing->Load(nullptr));
}

}  // namespace
}  // namespace ovl::testing

// IPersistStream of the base layer through memory streams: the 24-byte
// version header on save, its parsing on load, the dirty mark.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "streaming/base/base_classes.h"
#include "persistence/core/com_ptr.h"

namespace ovl::testing {
namespace {

// Saves its version header followed by "AB"; reads two bytes after it.
class Persisted : public CPersistStream {
 public:
  Persisted() : CPersistStream(nullptr, nullptr) {}
  virtual ~Persisted() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
  DWORD GetSoftwareVersion() override { return version; }
  int SizeMax() override { return 2; }
  HRESULT WriteToStream(IStream* stream) override {
    return FAILED(writeResult) ? writeResult : stream->Write("AB", 2, nullptr);
  }
  HRESULT ReadFromStream(IStream* stream) override {
    ++reads;
    return stream->Read(loaded, 2, nullptr);
  }

  DWORD version = 0;
  HRESULT writeResult = S_OK;
  char loaded[3] = {};
  int reads = 0;
};

ovl::ComPtr<IStream> MemoryStream(const std::string& bytes = "") {
  ovl::ComPtr<IStream> stream;
  EXPECT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()));
  stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
  LARGE_INTEGER zero = {};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  return stream;
}

std::string Contents(IStream* stream) {
  std::string bytes(64, '\0');
  ULONG read = 0;
  LARGE_INTEGER zero = {};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
  return bytes.substr(0, read);
}

std::string Utf16(const std::wstring& text) {
  std::string bytes;
  for (wchar_t c : text) bytes += {static_cast<char>(c), '\0'};
  return bytes;
}

TEST(PersistStream, SaveWritesTheVersionAsTwelveUtf16CharactersAndClearsTheDirtyMark) {
  const struct {
    DWORD version;
    const wchar_t* header;
  } cases[] = {{0, L"00000000000 "}, {7, L"00000000007 "}, {2000000000, L"02000000000 "},
               {static_cast<DWORD>(-5), L"-0000000005 "}};
  Persisted thing;
  for (const auto& c : cases) {
    thing.version = c.version;
    ASSERT_EQ(S_OK, thing.Save(MemoryStream().Get(), FALSE));
    EXPECT_EQ(S_OK, thing.IsDirty()) << "kept when asked";
    auto stream = MemoryStream();
    ASSERT_EQ(S_OK, thing.Save(stream.Get(), TRUE));
    EXPECT_EQ(S_FALSE, thing.IsDirty());
    EXPECT_EQ(Utf16(c.header) + "AB", Contents(stream.Get())) << c.version;
  }
  ULARGE_INTEGER size = {};
  EXPECT_EQ(S_OK, thing.GetSizeMax(&size));
  EXPECT_EQ(26u, size.QuadPart);
  // A failed save leaves the mark alone.
  thing.SetDirty(TRUE);
  thing.writeResult = E_OUTOFMEMORY;
  EXPECT_EQ(E_OUTOFMEMORY, thing.Save(MemoryStream().Get(), TRUE));
  EXPECT_EQ(S_OK, thing.IsDirty());
}

// The number runs to its separator (NUL, tab, line feed, carriage return or
// space); the derived data starts right after it and is not read after a
// malformed header.
TEST(PersistStream, LoadReadsTheNumberUpToItsSeparator) {
  const struct {
    std::wstring header;
    HRESULT result;
    DWORD version;
  } cases[] = {
      {L"00000000042 ", S_OK, 42},  {L"-0000000012 ", S_OK, static_cast<DWORD>(-12)},
      {L"7\t", S_OK, 7},            {L"7\n", S_OK, 7},
      {L"7\r", S_OK, 7},            {std::wstring(L"13") + L'\0', S_OK, 13},
      {L" ", S_OK, 0},              {L"-\t", S_OK, 0},
      {L"12a ", VFW_E_INVALID_FILE_FORMAT, 0}, {L"--1 ", VFW_E_INVALID_FILE_FORMAT, 0},
      {L"1-2 ", VFW_E_INVALID_FILE_FORMAT, 0}, {L"+1 ", VFW_E_INVALID_FILE_FORMAT, 0},
      {L"123", VFW_E_INVALID_FILE_FORMAT, 0},  // ends inside the header
  };
  for (const auto& c : cases) {
    Persisted thing;
    auto stream = MemoryStream(Utf16(c.header) + (c.result == S_OK ? "XY" : ""));
    EXPECT_EQ(c.result, thing.Load(stream.Get())) << c.version;
    EXPECT_EQ(c.version, thing.GetFileVersion());
    EXPECT_EQ(c.result == S_OK ? 1 : 0, thing.reads);
    EXPECT_STREQ(c.result == S_OK ? "XY" : "", thing.loaded);
  }
}

}  // namespace
}  // namespace ovl::testing

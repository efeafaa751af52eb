// Damaged saved settings: truncated and bit-flipped stream forms are loaded
// through IPersistStream and through LoadFromMemory. Every load returns an
// HRESULT, none crashes, and a memory load never reads past the form's own
// end nor past the documented bound (checked with a no-access page).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "engine/control/overlay_settings_archive.h"
#include "tests/windows/control/control_object.h"

namespace ovl::testing {
namespace {

// A block that ends where a no-access page begins.
class GuardedBlock {
 public:
  explicit GuardedBlock(size_t capacity) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    m_page = info.dwPageSize;
    m_span = (capacity + m_page - 1) / m_page * m_page;
    m_base = static_cast<BYTE*>(VirtualAlloc(nullptr, m_span + m_page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    VirtualProtect(m_base + m_span, m_page, PAGE_NOACCESS, &old);
  }
  ~GuardedBlock() { VirtualFree(m_base, 0, MEM_RELEASE); }
  GuardedBlock(const GuardedBlock&) = delete;
  GuardedBlock& operator=(const GuardedBlock&) = delete;

  // The bytes placed so that `readable` bytes from their start are readable.
  BYTE* Place(const std::vector<BYTE>& bytes, size_t readable) {
    BYTE* at = m_base + m_span - readable;
    std::memset(m_base, 0xCD, m_span);
    std::memcpy(at, bytes.data(), std::min(bytes.size(), readable));
    return at;
  }

 private:
  size_t m_page = 0;
  size_t m_span = 0;
  BYTE* m_base = nullptr;
};

class DamagedForms : public ControlTest {
 protected:
  std::vector<BYTE> SavedForm(ControlObject* object) {
    LONG size = 0;
    EXPECT_EQ(S_OK, object->Common()->WriteToMemory(nullptr, &size));
    std::vector<BYTE> form(size);
    EXPECT_EQ(S_OK, object->Common()->WriteToMemory(form.data(), &size));
    return form;
  }
  HRESULT LoadStream(ControlObject* object, const std::vector<BYTE>& bytes) {
    IStream* stream = nullptr;
    EXPECT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    ULONG written = 0;
    if (!bytes.empty()) stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    const HRESULT hr = object->Persist()->Load(stream);
    stream->Release();
    return hr;
  }
};

// A form written by the filter is read to its last byte and not one further.
TEST_F(DamagedForms, MemoryLoadStopsAtTheFormsEnd) {
  Ref<ControlObject> source(NewObject());
  SetDistinctSettings(source->Overlay(), ImageFile(L"i.bmp", 64, 48), MaskFile(L"m.bmp", 8, 8));
  const std::vector<BYTE> form = SavedForm(source.Get());
  CMemoryFormExtent extent;
  ASSERT_EQ(S_OK, ovl::control::MeasureOverlaySettingsForm(form.data(), &extent));
  EXPECT_EQ(form.size(), extent.cbForm);
  GuardedBlock block(form.size());
  Ref<ControlObject> target(NewObject());
  ASSERT_EQ(S_OK, target->Common()->LoadFromMemory(block.Place(form, form.size())));
  EXPECT_EQ(Capture(source.Get()), Capture(target.Get()));

  // A form saved as layout 0 (no output size values) ends after "Version".
  std::vector<BYTE> old(form.begin(), form.end() - 12);
  const size_t version = old.size() - 4;
  old[version] = 0;
  ASSERT_EQ(S_OK, ovl::control::MeasureOverlaySettingsForm(old.data(), &extent));
  EXPECT_EQ(old.size(), extent.cbForm);
  EXPECT_EQ(S_OK, target->Common()->LoadFromMemory(block.Place(old, old.size())));
}

TEST_F(DamagedForms, TruncatedAndBitFlippedFormsGiveAResultAndNeverCrash) {
  Ref<ControlObject> source(NewObject());
  SetDistinctSettings(source->Overlay(), ImageFile(L"i.bmp", 64, 48), MaskFile(L"m.bmp", 8, 8));
  std::vector<BYTE> stream;
  {
    IStream* s = nullptr;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &s));
    ASSERT_EQ(S_OK, source->Persist()->Save(s, TRUE));
    STATSTG stat{};
    s->Stat(&stat, STATFLAG_NONAME);
    stream.resize(static_cast<size_t>(stat.cbSize.QuadPart));
    LARGE_INTEGER zero{};
    s->Seek(zero, STREAM_SEEK_SET, nullptr);
    ULONG got = 0;
    s->Read(stream.data(), static_cast<ULONG>(stream.size()), &got);
    s->Release();
  }
  const std::vector<BYTE> form(stream.begin() + 24, stream.end());

  std::vector<std::vector<BYTE>> damaged;
  for (size_t cut = 0; cut < form.size(); cut += 3) damaged.emplace_back(form.begin(), form.begin() + cut);
  std::mt19937 random(20240611);
  for (int i = 0; i < 400; ++i) {
    std::vector<BYTE> flipped = form;
    for (int flips = 1 + i % 3; flips > 0; --flips) {
      const size_t at = random() % flipped.size();
      flipped[at] ^= static_cast<BYTE>(1u << (random() % 8));
    }
    damaged.push_back(std::move(flipped));
  }
  // Length words that claim far more than any name field could take.
  for (size_t at : {size_t{60}, size_t{276}, size_t{280}}) {
    std::vector<BYTE> huge = form;
    huge[at + 2] = 0xFF;
    huge[at + 3] = 0x3F;
    damaged.push_back(std::move(huge));
  }

  // Memory loads read no further than the bound, whatever the bytes say.
  GuardedBlock block(ovl::control::kMaxOverlayFormBytes);
  int loads = 0, succeeded = 0;
  for (const std::vector<BYTE>& bytes : damaged) {
    std::vector<BYTE> headed(stream.begin(), stream.begin() + 24);
    headed.insert(headed.end(), bytes.begin(), bytes.end());
    Ref<ControlObject> target(NewObject());
    const HRESULT viaStream = LoadStream(target.Get(), headed);
    // A form cut before its "Version" value fails; one cut later loads
    // without the output size, as a store of the older layout does.
    if (bytes.size() + 16 < form.size()) {
      EXPECT_TRUE(FAILED(viaStream)) << bytes.size();
    }
    std::vector<BYTE> padded = bytes;
    padded.resize(ovl::control::kMaxOverlayFormBytes, 0);
    Ref<ControlObject> memoryTarget(NewObject());
    const HRESULT viaMemory = memoryTarget->Common()->LoadFromMemory(
        block.Place(padded, ovl::control::kMaxOverlayFormBytes));
    loads += 2;
    succeeded += SUCCEEDED(viaStream) + SUCCEEDED(viaMemory);
    // Whatever was loaded, the interface still answers.
    for (int t = 0; t < 4; ++t) {
      BSTR name = nullptr;
      LONG value = 0;
      target->Overlay()->get_MaskImageFileName(static_cast<::LayerTypeConstants>(t), &name);
      SysFreeString(name);
      target->Overlay()->get_LayerOrder(static_cast<::LayerTypeConstants>(t), &value);
    }
  }
  std::printf("[ damaged ] %d damaged forms, %d loads, %d succeeded, %d refused\n",
              static_cast<int>(damaged.size()), loads, succeeded, loads - succeeded);
  EXPECT_GE(damaged.size(), 400u);
}

}  // namespace
}  // namespace ovl::testing

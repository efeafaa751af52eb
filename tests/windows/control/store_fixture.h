#pragma once
// The filter's settings saved to and loaded from each store (the
// IPersistStream stream, memory blocks, the registry, exported XML and
// imported INI files), and single stored values changed in place, as a
// damaged or hand-edited store would hold them.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "persistence/stores/rk_persistence.h"
#include "tests/windows/control/control_support.h"

namespace ovl::testing {

inline constexpr char kSection[] = "TERN Video Overlay Filter (2.0)";

enum class Store { Stream, Memory, Registry, Xml, Ini };
inline const Store kStores[] = {Store::Stream, Store::Memory, Store::Registry, Store::Xml, Store::Ini};
inline const char* StoreName(Store store) {
  static const char* const names[] = {"stream", "memory", "registry", "xml", "ini"};
  return names[static_cast<int>(store)];
}

// The saved values in their order: 16 per layer position (key + position),
// then six for the filter. Strings are the file names.
struct StoredKey {
  std::string name;
  bool string;
};
inline std::vector<StoredKey> StoredKeys() {
  static const char* const row[] = {"Region",        "Order",          "RgnLeft",           "RgnTop",
                                    "RgnRight",      "RgnBottom",      "RgnRoundWidth",     "RgnRoundHeight",
                                    "XPos",          "YPos",           "EnableOpacity",     "OpacityPercent",
                                    "EnableTransparency", "TransparentColor", "EnableMaskBitmap", "MaskImageFileName"};
  std::vector<StoredKey> keys;
  for (int position = 0; position < 4; ++position) {
    for (const char* name : row) keys.push_back({name + std::to_string(position), std::strcmp(name, "MaskImageFileName") == 0});
  }
  for (const char* name : {"BackgroundColor", "ImageFileName", "Version", "OutputSizeType", "OutputWidth", "OutputHeight"})
    keys.push_back({name, std::strcmp(name, "ImageFileName") == 0});
  return keys;
}

inline std::uint32_t U32(const std::vector<BYTE>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
inline void PutU32(std::vector<BYTE>& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<BYTE>(v >> (8 * i)));
}

inline std::vector<BYTE> SaveStream(const Filter& from) {
  ovl::ComPtr<IStream> stream;
  EXPECT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()));
  EXPECT_EQ(S_OK, from.P()->Save(stream.Get(), TRUE));
  STATSTG stat{};
  stream->Stat(&stat, STATFLAG_NONAME);
  std::vector<BYTE> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
  LARGE_INTEGER zero{};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
  return bytes;
}

inline HRESULT LoadStream(const Filter& to, const std::vector<BYTE>& bytes) {
  ovl::ComPtr<IStream> stream;
  EXPECT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()));
  if (!bytes.empty()) stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
  LARGE_INTEGER zero{};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  return to.P()->Load(stream.Get());
}

// A block that ends where a no-access page begins.
struct GuardedBlock {
  explicit GuardedBlock(size_t capacity) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    span = (capacity + info.dwPageSize - 1) / info.dwPageSize * info.dwPageSize;
    base = static_cast<BYTE*>(VirtualAlloc(nullptr, span + info.dwPageSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    VirtualProtect(base + span, info.dwPageSize, PAGE_NOACCESS, &old);
  }
  ~GuardedBlock() { VirtualFree(base, 0, MEM_RELEASE); }
  GuardedBlock(const GuardedBlock&) = delete;
  GuardedBlock& operator=(const GuardedBlock&) = delete;
  // The bytes placed so that the no-access page follows their last one.
  BYTE* Place(const std::vector<BYTE>& bytes) {
    return static_cast<BYTE*>(std::memcpy(base + span - bytes.size(), bytes.data(), bytes.size()));
  }
  size_t span;
  BYTE* base;
};

class StoreFixture : public ControlTest {
 protected:
  std::wstring FileW(Store store) const { return dir.Path(store == Store::Xml ? L"settings.xml" : L"settings.ini"); }
  std::string File(Store store) const {
    const std::wstring wide = FileW(store);
    return std::string(wide.begin(), wide.end());
  }
  std::string ReadText(Store store) const {
    std::ifstream file(std::filesystem::path(FileW(store)), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }
  HRESULT SaveTo(const Filter& from, Store store) {
    LONG size = 0;
    switch (store) {
      case Store::Stream: m_blob = SaveStream(from); return S_OK;
      case Store::Memory:
        EXPECT_EQ(S_OK, from.C()->WriteToMemory(nullptr, &size));
        m_blob.assign(size, 0);
        return from.C()->WriteToMemory(m_blob.data(), &size);
      case Store::Registry: return from.C()->CommitSettings();
      case Store::Xml: return Transfer(from, &IKMMCommon::ExportSettings, FileW(store));
      default: return CRKPersistenceImpl().SaveToIniFile(File(store).c_str(), kSection, from.object);
    }
  }
  HRESULT LoadFrom(const Filter& to, Store store) {
    if (store == Store::Stream) return LoadStream(to, m_blob);
    if (store == Store::Memory) return to.C()->LoadFromMemory(m_blob.data());
    if (store == Store::Registry) return to.C()->LoadSettings();
    return Transfer(to, &IKMMCommon::ImportSettings, FileW(store));
  }
  // ExportSettings or ImportSettings with a file name (none when empty).
  static HRESULT Transfer(const Filter& f, HRESULT (STDMETHODCALLTYPE IKMMCommon::*call)(BSTR), const std::wstring& file) {
    BSTR name = file.empty() ? nullptr : SysAllocString(file.c_str());
    const HRESULT hr = (f.C()->*call)(name);
    SysFreeString(name);
    return hr;
  }
  void WriteIniValue(const char* key, const char* value) {
    WritePrivateProfileStringA(kSection, key, value, File(Store::Ini).c_str());
  }

  // Where `key` begins in the stream or memory form last saved.
  size_t FormOffset(Store store, const std::string& key) const {
    size_t at = store == Store::Stream ? 24 : 0;
    for (const StoredKey& k : StoredKeys()) {
      if (k.name == key) return at;
      at += k.string ? 8 + 2 * U32(m_blob, at + 4) : 4;
    }
    ADD_FAILURE() << "no stored value " << key;
    return 0;
  }

  // Changes one value of the store last saved, as a hand-edited or damaged
  // store holds it: a number, or a file name for a string key. In the
  // registry and the files a null `text` removes the value.
  void EditStored(Store store, const std::string& key, const char* text) {
    bool isString = false;
    for (const StoredKey& k : StoredKeys()) isString |= k.name == key && k.string;
    if (store == Store::Stream || store == Store::Memory) {
      ASSERT_NE(nullptr, text) << "a form has no value to remove";
      const size_t at = FormOffset(store, key);
      std::vector<BYTE> record;
      if (isString) {
        PutU32(record, 0xFFFFFFFFu);
        PutU32(record, static_cast<std::uint32_t>(std::strlen(text)));
        for (const char* p = text; *p != '\0'; ++p) record.insert(record.end(), {static_cast<BYTE>(*p), 0});
      } else {
        PutU32(record, static_cast<std::uint32_t>(std::strtoll(text, nullptr, 10)));
      }
      const size_t old = isString ? 8 + 2 * U32(m_blob, at + 4) : 4;
      m_blob.erase(m_blob.begin() + at, m_blob.begin() + at + old);
      m_blob.insert(m_blob.begin() + at, record.begin(), record.end());
    } else if (store == Store::Ini) {
      WriteIniValue(key.c_str(), text);
    } else if (store == Store::Registry) {
      if (text == nullptr) {
        RegDeleteKeyValueA(HKEY_CURRENT_USER, ovl::identity::kSettingsKeyA, key.c_str());
      } else {
        RegSetKeyValueA(HKEY_CURRENT_USER, ovl::identity::kSettingsKeyA, key.c_str(), REG_SZ, text,
                        static_cast<DWORD>(std::strlen(text) + 1));
      }
    } else {
      std::string xml = ReadText(store);
      const std::string open = "<" + key + ">", close = "</" + key + ">";
      size_t from = xml.find(open), to = xml.find(close);
      if (from == std::string::npos) {  // an empty element is written as <Key/>
        from = xml.find("<" + key + "/>");
        to = from + key.size() + 3;
      } else {
        to += close.size();
      }
      ASSERT_NE(std::string::npos, from) << key;
      xml.replace(from, to - from, text == nullptr ? std::string() : open + text + close);
      dir.Write(L"settings.xml", std::vector<std::uint8_t>(xml.begin(), xml.end()));
    }
  }

  std::vector<BYTE> m_blob;
};

}  // namespace ovl::testing

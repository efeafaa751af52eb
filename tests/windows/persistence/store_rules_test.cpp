// The INI, XML and registry stores: their layout and the reading rules for
// missing, empty, duplicate, malformed and mistyped values.
#include <tuple>

#include "tests/windows/persistence/persistence_fixture.h"

namespace ovl::testing {
namespace {

using IniStore = PersistenceTest;
using XmlStore = PersistenceTest;
using RegistryStore = PersistenceTest;

TEST_F(IniStore, SaveReplacesItsSectionWithDecimalText) {
  WriteText("settings.ini", "[Other]\r\nKeep=1\r\n[Sample]\r\nStale=old\r\n");
  SampleSettings saved = SampleSettings::Filled();
  saved.withBlock = false;
  ASSERT_EQ(S_OK, persistence_.SaveToIniFile(Path("settings.ini").c_str(), "Sample", &saved));
  const std::string text = ReadText("settings.ini");
  EXPECT_NE(std::string::npos, text.find("[Other]\r\nKeep=1\r\n")) << text;
  EXPECT_EQ(std::string::npos, text.find("Stale")) << text;
  EXPECT_NE(std::string::npos, text.find("[Sample]\r\nLevel=-5\r\nColour=16777215\r\nFlags=165\r\n"
                                         "ImageFileName=C:\\pictures\\overlay image.bmp\r\nMaskFileName=\r\n"))
      << text;
}

TEST_F(IniStore, MissingEmptyAndMalformedValues) {
  const std::string ini = Path("hand.ini");
  WriteText("hand.ini", "[S]\r\nWord=abc\r\nHuge=99999999999\r\nEmpty=\r\nName=text\r\n");
  BackEnd store(new CRKIniFilePersistence(ini.c_str(), "S"));
  LONG value = 42;
  EXPECT_EQ(DISP_E_TYPEMISMATCH, store->GetValue(&value, 4, "Word", RK_VALUE_TYPED, VT_I4));
  EXPECT_EQ(DISP_E_OVERFLOW, store->GetValue(&value, 4, "Huge", RK_VALUE_TYPED, VT_I4));
  EXPECT_EQ(E_FAIL, store->GetValue(&value, 4, "Empty", RK_VALUE_TYPED, VT_I4));
  EXPECT_EQ(E_FAIL, store->GetValue(&value, 4, "Absent", RK_VALUE_TYPED, VT_I4));
  EXPECT_EQ(42, value) << "failed reads leave the destination alone";

  char name[260] = "before";
  EXPECT_EQ(S_OK, store->GetValue(name, sizeof name, "Name", RK_VALUE_STRING, VT_EMPTY));
  EXPECT_STREQ("text", name);
  EXPECT_EQ(S_OK, store->GetValue(name, sizeof name, "Absent", RK_VALUE_STRING, VT_EMPTY));
  EXPECT_STREQ("", name);
  EXPECT_EQ(E_INVALIDARG, store->GetValue(name, 0, "Name", RK_VALUE_STRING, VT_EMPTY));

  BYTE block[4];
  EXPECT_EQ(E_NOTIMPL, store->GetValue(block, 4, "Name", RK_VALUE_BINARY, VT_EMPTY));
  EXPECT_EQ(E_NOTIMPL, store->PutValue(block, 4, "Name", RK_VALUE_BINARY, VT_EMPTY));
  EXPECT_EQ(E_INVALIDARG, store->PutValue(block, 4, "Name", 3, VT_EMPTY));
  EXPECT_NE(std::string::npos, ReadText("hand.ini").find("Word=abc")) << "a refused write clears nothing";

  SampleSettings loaded;
  EXPECT_EQ(E_FAIL, persistence_.LoadFromIniFile(ini.c_str(), "No such section", &loaded));
  EXPECT_EQ(E_FAIL, persistence_.LoadFromIniFile(Path("missing.ini").c_str(), "S", &loaded));
}

// Keys match without regard to case; the first matching element with text wins.
TEST_F(XmlStore, ReadingMatchesKeysWithoutCaseAndSkipsEmptyDuplicates) {
  WriteText("hand.xml",
            "<?xml version='1.0'?>\n<doc title='x'><PARAMETERS><level></level><LEVEL>7</LEVEL>"
            "<Level>9</Level><NAME>abc</NAME><Word>abc</Word><Block>YWJj</Block></PARAMETERS></doc>\n");
  BackEnd store(new CRKXMLFilePersistence(Path("hand.xml").c_str(), "x"));
  LONG value = 0;
  EXPECT_EQ(S_OK, store->GetValue(&value, 4, "Level", RK_VALUE_TYPED, VT_I4));
  EXPECT_EQ(7, value);
  EXPECT_EQ(DISP_E_TYPEMISMATCH, store->GetValue(&value, 4, "word", RK_VALUE_TYPED, VT_I4));
  EXPECT_EQ(E_FAIL, store->GetValue(&value, 4, "Absent", RK_VALUE_TYPED, VT_I4));
  EXPECT_EQ(7, value);

  char name[260] = "before";
  EXPECT_EQ(S_OK, store->GetValue(name, sizeof name, "name", RK_VALUE_STRING, VT_EMPTY));
  EXPECT_STREQ("abc", name);
  EXPECT_EQ(S_OK, store->GetValue(name, sizeof name, "Absent", RK_VALUE_STRING, VT_EMPTY));
  EXPECT_STREQ("", name);

  BYTE block[4] = {9, 9, 9, 9};
  EXPECT_EQ(E_FAIL, store->GetValue(block, 4, "Block", RK_VALUE_BINARY, VT_EMPTY)) << "3 bytes stored";
  EXPECT_EQ(9, block[0]);
  EXPECT_EQ(S_OK, store->GetValue(block, 3, "Block", RK_VALUE_BINARY, VT_EMPTY));
  EXPECT_EQ(0, std::memcmp(block, "abc", 3));
  EXPECT_EQ(E_FAIL, store->PutValue(&value, 4, "Level", RK_VALUE_TYPED, VT_I4)) << "opened for reading";
}

TEST_F(XmlStore, DocumentsWithoutParametersOrNotXmlFailTheLoad) {
  WriteText("noparams.xml", "<?xml version='1.0'?>\n<doc title='x'><OTHER><Level>1</Level></OTHER></doc>\n");
  WriteText("plain.txt", "[S]\r\nLevel=1\r\n");
  BackEnd store(new CRKXMLFilePersistence(Path("noparams.xml").c_str(), "x"));
  LONG value = 3;
  char name[260] = "before";
  EXPECT_EQ(E_FAIL, store->GetValue(&value, 4, "Level", RK_VALUE_TYPED, VT_I4));
  EXPECT_EQ(S_OK, store->GetValue(name, sizeof name, "Level", RK_VALUE_STRING, VT_EMPTY));
  EXPECT_STREQ("", name);
  SampleSettings loaded;
  for (const char* file : {"noparams.xml", "plain.txt", "missing.xml"})
    EXPECT_EQ(E_FAIL, persistence_.LoadFromXmlFile(Path(file).c_str(), "x", &loaded)) << file;
  EXPECT_EQ(0, loaded.level);
}

TEST_F(XmlStore, WritingIsOneWayAndOnlyASuccessfulSaveWritesTheFile) {
  const std::string file = Path("written.xml");
  {
    BackEnd store(new CRKXMLFilePersistence(file.c_str(), "x"));
    LONG value = 5;
    EXPECT_EQ(S_OK, store->PutValue(&value, 4, "A", RK_VALUE_TYPED, VT_I4));
    EXPECT_EQ(S_OK, store->PutValue(&value, 4, "A", RK_VALUE_TYPED, VT_I4)) << "appends again";
    EXPECT_EQ(E_FAIL, store->GetValue(&value, 4, "A", RK_VALUE_TYPED, VT_I4));
    EXPECT_EQ(E_FAIL, store->PutValue(&value, 4, "not a name", RK_VALUE_TYPED, VT_I4));
  }
  struct FailsAfterOne : IRKSerializable {
    HRESULT Serialize(CRKArchive& ar) override {
      LONG v = 1;
      ar.PutValue(&v, 4, "One", RK_VALUE_TYPED, VT_I4);
      return E_ABORT;
    }
  } failing;
  EXPECT_EQ(E_ABORT, persistence_.SaveToXmlFile(file.c_str(), "x", &failing));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(file.c_str()));
}

TEST_F(RegistryStore, ValuesAreTextAndBinaryUnderTheKey) {
  SampleSettings saved = SampleSettings::Filled();
  ASSERT_EQ(S_OK, persistence_.SaveToRegistry(HKEY_CURRENT_USER, regPath_.c_str(), &saved));
  struct Expected {
    const char* name;
    DWORD type;
    std::string data;
  };
  for (const Expected& e : {Expected{"Colour", REG_SZ, std::string("16777215", 9)}, Expected{"MaskFileName", REG_SZ, std::string(1, '\0')},
                            Expected{"Block", REG_BINARY, std::string(reinterpret_cast<char*>(saved.block), 100)}}) {
    char data[200];
    DWORD type = 0, cb = sizeof data;
    ASSERT_EQ(ERROR_SUCCESS, RegGetValueA(HKEY_CURRENT_USER, regPath_.c_str(), e.name, RRF_RT_ANY, &type, data, &cb));
    EXPECT_EQ(e.type, type) << e.name;
    EXPECT_EQ(e.data, std::string(data, cb)) << e.name;
  }
  EXPECT_EQ(E_FAIL, persistence_.LoadFromRegistry(HKEY_CURRENT_USER, (regPath_ + "\\Not\\There").c_str(), &saved));
}

TEST_F(RegistryStore, WrongTypesMissingValuesAndBadTextFail) {
  const DWORD seven = 7;
  for (const auto& [name, type, data, size] :
       {std::tuple<const char*, DWORD, const void*, DWORD>{"Dword", REG_DWORD, &seven, 4}, {"Word", REG_SZ, "seven", 6},
        {"Unterminated", REG_SZ, "12", 2}, {"Bytes", REG_BINARY, "abc", 3}, {"Expand", REG_EXPAND_SZ, "x", 2}})
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(HKEY_CURRENT_USER, regPath_.c_str(), name, type, data, size));

  BackEnd store(new CRKRegReadablePersistence(HKEY_CURRENT_USER, regPath_.c_str()));
  LONG value = 42;
  char text[260] = "before";
  BYTE block[4] = {1, 2, 3, 4};
  EXPECT_EQ(E_FAIL, store->GetValue(&value, 4, "Dword", RK_VALUE_TYPED, VT_I4));
  EXPECT_EQ(E_FAIL, store->GetValue(text, sizeof text, "Dword", RK_VALUE_STRING, VT_EMPTY));
  EXPECT_EQ(E_FAIL, store->GetValue(text, sizeof text, "Expand", RK_VALUE_STRING, VT_EMPTY));
  EXPECT_EQ(E_FAIL, store->GetValue(text, sizeof text, "Absent", RK_VALUE_STRING, VT_EMPTY));
  EXPECT_EQ(E_FAIL, store->GetValue(block, 4, "Bytes", RK_VALUE_BINARY, VT_EMPTY)) << "3 bytes stored";
  EXPECT_EQ(E_FAIL, store->GetValue(block, 3, "Word", RK_VALUE_BINARY, VT_EMPTY));
  EXPECT_EQ(DISP_E_TYPEMISMATCH, store->GetValue(&value, 4, "Word", RK_VALUE_TYPED, VT_I4));
  EXPECT_EQ(42, value);
  EXPECT_STREQ("before", text);
  EXPECT_EQ(1, block[0]);

  EXPECT_EQ(S_OK, store->GetValue(&value, 4, "Unterminated", RK_VALUE_TYPED, VT_I4));
  EXPECT_EQ(12, value);
  EXPECT_EQ(S_OK, store->GetValue(block, 3, "Bytes", RK_VALUE_BINARY, VT_EMPTY));
  EXPECT_EQ(0, std::memcmp(block, "abc", 3));
  EXPECT_EQ(E_INVALIDARG, store->GetValue(&value, 4, "Word", RK_VALUE_TYPED, VT_BSTR));
  EXPECT_EQ(E_INVALIDARG, store->GetValue(&value, 8, "Word", RK_VALUE_TYPED, VT_I4));
  EXPECT_EQ(E_INVALIDARG, store->GetValue(&value, 4, "Word", 3, VT_I4));
  EXPECT_EQ(E_INVALIDARG, store->PutValue(&value, 4, "Word", 3, VT_I4));
}

}  // namespace
}  // namespace ovl::testing

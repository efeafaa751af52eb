// The INI and XML stores: file layout and the reading rules for missing,
// empty, duplicate and malformed values.
#include "tests/windows/persistence/persistence_fixture.h"

// The classic MSXML DOM document class (msxml2.h renames the constant).
#undef CLSID_DOMDocument
EXTERN_C const CLSID CLSID_DOMDocument;

namespace ovl::testing {
namespace {

using IniStore = PersistenceTest;
using XmlStore = PersistenceTest;

std::string Profile(const std::string& file, const char* section, const char* key) {
  char text[512];
  GetPrivateProfileStringA(section, key, "<none>", text, sizeof text, file.c_str());
  return text;
}

TEST_F(IniStore, SaveReplacesItsSectionWithDecimalText) {
  const std::string ini = Path("settings.ini");
  WriteFileText(ini, "[Other]\r\nKeep=1\r\n[Sample]\r\nStale=old\r\n");
  SampleSettings saved = SampleSettings::Filled();
  saved.withBlock = false;
  ASSERT_EQ(S_OK, persistence_.SaveToIniFile(ini.c_str(), "Sample", &saved));

  EXPECT_EQ("-5", Profile(ini, "Sample", "Level"));
  EXPECT_EQ("16777215", Profile(ini, "Sample", "Colour"));
  EXPECT_EQ("165", Profile(ini, "Sample", "Flags"));
  EXPECT_EQ("<none>", Profile(ini, "Sample", "Stale"));
  EXPECT_EQ("1", Profile(ini, "Other", "Keep"));
  const std::string text = ReadFileText(ini);
  const size_t section = text.find("[Sample]"), level = text.find("Level=-5"),
               colour = text.find("Colour=16777215"), mask = text.find("MaskFileName=");
  ASSERT_NE(std::string::npos, mask) << text;
  EXPECT_LT(section, level);
  EXPECT_LT(level, colour);
  EXPECT_LT(colour, mask);
}

TEST_F(IniStore, MissingEmptyAndMalformedValues) {
  const std::string ini = Path("hand.ini");
  WriteFileText(ini, "[S]\r\nWord=abc\r\nHuge=99999999999\r\nEmpty=\r\nName=text\r\n");
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
  EXPECT_EQ("abc", Profile(ini, "S", "Word")) << "a refused write clears nothing";

  SampleSettings loaded;
  EXPECT_EQ(E_FAIL, persistence_.LoadFromIniFile(ini.c_str(), "No such section", &loaded));
  EXPECT_EQ(E_FAIL, persistence_.LoadFromIniFile(Path("missing.ini").c_str(), "S", &loaded));
}

// The saved document as "name=text" lines: the title, then each value.
std::wstring DocumentOutline(const std::string& file) {
  IXMLDOMDocument* doc = nullptr;
  if (FAILED(CoCreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                              reinterpret_cast<void**>(&doc))))
    return L"<no DOM>";
  doc->put_async(VARIANT_FALSE);
  VARIANT path;
  path.vt = VT_BSTR;
  path.bstrVal = SysAllocString(std::wstring(file.begin(), file.end()).c_str());
  VARIANT_BOOL ok = VARIANT_FALSE;
  doc->load(path, &ok);
  VariantClear(&path);
  std::wstring outline = ok == VARIANT_TRUE ? L"" : L"<not loaded>";
  BSTR query = SysAllocString(L"/doc/@title | /doc/PARAMETERS/*");
  IXMLDOMNodeList* nodes = nullptr;
  if (ok == VARIANT_TRUE && SUCCEEDED(doc->selectNodes(query, &nodes))) {
    for (IXMLDOMNode* node = nullptr; nodes->nextNode(&node) == S_OK && node != nullptr;
         node->Release()) {
      BSTR name = nullptr, text = nullptr;
      node->get_nodeName(&name);
      node->get_text(&text);
      outline += std::wstring(name) + L"=" + std::wstring(text, SysStringLen(text)) + L"\n";
      SysFreeString(name);
      SysFreeString(text);
    }
    nodes->Release();
  }
  SysFreeString(query);
  doc->Release();
  return outline;
}

TEST_F(XmlStore, SavedTreeInFreshDirectories) {
  SampleSettings saved = SampleSettings::Filled();
  saved.withBlock = false;
  ASSERT_EQ(S_OK, persistence_.SaveToXmlFile((dir_ + "/made/on/save\\settings.xml").c_str(),
                                             "Filter \"2.0\" & <more>", &saved));
  EXPECT_EQ(L"title=Filter \"2.0\" & <more>\nLevel=-5\nColour=16777215\nFlags=165\n"
            L"ImageFileName=C:\\pictures\\overlay image.bmp\nMaskFileName=\n",
            DocumentOutline(Path("made\\on\\save\\settings.xml")));
}

TEST_F(XmlStore, ReadingMatchesKeysWithoutCaseAndSkipsEmptyDuplicates) {
  const std::string file = Path("hand.xml");
  WriteFileText(file,
                "<?xml version='1.0'?>\n<doc title='x'><PARAMETERS><level></level><LEVEL>7</LEVEL>"
                "<Level>9</Level><NAME>abc</NAME><Word>abc</Word><Block>YWJj</Block>"
                "</PARAMETERS></doc>\n");
  BackEnd store(new CRKXMLFilePersistence(file.c_str(), "x"));
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

  // Opened for reading: no writing through the same object.
  EXPECT_EQ(E_FAIL, store->PutValue(&value, 4, "Level", RK_VALUE_TYPED, VT_I4));
}

TEST_F(XmlStore, DocumentsWithoutParametersOrNotXmlFailTheLoad) {
  const std::string noParams = Path("noparams.xml"), notXml = Path("plain.txt");
  WriteFileText(noParams, "<?xml version='1.0'?>\n<doc title='x'><OTHER><Level>1</Level></OTHER></doc>\n");
  WriteFileText(notXml, "[S]\r\nLevel=1\r\n");
  BackEnd store(new CRKXMLFilePersistence(noParams.c_str(), "x"));
  LONG value = 3;
  char name[260] = "before";
  EXPECT_EQ(E_FAIL, store->GetValue(&value, 4, "Level", RK_VALUE_TYPED, VT_I4));
  EXPECT_EQ(S_OK, store->GetValue(name, sizeof name, "Level", RK_VALUE_STRING, VT_EMPTY));
  EXPECT_STREQ("", name);

  SampleSettings loaded;
  EXPECT_EQ(E_FAIL, persistence_.LoadFromXmlFile(noParams.c_str(), "x", &loaded));
  EXPECT_EQ(E_FAIL, persistence_.LoadFromXmlFile(notXml.c_str(), "x", &loaded));
  EXPECT_EQ(E_FAIL, persistence_.LoadFromXmlFile(Path("missing.xml").c_str(), "x", &loaded));
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

}  // namespace
}  // namespace ovl::testing

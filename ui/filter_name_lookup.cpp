#include "ui/filter_name_lookup.h"

#include <algorithm>
#include <cstring>

#include "KMVVOvLy.h"
#include "persistence/core/com_ptr.h"

namespace ovl::ui {
namespace {

bool CopyWide(const wchar_t* text, char (&name)[260]) {
  if (text == nullptr || *text == L'\0') return false;
  char converted[1024] = {};
  // A name longer than the buffer is cut here and again below.
  if (WideCharToMultiByte(CP_ACP, 0, text, -1, converted, sizeof(converted) - 1, nullptr, nullptr) == 0 &&
      GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    return false;
  }
  const size_t length = std::min(std::strlen(converted), sizeof(name) - 1);
  std::memcpy(name, converted, length);
  name[length] = '\0';
  return name[0] != '\0';
}

bool OwnName(IBaseFilter* filter, char (&name)[260]) {
  ovl::ComPtr<IKMAVBase> base;
  if (FAILED(filter->QueryInterface(IID_IKMAVBase, base.PutVoid()))) return false;
  BSTR text = nullptr;
  const bool found = SUCCEEDED(base->GetFilterName(&text)) && CopyWide(text, name);
  SysFreeString(text);
  return found;
}

bool RegisteredName(IBaseFilter* filter, char (&name)[260]) {
  CLSID clsid{};
  if (FAILED(filter->GetClassID(&clsid))) return false;
  wchar_t key[64] = L"CLSID\\";
  if (StringFromGUID2(clsid, key + 6, 58) == 0) return false;
  wchar_t text[MAX_PATH] = {};
  LONG bytes = sizeof(text) - sizeof(wchar_t);
  return RegQueryValueW(HKEY_CLASSES_ROOT, key, text, &bytes) == ERROR_SUCCESS && CopyWide(text, name);
}

bool NameInGraph(IBaseFilter* filter, char (&name)[260]) {
  FILTER_INFO info{};
  if (FAILED(filter->QueryFilterInfo(&info))) return false;
  if (info.pGraph != nullptr) info.pGraph->Release();
  info.achName[MAX_FILTER_NAME - 1] = L'\0';
  return CopyWide(info.achName, name);
}

}  // namespace

HRESULT LookUpFilterName(IBaseFilter* filter, char (&name)[260]) {
  if (filter != nullptr && (OwnName(filter, name) || RegisteredName(filter, name) || NameInGraph(filter, name))) {
    return S_OK;
  }
  std::strcpy(name, kDefaultComponentName);
  return S_FALSE;
}

}  // namespace ovl::ui

// The help fields of a page's information: the frame's Help button and
// tools find the local help page by them.
#include "ui/help_launch.h"

#include <string>

#include "ui/help_names.h"

namespace ovl::ui {

void SetHelpPageInfo(PROPPAGEINFO* info, const char* displayName) {
  if (info == nullptr) return;
  info->pszDocString = nullptr;
  info->dwHelpContext = 0;
  info->pszHelpFile = nullptr;
  constexpr int kChars = 260;
  auto* file = static_cast<LPOLESTR>(CoTaskMemAlloc(kChars * sizeof(OLECHAR)));
  if (file == nullptr) return;  // the frame goes without a help file
  std::string name = LocalPageName(displayName != nullptr ? displayName : "") + ".htm";
  // A name too long for the field is cut rather than refused.
  if (name.size() >= kChars) name.resize(kChars - 1);
  if (MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, file, kChars) == 0) file[0] = L'\0';
  info->pszHelpFile = file;
}

}  // namespace ovl::ui

#include "ui/help_names.h"

#include <cstring>

namespace ovl::ui {
namespace {

// Characters that cannot stand in a file name or a web address segment.
bool IsDropped(char c) { return c != '\0' && std::strchr("\"()*-/:<>?\\|", c) != nullptr; }

char WebSafe(char c) {
  switch (c) {
    case ' ':
    case '.':
      return '-';
    case '[':
      return '(';
    case ']':
      return ')';
    default:
      return c;
  }
}

}  // namespace

std::string LocalPageName(const std::string& displayName) {
  std::string name;
  for (char c : displayName) {
    if (c != ' ' && !IsDropped(c)) name += c;
  }
  return name;
}

std::string OnlinePageName(const std::string& displayName) {
  std::string name;
  for (char c : displayName) {
    if (!IsDropped(c)) name += WebSafe(c);
  }
  return name;
}

std::string LinkName(const std::string& displayName) {
  std::string name = displayName.substr(0, 99);
  const size_t paren = name.find('(');
  if (paren != std::string::npos) {
    name.erase(paren);
    while (!name.empty() && name.back() == ' ') name.pop_back();
  }
  for (char& c : name) c = c == '/' ? '-' : WebSafe(c);
  return name;
}

std::string WithoutFamilyMarker(const std::string& displayName) {
  std::string name = displayName;
  for (size_t at = name.find(" MF "); at != std::string::npos; at = name.find(" MF ", at)) {
    name.replace(at, 4, " ");
  }
  return name;
}

}  // namespace ovl::ui

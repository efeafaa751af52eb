#pragma once
// The help-path setting shared by the product family's filters: directories,
// separated by ";", that hold rkfilters.chm or loose help pages.
#include <string>
#include <vector>

namespace ovl::ui {

// HKEY_LOCAL_MACHINE key and value of the setting; this module only reads it.
inline constexpr char kHelpPathKey[] = "SOFTWARE\\Tern Systems, Inc.\\DShow\\Help";
inline constexpr char kHelpPathValue[] = "Path";

// Reads the setting (at most 2600 bytes of it); false when the key or the
// value cannot be read.
bool ReadHelpPath(std::string& value);

// The directories of the setting, in order, each ending in "\". A final ";"
// closes the last directory rather than starting an empty one; empty
// entries are left out (they would name the root of the current drive).
std::vector<std::string> HelpDirectories(const std::string& value);

}  // namespace ovl::ui

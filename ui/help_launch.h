#pragma once
// Opens the help of a filter given its display name: the online page first,
// then HTML Help or a local page found through the help-path setting, then
// a page beside the module.
namespace ovl::ui {

// family: kFilterFamily or kTransformFamily (ui/help_names.h).
// Returns 0 when help was shown or handed to the shell, -1 when nothing was
// found (after a message naming the files looked for), -2 for a name longer
// than 260 characters, -3 for a missing name or an unreadable help-path
// setting.
int LaunchHelp(const char* displayName, int family);

// LaunchHelp, and on failure the box "Can't find help file." with the
// display name as caption. Returns whether help was opened.
bool OpenHelpOrComplain(const char* displayName, int family);

}  // namespace ovl::ui

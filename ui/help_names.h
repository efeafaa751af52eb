#pragma once
// The forms of a filter's display name under which its help is published:
// the local page file, the online page and the product link. They must
// match the names the help authors give their pages, character for
// character, or help is not found.
#include <string>

namespace ovl::ui {

// Display names of the transform family carry an " MF " marker that their
// help pages leave out.
inline constexpr unsigned kFilterFamily = 0;
inline constexpr unsigned kTransformFamily = 1;

// "TERN Video Overlay Filter (2.0)" -> "TERNVideoOverlayFilter2.0"
std::string LocalPageName(const std::string& displayName);
// "TERN Video Overlay Filter (2.0)" -> "TERN-Video-Overlay-Filter-2-0"
std::string OnlinePageName(const std::string& displayName);
// "TERN Video Overlay Filter (2.0)" -> "TERN-Video-Overlay-Filter"
std::string LinkName(const std::string& displayName);
// The display name with every " MF " reduced to one blank.
std::string WithoutFamilyMarker(const std::string& displayName);

}  // namespace ovl::ui

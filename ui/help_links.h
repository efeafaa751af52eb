#pragma once
// Where the maker publishes help and product pages on the web.
namespace ovl::ui {

// Scheme and host of the online help; the launcher adds the page's path.
inline constexpr char kOnlineHelpSite[] = "https://help.ternsystems.example";

}  // namespace ovl::ui

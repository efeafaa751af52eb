#pragma once
// The name a page shows for the filter it is connected to.
#include <windows.h>
#include <strmif.h>

namespace ovl::ui {

inline constexpr char kDefaultComponentName[] = "TERN Multimedia Component";

// The first name that works: the filter's own (IKMAVBase), the registered
// name of its class, the name it has in its graph. S_OK with that name
// (ANSI, cut to 259 characters); S_FALSE with kDefaultComponentName when
// none works.
HRESULT LookUpFilterName(IBaseFilter* filter, char (&name)[260]);

}  // namespace ovl::ui

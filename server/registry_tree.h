#pragma once
#include <windows.h>

namespace ovl::server {

// Deletes `name` under `parent` with every subkey beneath it, depth first
// (a key can only be deleted once it is empty). `access` is what the key is
// opened with. Errors come back as HRESULTs; opening a key that does not
// exist gives HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND).
HRESULT DeleteKeyTree(HKEY parent, const wchar_t* name, REGSAM access = KEY_ALL_ACCESS);

}  // namespace ovl::server

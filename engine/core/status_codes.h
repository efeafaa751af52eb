#pragma once
// Result codes of the overlay engine. The values are the platform's HRESULTs,
// so the Windows layer returns them unchanged; this header stays free of
// Windows headers so the portable core builds anywhere.
#include <cstdint>

namespace ovl {

using HResult = std::int32_t;

inline constexpr HResult kOk = 0;                                          // S_OK
inline constexpr HResult kFalse = 1;                                       // S_FALSE
inline constexpr HResult kNotImpl = static_cast<HResult>(0x80004001u);     // E_NOTIMPL
inline constexpr HResult kPointer = static_cast<HResult>(0x80004003u);     // E_POINTER
inline constexpr HResult kFail = static_cast<HResult>(0x80004005u);        // E_FAIL
inline constexpr HResult kUnexpected = static_cast<HResult>(0x8000FFFFu);  // E_UNEXPECTED
inline constexpr HResult kOutOfMemory = static_cast<HResult>(0x8007000Eu); // E_OUTOFMEMORY
inline constexpr HResult kInvalidArg = static_cast<HResult>(0x80070057u);  // E_INVALIDARG

inline constexpr bool Succeeded(HResult hr) { return hr >= 0; }
inline constexpr bool Failed(HResult hr) { return hr < 0; }

}  // namespace ovl

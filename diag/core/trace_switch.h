#pragma once
// How a user turns tracing on: a flags value and an optional log path, read
// once when the module loads, from the environment first and else from the
// filter's settings key in the registry.
#include <cstdint>
#include <optional>

namespace ovl::diag {

// Environment variables (set them before the process loads the module).
constexpr wchar_t kTraceFlagsVariable[] = L"KMVVOVLY_TRACE";
constexpr wchar_t kTracePathVariable[] = L"KMVVOVLY_TRACE_FILE";
// Registry values under the filter's settings key (DWORD and string).
constexpr wchar_t kTraceFlagsValue[] = L"TraceFlags";
constexpr wchar_t kTracePathValue[] = L"TraceFile";

// The flags a user usually wants: file, time stamps, thread ids, tracing on.
constexpr std::uint32_t kUsualTraceFlags = 0x0F;

// Reads a flags value written as decimal ("15") or hexadecimal ("0x0F"),
// with blanks around it allowed. Anything else, or a value above 32 bits,
// is no value.
std::optional<std::uint32_t> ParseTraceFlags(const wchar_t* text);

}  // namespace ovl::diag

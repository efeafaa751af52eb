#include "diag/trace_module.h"

#include <cwchar>

#include "diag/core/trace_switch.h"
#include "diag/shared_slot.h"
#include "diag/shared_writer.h"
#include "diag/trace.h"
#include "server/filter_identity.h"

namespace ovl::diag {

namespace detail {
std::uint32_t traceFlags = kShippedTraceFlags;
}  // namespace detail

namespace {

ModuleTrace g_module;

const void* ThisModuleId() { return &detail::traceFlags; }

bool ReadRegistry(const wchar_t* name, DWORD type, void* data, DWORD size) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"" OVL_SETTINGS_KEY_TEXT, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  DWORD actualType = 0;
  const bool ok = RegQueryValueExW(key, name, nullptr, &actualType, static_cast<BYTE*>(data), &size) == ERROR_SUCCESS &&
                  actualType == type;
  RegCloseKey(key);
  return ok;
}

}  // namespace

ModuleTrace& ThisModule() { return g_module; }

ModuleTrace::ModuleTrace() {
  InitializeCriticalSection(&lock_);
  InitializeCriticalSection(&clockLock_);
  ReadSwitch();
}

// The locks stay: another module's unload may still trace into this one's
// last moments, and the process is leaving or unmapping us anyway.
ModuleTrace::~ModuleTrace() {
  closing_ = true;
  Release(true);
}

void ModuleTrace::ReadSwitch() {
  wchar_t text[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(kTraceFlagsVariable, text, MAX_PATH);
  DWORD flags = 0;
  if (n > 0 && n < MAX_PATH) {
    if (auto parsed = ParseTraceFlags(text)) detail::traceFlags = *parsed;
  } else if (ReadRegistry(kTraceFlagsValue, REG_DWORD, &flags, sizeof flags)) {
    detail::traceFlags = flags;
  }
  const DWORD m = GetEnvironmentVariableW(kTracePathVariable, text, MAX_PATH);
  // A stored string need not end in a NUL: the zeroed last character does.
  wchar_t stored[MAX_PATH] = {};
  if (m > 0 && m < MAX_PATH) {
    std::wcscpy(path_, text);
  } else if (ReadRegistry(kTracePathValue, REG_SZ, stored, sizeof stored - sizeof(wchar_t)) && stored[0] != 0) {
    std::wcscpy(path_, stored);
  }
}

SharedWriter* ModuleTrace::Attach() {
  if (SharedWriter* writer = writer_.load()) return writer;
  if (closing_) return nullptr;
  EnterCriticalSection(&lock_);
  if (writer_.load() == nullptr && !closing_) {
    if (slot_ == nullptr) slot_ = OpenSharedSlot(path_);
    {
      LockedSlot slot(slot_, 1000);
      if (slot.Held()) {
        SharedWriter* writer = slot->writer;
        if (writer == nullptr) {
          writer = CreateSharedWriter(path_);
          slot->writer = writer;
        }
        if (writer != nullptr) {
          InterlockedIncrement(&writer->references);
          writer_ = writer;
        }
      }
    }
    if (writer_.load() == nullptr && slot_ != nullptr) {
      CloseHandle(slot_);
      slot_ = nullptr;
    }
  }
  LeaveCriticalSection(&lock_);
  return writer_.load();
}

void ModuleTrace::Close() { Release(false); }

void ModuleTrace::Release(bool unloading) {
  EnterCriticalSection(&lock_);
  if (SharedWriter* writer = writer_.exchange(nullptr)) {
    LockedSlot slot(slot_, 1000);
    const bool freed = ReleaseSharedWriter(writer, ThisModuleId(), unloading);
    // The next module to attach creates a new writer.
    if (freed && slot.Mapped() && slot->writer == writer) slot->writer = nullptr;
  }
  if (slot_ != nullptr) CloseHandle(slot_);
  slot_ = nullptr;
  LeaveCriticalSection(&lock_);
}

void ModuleTrace::SetPath(const wchar_t* path) {
  Close();
  EnterCriticalSection(&lock_);
  if (path != nullptr && path[0] != 0 && std::wcslen(path) < MAX_PATH) std::wcscpy(path_, path);
  LeaveCriticalSection(&lock_);
}

Stamp ModuleTrace::NextStamp() {
  EnterCriticalSection(&clockLock_);
  if (!clockStarted_) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    baseMsOfDay_ = ((now.wHour * 60u + now.wMinute) * 60u + now.wSecond) * 1000u + now.wMilliseconds;
    if (!QueryPerformanceFrequency(&counterFrequency_) || !QueryPerformanceCounter(&counterStart_)) {
      counterFrequency_.QuadPart = 0;
    }
    tickStart_ = GetTickCount64();
    clockStarted_ = true;
  }
  ULONGLONG elapsed;
  LARGE_INTEGER counter;
  if (counterFrequency_.QuadPart > 0 && QueryPerformanceCounter(&counter)) {
    elapsed = static_cast<ULONGLONG>(counter.QuadPart - counterStart_.QuadPart) * 1000 /
              static_cast<ULONGLONG>(counterFrequency_.QuadPart);
  } else {
    elapsed = GetTickCount64() - tickStart_;
  }
  if (elapsed > 0x7FFFFFFF) elapsed = 0x7FFFFFFF;
  const Stamp stamp = stamps_.Next(baseMsOfDay_, static_cast<std::uint32_t>(elapsed));
  LeaveCriticalSection(&clockLock_);
  return stamp;
}

}  // namespace ovl::diag

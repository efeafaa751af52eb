#include "tests/windows/support/case_processes.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace ovl::testing {
namespace {

// The child's range travels in the environment ("first:count").
constexpr char kRangeVariable[] = "OVL_CASE_RANGE";
// A child that has not ended after this long is taken as hung: 20 s to
// start, and 60 ms a case, many times what a case takes on a busy machine.
DWORD BatchTimeoutMs(int cases) { return 20000 + 60 * static_cast<DWORD>(cases); }
constexpr char kTallyMark[] = "[ case tally ]";
constexpr char kFailedMark[] = "[ case failed ]";

bool ChildRange(int* first, int* count) {
  char text[64] = {};
  if (GetEnvironmentVariableA(kRangeVariable, text, sizeof text) == 0) return false;
  return std::sscanf(text, "%d:%d", first, count) == 2;
}

// Every heap of the process is whole.
bool HeapsAreWhole() {
  HANDLE heaps[256];
  const DWORD count = GetProcessHeaps(256, heaps);
  for (DWORD i = 0; i < count && i < 256; ++i) {
    if (!HeapValidate(heaps[i], 0, nullptr)) return false;
  }
  return true;
}

struct ChildResult {
  bool clean = false;  // exited with 0 and reported its tally
  std::string why;
  std::string output;
  CaseTally tally;
  std::vector<int> failed;  // cases whose checks failed in the child
};

// Runs cases [first, first + count) in a child running only the current test.
ChildResult RunChild(int first, int count) {
  ChildResult result;
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(exe) + L"\" --gtest_filter=";
  for (const char* p : {test->test_suite_name(), ".", test->name()}) command += std::wstring(p, p + std::strlen(p));
  const std::string range = std::to_string(first) + ":" + std::to_string(count);
  SetEnvironmentVariableA(kRangeVariable, range.c_str());

  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  CreatePipe(&readEnd, &writeEnd, &inherit, 0);
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdOutput = writeEnd;
  start.hStdError = writeEnd;
  start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessW(exe, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &process);
  SetEnvironmentVariableA(kRangeVariable, nullptr);
  CloseHandle(writeEnd);
  if (!started) {
    CloseHandle(readEnd);
    result.why = "could not start a child process";
    return result;
  }
  // Drain the pipe while waiting, so a talkative child never blocks.
  const ULONGLONG deadline = GetTickCount64() + BatchTimeoutMs(count);
  bool exited = false, hung = false;
  char buffer[4096];
  for (;;) {
    DWORD available = 0, got = 0;
    while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0 &&
           ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
      result.output.append(buffer, got);
    }
    if (exited) break;
    exited = WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0;
    if (!exited && GetTickCount64() > deadline) {
      TerminateProcess(process.hProcess, 0xDEAD);
      WaitForSingleObject(process.hProcess, INFINITE);
      hung = exited = true;
    }
  }
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  CloseHandle(readEnd);

  const size_t mark = result.output.find(kTallyMark);
  if (mark != std::string::npos) {
    std::istringstream line(result.output.substr(mark + sizeof kTallyMark - 1));
    line >> result.tally.cases >> result.tally.accepted >> result.tally.refused;
  }
  for (size_t at = result.output.find(kFailedMark); at != std::string::npos;
       at = result.output.find(kFailedMark, at + 1)) {
    result.failed.push_back(std::atoi(result.output.c_str() + at + sizeof kFailedMark));
  }
  std::ostringstream why;
  if (hung) {
    why << "no end after " << BatchTimeoutMs(count) / 1000 << " s";
  } else if (code != 0 && !(code == 1 && !result.failed.empty())) {  // 1: checks failed, reported by case
    why << "exit code 0x" << std::hex << code;
  } else if (mark == std::string::npos || result.tally.cases != count) {
    why << "ended without reporting its cases";
  }
  result.why = why.str();
  result.clean = result.why.empty();
  return result;
}

// The lines of a child's output that tell what went wrong.
std::string FailureLines(const std::string& output) {
  std::istringstream lines(output);
  std::string line, out;
  while (std::getline(lines, line)) {
    if (line.find("Failure") != std::string::npos || line.find("Expected") != std::string::npos ||
        line.find("Which is") != std::string::npos || line.find("heap") != std::string::npos) {
      out += "\n    " + line;
    }
  }
  return out;
}

}  // namespace

std::vector<long long> BoundaryValues() {
  std::vector<long long> values = {0, 1, -1, -2, INT_MIN, INT_MIN + 1LL, INT_MAX, INT_MAX - 1LL};
  for (int k = 1; k <= 30; ++k) {
    for (long long v : {(1LL << k) - 1, 1LL << k, (1LL << k) + 1}) {
      if (v > 2) values.push_back(v);
    }
  }
  return values;
}

bool IsCaseChild() {
  int first = 0, count = 0;
  return ChildRange(&first, &count);
}

CaseTally RunCasesInChildren(int count, int batch, const std::function<bool(int)>& runCase,
                             const std::function<std::string(int)>& describe) {
  CaseTally tally;
  int first = 0, mine = 0;
  if (ChildRange(&first, &mine)) {
    for (int i = first; i < first + mine && i < count; ++i) {
      const int failedBefore = ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
      {
        SCOPED_TRACE(describe(i));
        (runCase(i) ? tally.accepted : tally.refused)++;
        ++tally.cases;
        EXPECT_TRUE(HeapsAreWhole()) << "heap damaged by case " << i;
      }
      if (::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count() != failedBefore) {
        std::printf("%s %d\n", kFailedMark, i);
      }
    }
    std::printf("%s %d %d %d\n", kTallyMark, tally.cases, tally.accepted, tally.refused);
    std::fflush(stdout);
    return tally;
  }
  // A batch that does not end cleanly is split until each case that breaks
  // a process runs alone; checks that failed inside a child name their case.
  std::function<void(int, int)> run = [&](int start, int size) {
    ChildResult child = RunChild(start, size);
    ++tally.children;
    if (child.clean) {
      tally.cases += child.tally.cases;
      tally.accepted += child.tally.accepted;
      tally.refused += child.tally.refused;
      for (int i : child.failed) {
        tally.failures.push_back("case " + std::to_string(i) + " (" + describe(i) + ")" +
                                 (size == 1 ? FailureLines(child.output) : std::string()));
      }
    } else if (size == 1) {
      ++tally.cases;
      tally.failures.push_back("case " + std::to_string(start) + " (" + describe(start) + "): " + child.why +
                               FailureLines(child.output));
    } else {
      run(start, size / 2);
      run(start + size / 2, size - size / 2);
    }
  };
  for (int start = 0; start < count; start += batch) run(start, std::min(batch, count - start));
  return tally;
}

}  // namespace ovl::testing

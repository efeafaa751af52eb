// The file sink and the naming functions, through this program's own copy of
// the trace code (linked in as into the module).
#include <windows.h>
#include <strmif.h>
#include <uuids.h>

#include <gtest/gtest.h>

#include <regex>
#include <thread>
#include <vector>

#include "diag/core/status_names.h"
#include "diag/trace.h"
#include "tests/windows/diag/trace_support.h"
#include "tests/windows/support/com_apartment.h"

namespace ovl::testing {
namespace {

using diag::Trace;
constexpr std::uint32_t kFileOnly = diag::kTraceOn | diag::kTraceToFile;

TEST(TraceFile, NewFileStartsWithAByteOrderMarkAndLineEndsBecomeCrLf) {
  const std::wstring path = ScratchDirectory(L"new") + L"log.txt";
  {
    TracingTo tracing(path, kFileOnly);
    Trace("a\nb");
    Trace("\nc\rd\r\ne");
    Trace("\n\n%s=%d", "n", 7);
  }
  EXPECT_EQ(ReadWholeFile(path), std::string(kUtf8Mark) + "a\r\nb" + "\r\nc\r\nd\r\ne" + "\r\n\r\nn=7");
}

TEST(TraceFile, AnExistingFileIsAppendedToWithoutAMark) {
  const std::wstring path = ScratchDirectory(L"old") + L"log.txt";
  ASSERT_TRUE(WriteWholeFile(path, "earlier run"));
  {
    TracingTo tracing(path, kFileOnly);
    Trace("\nnext run");
  }
  {
    TracingTo tracing(path, kFileOnly);  // a second attach: still no mark
    Trace("\nthird");
  }
  EXPECT_EQ(ReadWholeFile(path), "earlier run\r\nnext run\r\nthird");
}

TEST(TraceFile, APathThatIsADirectoryGetsTheFileInside) {
  const std::wstring dir = ScratchDirectory(L"fallback");
  const std::wstring path = dir + L"TERNTrace.txt";
  ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
  {
    TracingTo tracing(path, kFileOnly);
    Trace("\ninside");
  }
  EXPECT_EQ(ReadWholeFile(path + L"\\TERNTrace.txt"), std::string(kUtf8Mark) + "\r\ninside");
}

TEST(TraceFile, PrefixesShowTheThreadAndAStampedPause) {
  const std::wstring path = ScratchDirectory(L"prefix") + L"log.txt";
  {
    TracingTo tracing(path, kFileOnly | diag::kTraceTimeStamp | diag::kTraceThreadId);
    Trace("\nfirst");
    Sleep(250);
    Trace("\nsecond");
    Trace("no prefix");
  }
  const std::string text = ReadWholeFile(path);
  const std::regex expected(
      "\xEF\xBB\xBF\r\n\\d{2}:\\d{2}:\\d{2}\\.\\d{3}: ([0-9a-f]{8}): first"
      "\r\n\r\n\\d{2}:\\d{2}:\\d{2}\\.\\d{3}: ([0-9a-f]{8}): secondno prefix");
  std::smatch match;
  ASSERT_TRUE(std::regex_match(text, match, expected)) << text;
  char thread[16];
  std::snprintf(thread, sizeof thread, "%08lx", GetCurrentThreadId());
  EXPECT_EQ(match[1], thread);
  EXPECT_EQ(match[2], thread);
}

TEST(TraceFile, OverlongTextsAndRunsOfLineFeedsAreCut) {
  const std::wstring path = ScratchDirectory(L"long") + L"log.txt";
  {
    TracingTo tracing(path, kFileOnly | diag::kTraceTimeStamp | diag::kTraceThreadId | diag::kTraceHandleCount);
    Trace("%s", (std::string(1000, '\n') + std::string(5000, 'x')).c_str());
    Trace("\nafter");
  }
  // The text is cut to 2047 characters (1000 line feeds, 1047 x); of the
  // line feeds only the CR LF pairs that fit the 50-character prefix beside
  // the stamp, handle count and thread id are kept.
  const std::string text = ReadWholeFile(path);
  const std::size_t xs = text.find('x');
  ASSERT_NE(xs, std::string::npos);
  EXPECT_EQ(text.find_first_not_of('x', xs) - xs, 1047u);
  EXPECT_LE(xs - 3, diag::kTracePrefixLimit);
  EXPECT_GE(CountOf(text.substr(0, xs), "\r\n"), 1);
  EXPECT_NE(text.find("after", xs), std::string::npos);
}

TEST(TraceFile, ManyThreadsTracingAtOnceLoseNoLine) {
  const std::wstring path = ScratchDirectory(L"threads") + L"log.txt";
  constexpr int kThreads = 8, kLines = 400;
  {
    TracingTo tracing(path, kFileOnly | diag::kTraceThreadId);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([t] {
        for (int i = 0; i < kLines; ++i) {
          Trace("\nthread %d line %d;", t, i);
          if (i % 20 == 19) Sleep(30);  // let the flush timer run in between
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
  }
  const std::string text = ReadWholeFile(path);
  EXPECT_EQ(CountOf(text, "\r\n"), kThreads * kLines);
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kLines; ++i) {
      const std::string line = ": thread " + std::to_string(t) + " line " + std::to_string(i) + ";";
      ASSERT_EQ(CountOf(text, line), 1) << line;
    }
  }
}

// OutputDebugString reaches a debugger as a DBG_PRINTEXCEPTION_C exception,
// which a vectored handler sees first.
std::string g_debuggerText;

LONG CALLBACK SeeDebuggerOutput(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* record = info->ExceptionRecord;
  if (record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2) {
    g_debuggerText.append(reinterpret_cast<const char*>(record->ExceptionInformation[1]),
                          static_cast<std::size_t>(record->ExceptionInformation[0]));
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

TEST(TraceFile, TheDebuggerSinkGetsTheLineAndNoFileIsWritten) {
  const std::wstring path = ScratchDirectory(L"debugger") + L"log.txt";
  g_debuggerText.clear();
  void* handler = AddVectoredExceptionHandler(1, SeeDebuggerOutput);
  {
    TracingTo tracing(path, diag::kTraceOn | diag::kTraceToDebugger);
    Trace("\nto the debugger %d", 40);
  }
  RemoveVectoredExceptionHandler(handler);
  EXPECT_NE(g_debuggerText.find("\r\nto the debugger 40"), std::string::npos) << g_debuggerText;
  EXPECT_FALSE(FileExists(path));
}

TEST(TraceNames, ShippedFlagsTraceNothingAndNameNothing) {
  const std::wstring path = ScratchDirectory(L"off") + L"log.txt";
  {
    TracingTo tracing(path, diag::kShippedTraceFlags);
    Trace("\nnever");
    for (const diag::CodeTable& table : {diag::SocketErrorTable(), diag::StatusCodeTable()}) {
      for (std::size_t i = 0; i < table.count; ++i) {
        const std::uint32_t code = table.rows[i].code;
        const bool socket = table.rows == diag::SocketErrorTable().rows;
        EXPECT_STREQ(diag::StatusName(static_cast<HRESULT>(socket ? 0x80070000u | code : code)), "") << code;
      }
    }
    for (std::uint32_t code : {0x80072745u, 0x80072EDEu, 0x8005F005u, 0x12345678u, 0x00050055u}) {
      EXPECT_STREQ(diag::StatusName(static_cast<HRESULT>(code)), "");
    }
    EXPECT_STREQ(diag::SampleTimeText(nullptr), "");
    EXPECT_STREQ(diag::TimeFormatName(&TIME_FORMAT_MEDIA_TIME), "");
  }
  EXPECT_FALSE(FileExists(path));
}

// The names themselves are tested natively; here the platform's HRESULT and
// GUID reach the tables unchanged.
TEST(TraceNames, WithTracingOnThePlatformTypesReachTheTables) {
  TracingTo tracing(ScratchDirectory(L"names") + L"log.txt", diag::kTraceOn);
  EXPECT_STREQ(diag::StatusName(E_OUTOFMEMORY), "E_OUTOFMEMORY");
  EXPECT_STREQ(diag::StatusName(static_cast<HRESULT>(0x8005F005)), "TERNKIT Raster Error (-5)");
  EXPECT_STREQ(diag::TimeFormatName(&TIME_FORMAT_FRAME), "Frame");
  EXPECT_STREQ(diag::TimeFormatName(&MEDIATYPE_Video), "{73646976-0000-0010-8000-00AA00389B71}");
  EXPECT_STREQ(diag::SampleTimeText(nullptr), "NULL");

  // A sample of the platform allocator: no times, then a start time alone.
  ComApartment com;
  IMemAllocator* allocator = nullptr;
  ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                            reinterpret_cast<void**>(&allocator)));
  ALLOCATOR_PROPERTIES wanted{1, 16, 1, 0}, got{};
  ASSERT_HRESULT_SUCCEEDED(allocator->SetProperties(&wanted, &got));
  ASSERT_HRESULT_SUCCEEDED(allocator->Commit());
  IMediaSample* sample = nullptr;
  ASSERT_HRESULT_SUCCEEDED(allocator->GetBuffer(&sample, nullptr, nullptr, 0));
  EXPECT_STREQ(diag::SampleTimeText(sample), "NO TIME");
  REFERENCE_TIME start = -15000000;
  sample->SetTime(&start, nullptr);  // GetTime then answers VFW_S_NO_STOP_TIME
  EXPECT_STREQ(diag::SampleTimeText(sample), "-1.500s");
  sample->Release();
  allocator->Decommit();
  allocator->Release();
}

}  // namespace
}  // namespace ovl::testing

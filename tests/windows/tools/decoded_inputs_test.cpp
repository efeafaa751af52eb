// ovlcompose with everyday video files as inputs: H.264 MP4, VP8 WebM and
// MJPEG AVI clips go through the platform's decoders into the filter and
// give the composite of the same scene from uncompressed AVI files, within
// what lossy coding changes; a file without video ends with an error line
// that says what to do. The clips are made by make-clips.sh next to the
// test program (clips\), and the composer runs as a user runs it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::wstring ExeDirectory() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

std::wstring Clip(const wchar_t* name) { return ExeDirectory() + L"clips\\" + name; }

std::string ReadAll(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct ComposerRun {
  DWORD exitCode = 0xFFFFFFFF;
  std::string output;  // stdout and stderr
};

// Runs ovlcompose.exe (next to this program) with `args` and waits for it.
ComposerRun Compose(const std::wstring& args) {
  // A file of its own per run: services the platform starts on the way may
  // inherit the handle and keep an earlier run's file open.
  static int runs = 0;
  const std::wstring log = ExeDirectory() + L"composer-output-" + std::to_wstring(++runs) + L".txt";
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE out = CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                           CREATE_ALWAYS, 0, nullptr);
  ComposerRun run;
  if (out == INVALID_HANDLE_VALUE) return run;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = out;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process{};
  std::wstring command = L"\"" + ExeDirectory() + L"ovlcompose.exe\" --quiet " + args;
  if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
    WaitForSingleObject(process.hProcess, 120000);
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(out);
  run.output = ReadAll(log);
  return run;
}

// An uncompressed AVI as the composer writes it: one video stream of
// 24-bit bottom-up frames.
struct Avi {
  std::uint32_t microSecondsPerFrame = 0;
  std::int32_t width = 0, height = 0;
  std::vector<std::string> frames;
};

std::uint32_t U32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  std::memcpy(&value, bytes.data() + at, 4);
  return value;
}

Avi ReadAvi(const std::wstring& path) {
  const std::string file = ReadAll(path);
  Avi avi;
  std::size_t at = file.find("avih");
  if (at == std::string::npos || at + 12 > file.size()) return avi;
  avi.microSecondsPerFrame = U32(file, at + 8);
  at = file.find("strf");
  if (at == std::string::npos || at + 20 > file.size()) return avi;
  avi.width = static_cast<std::int32_t>(U32(file, at + 12));
  avi.height = static_cast<std::int32_t>(U32(file, at + 16));
  at = file.find("movi");
  if (at == std::string::npos) return avi;
  for (at += 4; at + 8 <= file.size();) {
    const std::string id = file.substr(at, 4);
    const std::uint32_t size = U32(file, at + 4);
    if (id == "idx1" || at + 8 + size > file.size()) break;
    if (id.compare(2, 2, "db") == 0 || id.compare(2, 2, "dc") == 0) avi.frames.push_back(file.substr(at + 8, size));
    at += 8 + size + (size & 1);
  }
  return avi;
}

// How far a decoded composite strays from the reference: the mean absolute
// difference per colour byte, and the share of bytes off by more than 40.
struct Difference {
  double mean = 0;
  double outliers = 0;
};

Difference Compare(const std::string& a, const std::string& b, std::int32_t width, std::int32_t height) {
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
  double total = 0;
  std::size_t strays = 0, count = 0;
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::size_t i = 0; i < static_cast<std::size_t>(width) * 3; ++i) {
      const int d = std::abs(static_cast<unsigned char>(a[y * stride + i]) - static_cast<unsigned char>(b[y * stride + i]));
      total += d;
      strays += d > 40;
      ++count;
    }
  }
  return Difference{total / count, static_cast<double>(strays) / count};
}

// The scene: the second video at 70 % opacity in an ellipse over the main
// one. The main clip (160x120, 25 frames per second, 0.4 s) drives ten
// frames; the second (96x64, 10 per second) is paired by time, so frames
// 0 to 2 show its frame 0, 3 to 4 its frame 1, and so on.
std::wstring SceneArgs(const std::wstring& main, const std::wstring& second, const std::wstring& out) {
  return L"--no-image --second-at 40,30 --second-opacity 70 --input \"" + main + L"\" --second \"" + second +
         L"\" --out \"" + out + L".avi\" --png \"" + out + L".png\" --png-frame 3";
}

class DecodedInputs : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const ComposerRun run = Compose(SceneArgs(Clip(L"main-rgb.avi"), Clip(L"second-rgb.avi"), ExeDirectory() + L"reference"));
    ASSERT_EQ(0u, run.exitCode) << run.output;
    reference_ = new Avi(ReadAvi(ExeDirectory() + L"reference.avi"));
  }
  static void TearDownTestSuite() {
    delete reference_;
    reference_ = nullptr;
  }
  static Avi* reference_;
};
Avi* DecodedInputs::reference_ = nullptr;

TEST_F(DecodedInputs, EveryFormatOnEitherInputGivesTheSceneOfTheUncompressedClips) {
  ASSERT_NE(nullptr, reference_);
  ASSERT_EQ(10u, reference_->frames.size());
  ASSERT_EQ(160, reference_->width);
  ASSERT_EQ(120, reference_->height);
  const struct { const wchar_t* main; const wchar_t* second; } pairs[] = {
      {L"main.mp4", L"second.webm"},
      {L"main-mjpeg.avi", L"second.mp4"},
      {L"main.webm", L"second-mjpeg.avi"},
  };
  for (const auto& p : pairs) {
    SCOPED_TRACE(testing::Message() << "main " << std::string(p.main, p.main + wcslen(p.main)) << ", second "
                                    << std::string(p.second, p.second + wcslen(p.second)));
    const std::wstring out = ExeDirectory() + L"decoded";
    DeleteFileW((out + L".png").c_str());
    const ComposerRun run = Compose(SceneArgs(Clip(p.main), Clip(p.second), out));
    ASSERT_EQ(0u, run.exitCode) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("(10 frames, 160x120)")) << run.output;
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((out + L".png").c_str())) << "the snapshot is written";
    const Avi decoded = ReadAvi(out + L".avi");
    EXPECT_EQ(40000u, decoded.microSecondsPerFrame) << "the main clip's frame rate";
    ASSERT_EQ(reference_->frames.size(), decoded.frames.size());
    for (std::size_t f = 0; f < decoded.frames.size(); ++f) {
      // A frame paired with the wrong second frame, placed elsewhere or
      // upside down is off by far more than coding noise.
      const Difference d = Compare(decoded.frames[f], reference_->frames[f], 160, 120);
      EXPECT_LT(d.mean, 3.0) << "frame " << f;
      EXPECT_LT(d.outliers, 0.002) << "frame " << f;
    }
  }
}

TEST_F(DecodedInputs, AnAudioTrackBesideTheVideoIsLeftUnconnected) {
  const std::wstring out = ExeDirectory() + L"with-audio";
  const ComposerRun run = Compose(L"--no-image --no-second --input \"" + Clip(L"main-with-audio.webm") + L"\" --out \"" + out +
                          L".avi\" --png \"" + out + L".png\"");
  ASSERT_EQ(0u, run.exitCode) << run.output;
  EXPECT_EQ(10u, ReadAvi(out + L".avi").frames.size());
}

TEST_F(DecodedInputs, AFileWithoutVideoEndsWithAnErrorThatSaysWhatToDo) {
  const std::wstring text = ExeDirectory() + L"not-a-video.mp4";
  std::ofstream(text.c_str()) << "this is not a video file\n";
  const struct { std::wstring args; const char* file; } cases[] = {
      {L"--input \"" + Clip(L"no-video.wav") + L"\"", "no-video.wav"},
      {L"--input \"" + Clip(L"main.mp4") + L"\" --second \"" + Clip(L"no-video.wav") + L"\"", "no-video.wav"},
      {L"--input \"" + text + L"\"", "not-a-video.mp4"},
  };
  for (const auto& c : cases) {
    const ComposerRun run = Compose(L"--no-image " + c.args + L" --out \"" + ExeDirectory() + L"failed.avi\"");
    EXPECT_NE(0u, run.exitCode) << run.output;
    EXPECT_EQ(0u, run.output.find("error: ")) << run.output;
    EXPECT_NE(std::string::npos, run.output.find(c.file)) << "names the file: " << run.output;
    EXPECT_NE(std::string::npos, run.output.find("(0x8004")) << "the graph builder's answer: " << run.output;
    EXPECT_NE(std::string::npos, run.output.find("install")) << "what to install: " << run.output;
  }
}

}  // namespace

#pragma once
// Command-line options of ovlcompose.
#include <windows.h>

#include <string>
#include <vector>

namespace ovlcompose {

struct MaskOption {
  long layer = 0;  // layer type
  std::wstring file;
};

struct Options {
  std::wstring input;          // empty: the built-in colour-bar pattern
  std::wstring second;         // empty: none; "pattern": the built-in rings
  bool secondGiven = false;
  int frames = 50;             // length of the built-in patterns
  std::wstring image;          // overlay image (BMP or ICO)
  bool noImage = false;
  long imageX = 30, imageY = 250;
  bool imageAtGiven = false;
  long imageKey = -1;          // COLORREF of the key colour, -1: none
  long secondX = 340, secondY = 30;
  long secondOpacity = 70;     // percent; 100: opaque
  bool secondEllipse = true;
  // Which of the second input's options the command line gave; the others
  // keep what a settings file set (or, without one, the defaults above).
  bool secondAtGiven = false, secondOpacityGiven = false, ellipseGiven = false;
  std::vector<MaskOption> masks;
  long width = 0, height = 0;  // 0: automatic
  double start = -1, stop = -1;  // seconds; -1: whole stream
  std::wstring settings;       // a file written by ExportSettings
  std::wstring exportSettings; // where to write the settings in force before running
  std::wstring editSettings;   // edit this settings file in the property frame instead of composing
  std::wstring out = L"out\\composite.avi";
  std::wstring png = L"out\\composite.png";
  int pngFrame = -1;           // -1: the middle frame
  bool quiet = false;
};

// Parses argv; on a bad argument returns false with a message in `error`.
bool ParseOptions(int argc, wchar_t** argv, Options& options, std::wstring& error, bool& helpRequested);
void PrintUsage();

}  // namespace ovlcompose

#include "tools/ovlcompose/options.h"

#include <cstdio>
#include <cwchar>

namespace ovlcompose {
namespace {

bool ParseInt(const std::wstring& text, long& value) {
  wchar_t* end = nullptr;
  const long v = std::wcstol(text.c_str(), &end, 10);
  if (text.empty() || *end != L'\0') return false;
  value = v;
  return true;
}

bool ParsePair(const std::wstring& text, wchar_t separator, long& a, long& b) {
  const std::size_t at = text.find(separator);
  return at != std::wstring::npos && ParseInt(text.substr(0, at), a) && ParseInt(text.substr(at + 1), b);
}

// RRGGBB in hex (as web colours are written) to a COLORREF 0x00BBGGRR.
bool ParseColour(std::wstring text, long& colorref) {
  if (!text.empty() && text[0] == L'#') text.erase(0, 1);
  if (text.size() != 6) return false;
  wchar_t* end = nullptr;
  const unsigned long rgb = std::wcstoul(text.c_str(), &end, 16);
  if (*end != L'\0') return false;
  colorref = static_cast<long>(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
  return true;
}

bool ParseLayer(const std::wstring& name, long& layer) {
  const wchar_t* names[] = {L"background", L"video1", L"video2", L"image"};
  for (long i = 0; i < 4; ++i) {
    if (name == names[i]) {
      layer = i;
      return true;
    }
  }
  return false;
}

bool ParseSeconds(const std::wstring& text, double& seconds) {
  wchar_t* end = nullptr;
  seconds = std::wcstod(text.c_str(), &end);
  return !text.empty() && *end == L'\0' && seconds >= 0;
}

}  // namespace

void PrintUsage() {
  std::printf(
      "ovlcompose: composes video through the TERN Video Overlay Filter (2.0) in a DirectShow graph\n"
      "and writes the result as an AVI file plus a PNG snapshot of one frame.\n\n"
      "usage: ovlcompose [options]\n"
      "  --input FILE         main video: any file the platform decodes, e.g. MP4, WebM, AVI\n"
      "                       (default: built-in colour bars)\n"
      "  --second FILE        second video, any such file, or 'pattern' for built-in moving rings (default: pattern)\n"
      "  --no-second          compose the main video alone\n"
      "  --frames N           length of the built-in patterns in frames (default 50, 25 per second)\n"
      "  --image FILE         overlay image, BMP or ICO (default: tools\\samples\\logo.bmp if present)\n"
      "  --no-image           no overlay image\n"
      "  --image-at X,Y       position of the overlay image (default 30,250)\n"
      "  --key RRGGBB         colour of the overlay image shown as transparent (default 00FF00 with the sample logo)\n"
      "  --second-at X,Y      position of the second video (default 340,30)\n"
      "  --second-opacity P   opacity of the second video in percent (default 70)\n"
      "  --no-ellipse         show the second video as a rectangle instead of an ellipse\n"
      "  --mask LAYER=FILE    weight LAYER (background, video1, video2, image) by an 8-bit greyscale BMP\n"
      "                       (default: background=tools\\samples\\vignette-mask.bmp if present)\n"
      "  --size WxH | auto    output size (default auto: the largest input)\n"
      "  --start S --stop S   compose only from S to S seconds of the inputs\n"
      "  --settings FILE      apply filter settings exported by ExportSettings (XML or INI) before running\n"
      "  --export-settings FILE  write the filter settings in force (as XML) before running\n"
      "  --edit-settings FILE    edit FILE's settings in the filter's property pages (OK writes FILE) and exit\n"
      "  --out FILE           output AVI (default out\\composite.avi)\n"
      "  --png FILE           snapshot PNG (default out\\composite.png)\n"
      "  --png-frame K        frame of the snapshot, counted from 0 (default: the middle frame)\n"
      "  --quiet              no progress lines\n");
}

bool ParseOptions(int argc, wchar_t** argv, Options& o, std::wstring& error, bool& help) {
  help = false;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    auto value = [&](std::wstring& out) {
      if (i + 1 >= argc) {
        error = arg + L" needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    std::wstring v;
    if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
      help = true;
      return true;
    } else if (arg == L"--input") {
      if (!value(o.input)) return false;
    } else if (arg == L"--second") {
      if (!value(o.second)) return false;
      o.secondGiven = true;
    } else if (arg == L"--no-second") {
      o.second.clear();
      o.secondGiven = true;
    } else if (arg == L"--frames") {
      long n = 0;
      if (!value(v) || !ParseInt(v, n) || n < 1 || n > 100000) {
        error = L"--frames needs a number from 1 to 100000";
        return false;
      }
      o.frames = static_cast<int>(n);
    } else if (arg == L"--image") {
      if (!value(o.image)) return false;
    } else if (arg == L"--no-image") {
      o.noImage = true;
    } else if (arg == L"--image-at") {
      if (!value(v) || !ParsePair(v, L',', o.imageX, o.imageY)) {
        error = L"--image-at needs X,Y";
        return false;
      }
      o.imageAtGiven = true;
    } else if (arg == L"--key") {
      if (!value(v) || !ParseColour(v, o.imageKey)) {
        error = L"--key needs a colour as RRGGBB in hex";
        return false;
      }
    } else if (arg == L"--second-at") {
      if (!value(v) || !ParsePair(v, L',', o.secondX, o.secondY)) {
        error = L"--second-at needs X,Y";
        return false;
      }
      o.secondAtGiven = true;
    } else if (arg == L"--second-opacity") {
      if (!value(v) || !ParseInt(v, o.secondOpacity) || o.secondOpacity < 0 || o.secondOpacity > 100) {
        error = L"--second-opacity needs a percentage from 0 to 100";
        return false;
      }
      o.secondOpacityGiven = true;
    } else if (arg == L"--no-ellipse") {
      o.secondEllipse = false;
      o.ellipseGiven = true;
    } else if (arg == L"--mask") {
      MaskOption mask;
      const std::size_t at = value(v) ? v.find(L'=') : std::wstring::npos;
      if (at == std::wstring::npos || !ParseLayer(v.substr(0, at), mask.layer) || at + 1 == v.size()) {
        error = L"--mask needs LAYER=FILE with LAYER one of background, video1, video2, image";
        return false;
      }
      mask.file = v.substr(at + 1);
      o.masks.push_back(mask);
    } else if (arg == L"--size") {
      if (!value(v)) return false;
      if (v == L"auto") {
        o.width = o.height = 0;
      } else if (!ParsePair(v, L'x', o.width, o.height) || o.width < 1 || o.height < 1 || o.width > 16384 ||
                 o.height > 16384) {
        error = L"--size needs WxH (1 to 16384 each) or auto";
        return false;
      }
    } else if (arg == L"--start" || arg == L"--stop") {
      double seconds = 0;
      if (!value(v) || !ParseSeconds(v, seconds)) {
        error = arg + L" needs a number of seconds";
        return false;
      }
      (arg == L"--start" ? o.start : o.stop) = seconds;
    } else if (arg == L"--settings") {
      if (!value(o.settings)) return false;
    } else if (arg == L"--edit-settings") {
      if (!value(o.editSettings)) return false;
    } else if (arg == L"--export-settings") {
      if (!value(o.exportSettings)) return false;
    } else if (arg == L"--out") {
      if (!value(o.out)) return false;
    } else if (arg == L"--png") {
      if (!value(o.png)) return false;
    } else if (arg == L"--png-frame") {
      long k = 0;
      if (!value(v) || !ParseInt(v, k) || k < 0) {
        error = L"--png-frame needs a frame number (0 or more)";
        return false;
      }
      o.pngFrame = static_cast<int>(k);
    } else if (arg == L"--quiet") {
      o.quiet = true;
    } else {
      error = L"unknown option " + arg + L" (see --help)";
      return false;
    }
  }
  if (o.start >= 0 && o.stop >= 0 && o.stop <= o.start) {
    error = L"--stop must be later than --start";
    return false;
  }
  return true;
}

}  // namespace ovlcompose

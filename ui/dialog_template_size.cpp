#include "ui/dialog_template_size.h"

#include <string>

namespace ovl::ui {
namespace {

// Reads a template's words without ever stepping past its end.
class TemplateReader {
 public:
  TemplateReader(const BYTE* data, DWORD size) : m_data(data), m_size(size) {}
  bool Ok() const { return m_ok; }
  WORD Word() {
    if (m_at + 2 > m_size) return m_ok = false, 0;
    const WORD value = static_cast<WORD>(m_data[m_at] | (m_data[m_at + 1] << 8));
    m_at += 2;
    return value;
  }
  DWORD Dword() {
    const DWORD low = Word();
    return low | (static_cast<DWORD>(Word()) << 16);
  }
  BYTE Byte() {
    if (m_at + 1 > m_size) return m_ok = false, 0;
    return m_data[m_at++];
  }
  std::wstring String() {
    std::wstring text;
    for (WORD c = Word(); m_ok && c != 0; c = Word()) text.push_back(static_cast<wchar_t>(c));
    return text;
  }
  // A menu or class field: nothing, an ordinal, or a string.
  void SkipNameOrOrdinal() {
    const WORD first = Word();
    if (first == 0xFFFF) Word();
    else if (first != 0) String();
  }

 private:
  const BYTE* m_data;
  DWORD m_size;
  DWORD m_at = 0;
  bool m_ok = true;
};

struct TemplateFont {
  bool present = false;
  int points = 0;
  int weight = FW_NORMAL;
  bool italic = false;
  BYTE charset = DEFAULT_CHARSET;
  std::wstring face;
};

// The documented way dialogs derive their base units from a font: the
// average width of the 52 Latin letters (rounded) and the font's height.
SIZE FontBaseUnits(const TemplateFont& font) {
  SIZE units = {LOWORD(GetDialogBaseUnits()), HIWORD(GetDialogBaseUnits())};
  HDC dc = CreateCompatibleDC(nullptr);
  if (dc == nullptr) return units;
  HFONT handle = CreateFontW(-MulDiv(font.points, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, font.weight,
                             font.italic, FALSE, FALSE, font.charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, font.face.c_str());
  if (handle != nullptr) {
    HGDIOBJ previous = SelectObject(dc, handle);
    TEXTMETRICW metrics{};
    SIZE extent{};
    static const wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    if (GetTextMetricsW(dc, &metrics) && GetTextExtentPoint32W(dc, kLetters, 52, &extent)) {
      units.cx = (extent.cx / 26 + 1) / 2;
      units.cy = metrics.tmHeight;
    }
    SelectObject(dc, previous);
    DeleteObject(handle);
  }
  DeleteDC(dc);
  return units;
}

}  // namespace

bool DialogTemplatePixels(HINSTANCE module, int dialogId, SIZE* pixels) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(dialogId), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
  HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  const auto* data = loaded != nullptr ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
  if (data == nullptr) return false;
  TemplateReader reader(data, SizeofResource(module, found));

  // An extended template starts with version 1 and the 0xFFFF signature.
  const DWORD first = reader.Dword();
  const bool extended = first == 0xFFFF0001u;
  DWORD style = first;
  if (extended) {
    reader.Dword();  // help id
    reader.Dword();  // extended style
    style = reader.Dword();
  } else {
    reader.Dword();  // extended style
  }
  reader.Word();  // control count
  reader.Word();  // x
  reader.Word();  // y
  const short cx = static_cast<short>(reader.Word());
  const short cy = static_cast<short>(reader.Word());
  reader.SkipNameOrOrdinal();  // menu
  reader.SkipNameOrOrdinal();  // window class
  reader.String();             // title

  TemplateFont font;
  if (style & DS_SETFONT) {
    font.present = true;
    font.points = reader.Word();
    if (extended) {
      font.weight = reader.Word();
      font.italic = reader.Byte() != 0;
      font.charset = reader.Byte();
    }
    font.face = reader.String();
    // A shell-font dialog naming "MS Shell Dlg" gets the newer shell font.
    if ((style & DS_SHELLFONT) == DS_SHELLFONT && _wcsicmp(font.face.c_str(), L"MS Shell Dlg") == 0) {
      font.face = L"MS Shell Dlg 2";
    }
  }
  if (!reader.Ok() || cx < 0 || cy < 0) return false;

  SIZE units = {LOWORD(GetDialogBaseUnits()), HIWORD(GetDialogBaseUnits())};
  if (font.present) units = FontBaseUnits(font);
  pixels->cx = MulDiv(cx, units.cx, 4);
  pixels->cy = MulDiv(cy, units.cy, 8);
  return true;
}

}  // namespace ovl::ui

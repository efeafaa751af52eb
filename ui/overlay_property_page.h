#pragma once
// CVOvLyProperties: the page on which a user edits every overlay setting of
// one filter. The page edits a private copy (the working record) and writes
// it all on Apply; the output size goes to the filter at once because the
// layer sizes the page offers depend on it. The applied record is the undo
// point when the frame is cancelled.
#include "KMVVOvLy.h"
#include "persistence/core/com_ptr.h"
#include "ui/page_settings.h"
#include "ui/property_page_base.h"

class CVOvLyProperties : public CBasePropertyPage {
 public:
  // Creation function of the module's class table.
  static CUnknown* CALLBACK CreateInstance(LPUNKNOWN outer, HRESULT* phr);

  explicit CVOvLyProperties(LPUNKNOWN outer);

  HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
  HRESULT STDMETHODCALLTYPE Help(LPCOLESTR helpDir) override;

  HRESULT OnConnect(IUnknown* object) override;
  HRESULT OnDisconnect() override;
  HRESULT OnActivate() override;
  HRESULT OnDeactivate() override;
  HRESULT OnApplyChanges() override;
  INT_PTR OnReceiveMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  // While set, edits the page makes itself are not taken as user input.
  class Updating;

  bool Connected() const { return m_pOverlay && m_pCommon; }
  int SelectedPosition() const;
  // A layer's size from the filter; 0 (no picture yet) reads as 1920 x 1080.
  SIZE LayerSize(LONG layerType) const;

  // Writes the working record, reads back what the filter kept and shows it.
  void WriteToFilter();
  void ShowAllSettings();
  void FillLayerList(int selected);
  void RefreshPosition(int p, bool clamp);
  void ApplyEnablingRules();
  void SetSpin(int spinId, int editId, LONG low, LONG high, LONG value);

  void OnCommand(int id, int code, HWND control);
  void OnIntegerEntry(int id);
  void OnOutputSizeChanged();
  void MoveSelectedLayer(int step);
  void ChooseBackgroundColour();
  void ChooseTransparentColour();
  void ChooseFile(bool overlay);
  void OnTimer();
  void ShowHoverHelp(HWND control);
  HWND ControlUnderCursor() const;
  void PaintSwatches(HDC dc);
  void RepaintSwatch(int id);

  ovl::ComPtr<IKMVVOvLy> m_pOverlay;
  ovl::ComPtr<IKMMCommon> m_pCommon;
  char m_szFilterName[ovl::ui::kNameBytes] = {};
  ovl::ui::PageSettings m_Settings;  // working record: what the controls show
  ovl::ui::PageSettings m_Applied;   // last read from or written to the filter
  bool m_bActive = false;
  int m_nUpdating = 0;
  bool m_bPinConnected[2] = {false, false};
  HWND m_hLastHover = nullptr;
  COLORREF m_CustomColours[16] = {};
};

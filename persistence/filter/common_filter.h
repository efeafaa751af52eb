#pragma once
// CTDAVCmnImp: IKMMCommon, the common interface of the product family's
// filters. It owns the persistence front object and runs the filter's
// Serialize (its IRKSerializable side, which the filter overrides) for
// every settings transfer: XML export, XML or INI import, the registry key
// of the filter, memory blocks and the IPersistStream stream. The pin and
// stream answers default to E_NOTIMPL for the filter to override.
// IUnknown stays pure: the filter implements it and answers IKMMCommon and
// IKMMCommon1 with static_cast<IKMMCommon*>(this).
#include <windows.h>

#include <string>

#include "KMVVOvLy.h"
#include "engine/control/filter_dispatch.h"
#include "persistence/stores/rk_persistence.h"

// Where a settings form held in a caller's memory block ends, as the form
// itself tells (LoadFromMemory is given no size).
struct CMemoryFormExtent {
  ULONG cbForm = 0;
  // The form ends at the length words of a string too long for its field:
  // the load stops there, and reports the refused string.
  bool endsAtRefusedString = false;
};

class CTDAVCmnImp : public CFilterDispatchImpl<IKMMCommon, &IID_IKMMCommon>, public IRKSerializable {
 public:
  // The registry key (under HKEY_CURRENT_USER) of the filter's saved
  // settings, ANSI; null for none.
  explicit CTDAVCmnImp(const char* pszRegistryKeyPath);
  ~CTDAVCmnImp() override;

  // IKMMCommon1
  HRESULT STDMETHODCALLTYPE get_FilterName(BSTR* pVal) override;
  // Writes the settings as an XML file titled with the filter name.
  HRESULT STDMETHODCALLTYPE ExportSettings(BSTR FileName) override;
  // Reads an XML file of ExportSettings, or else an INI file whose section
  // is the filter name. A missing file changes nothing.
  HRESULT STDMETHODCALLTYPE ImportSettings(BSTR FileName) override;
  HRESULT STDMETHODCALLTYPE LoadSettings() override;
  HRESULT STDMETHODCALLTYPE CommitSettings() override;
  // The block holds a form from WriteToMemory. It carries no size, so the
  // load reads only as far as the form's own length words reach, and never
  // more than the filter's bound (MeasureMemoryForm).
  HRESULT STDMETHODCALLTYPE LoadFromMemory(BYTE* pMem) override;
  // pMem null: *plSize = the bytes a block needs. Both given: *plSize is the
  // block's size on entry (a form that does not fit is refused with
  // HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) and nothing is written)
  // and the form's size on return. Only pMem: the block must hold the size
  // asked for before.
  HRESULT STDMETHODCALLTYPE WriteToMemory(BYTE* pMem, LONG* plSize) override;
  HRESULT STDMETHODCALLTYPE get_FilterState(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_InputPinsCount(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_OutputPinsCount(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_InputPinName(LONG nPinIndex, BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE get_OutputPinName(LONG nPinIndex, BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE get_IsTERNInputPinConnected(LONG nPinIndex, VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE get_IsTERNOutputPinConnected(LONG nPinIndex, VARIANT_BOOL* pVal) override;
  HRESULT STDMETHODCALLTYPE get_InputPinStreamType(LONG nPinIndex, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_OutputPinStreamType(LONG nPinIndex, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_InWidth(LONG nPinIndex, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_InHeight(LONG nPinIndex, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_OutWidth(LONG nPinIndex, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_OutHeight(LONG nPinIndex, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_InBits(LONG nPinIndex, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_OutBits(LONG nPinIndex, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_InChannels(LONG nPinIndex, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_OutChannels(LONG nPinIndex, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_InBitsPerSample(LONG nPinIndex, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_OutBitsPerSample(LONG nPinIndex, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_InSamplesPerSec(LONG nPinIndex, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_OutSamplesPerSec(LONG nPinIndex, LONG* pVal) override;
  // IKMMCommon
  HRESULT STDMETHODCALLTYPE get_InputAspectRatioX(LONG nPinIndex, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_InputAspectRatioY(LONG nPinIndex, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_InputPinStreamSubType(LONG nPinIndex, BSTR* pVal) override;

  // IRKSerializable: the filter's settings; this class has none.
  HRESULT Serialize(CRKArchive& archive) override;

  // A new BSTR copy of the registry key path; E_NOTIMPL when there is none.
  virtual HRESULT GetRegistryKeyPath(BSTR* pPath);

  // The filter's IPersistStream data, after the header its CPersistStream
  // base writes: its WriteToStream and ReadFromStream overrides call these.
  HRESULT WriteSettingsToStream(IStream* pStream);
  HRESULT ReadSettingsFromStream(IStream* pStream);

 protected:
  // Measures the form at pMem from its own length words, reading nothing
  // beyond what they cover and never more than the filter's largest
  // loadable form. E_NOTIMPL here: without it no memory load can be bounded.
  virtual HRESULT MeasureMemoryForm(const BYTE* pMem, CMemoryFormExtent* pExtent);

  CRKPersistenceImpl& Persistence() { return m_persistence; }

 private:
  HRESULT RegistryKeyPathAnsi(std::string* path);
  // The filter name (the XML title and INI section) and the settings file's
  // full name, wide and ANSI; with mustExist a missing file is refused.
  HRESULT SettingsFile(BSTR fileName, bool mustExist, std::string* title, std::wstring* full, std::string* file);

  CRKPersistenceImpl m_persistence;
  BSTR m_bstrRegistryKey = nullptr;
  HRESULT m_hrRegistryKey = S_OK;  // E_OUTOFMEMORY when the path could not be kept
};

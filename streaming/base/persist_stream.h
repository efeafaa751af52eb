#pragma once
// IPersistStream for filters. Every saved stream starts with a 24-byte
// header: the software version formatted "%011d " as 12 UTF-16LE characters.
// Load reads the number back (an optional '-', digits, then a NUL, tab, line
// feed, carriage return or space) and records it as the stream's version
// before the derived class reads its own data.
//
// The derived class provides IUnknown (DECLARE_IUNKNOWN), GetClassID, and
// answers IID_IPersistStream in its NonDelegatingQueryInterface.
#include "streaming/base/dshow_platform.h"

class CPersistStream : public IPersistStream {
 public:
  CPersistStream(IUnknown* owner, HRESULT* phr);
  virtual ~CPersistStream();

  HRESULT STDMETHODCALLTYPE IsDirty() override;
  HRESULT STDMETHODCALLTYPE Load(IStream* stream) override;
  HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL clearDirty) override;
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;

  HRESULT SetDirty(BOOL dirty);
  // The version found in the header of the last stream loaded.
  DWORD GetFileVersion() const { return mPS_dwFileVersion; }

  // The derived class's data, after the header.
  virtual HRESULT WriteToStream(IStream* stream);
  virtual HRESULT ReadFromStream(IStream* stream);
  // Bytes WriteToStream writes at most.
  virtual int SizeMax();
  // The version written into the header.
  virtual DWORD GetSoftwareVersion();

  static constexpr ULONG kHeaderBytes = 24;

 protected:
  DWORD mPS_dwFileVersion;
  BOOL mPS_fDirty;
};

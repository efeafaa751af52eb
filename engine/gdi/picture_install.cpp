#include "engine/gdi/picture_install.h"

#include <cstring>

#include "engine/gdi/ansi_name.h"
#include "engine/gdi/picture_capture.h"
#include "engine/gdi/region_builder.h"

namespace ovl::gdi {
namespace {

void Install(LoadedPicture& target, CapturedPicture& picture) {
  ReleasePicture(target);
  target.Owned = picture.owned ? 1 : 0;
  target.Bitmap = picture.Detach();
  target.Width = picture.width;
  target.Height = picture.height;
  target.Buffer.swap(picture.buffer);
  target.Loaded = 1;
}

bool IsEmpty(const wchar_t* name) { return name == nullptr || name[0] == L'\0'; }

}  // namespace

void ReleasePicture(LoadedPicture& picture) {
  if (picture.Bitmap != nullptr && picture.Owned) DeleteObject(static_cast<HBITMAP>(picture.Bitmap));
  picture.Bitmap = nullptr;
  picture.Owned = 0;
  picture.Loaded = 0;
  picture.Width = 0;
  picture.Height = 0;
}

void ReleaseAll(OverlaySettings& settings) {
  ReleasePicture(settings.OverlayImage);
  for (std::size_t position = 0; position < LayerTable::size(); ++position) {
    ReleasePicture(settings.Layers[position].Mask);
    DeleteLayerRegion(settings.Layers[position]);
  }
}

HResult PutOverlayImageFileName(OverlaySettings& settings, const wchar_t* name) {
  if (IsEmpty(name)) {
    settings.OverlayImageFileName[0] = '\0';
    ReleasePicture(settings.OverlayImage);
    return kOk;
  }
  char ansi[kFileNameBytes];
  HResult hr = ToAnsiFileName(name, ansi);
  if (Failed(hr)) return hr;
  HBITMAP bitmap = nullptr;
  hr = LoadImageFile(ansi, &bitmap);
  if (Failed(hr)) return hr;
  CapturedPicture picture;
  hr = ImageFromBitmap(bitmap, true, picture);
  if (Failed(hr)) return hr;
  if (LayerSettings* layer = settings.Layers.FindLayer(LAYERTYPE_OVERLAYIMAGE)) {
    layer->ResetRegionToSource(picture.width, picture.height);
  }
  Install(settings.OverlayImage, picture);
  std::memcpy(settings.OverlayImageFileName, ansi, sizeof(ansi));
  return kOk;
}

HResult PutOverlayImageBitmap(OverlaySettings& settings, HBITMAP bitmap) {
  if (bitmap == nullptr) return kPointer;
  CapturedPicture picture;
  const HResult hr = ImageFromBitmap(bitmap, false, picture);
  if (Failed(hr)) return hr;
  Install(settings.OverlayImage, picture);
  return kOk;
}

HResult PutMaskImageFileName(OverlaySettings& settings, std::uint32_t layerType, const wchar_t* name) {
  LayerSettings* layer = settings.Layers.FindLayer(layerType);
  if (layer == nullptr) return kInvalidArg;
  if (IsEmpty(name)) {
    layer->MaskImageFileName[0] = '\0';
    ReleasePicture(layer->Mask);
    return kOk;
  }
  char ansi[kFileNameBytes];
  HResult hr = ToAnsiFileName(name, ansi);
  if (Failed(hr)) return hr;
  // Masks come from bitmap files only; icons are not accepted.
  HBITMAP bitmap = LoadBitmapFile(ansi);
  if (bitmap == nullptr) return kInvalidArg;
  CapturedPicture mask;
  hr = MaskFromBitmap(bitmap, true, mask);
  if (Failed(hr)) return hr;
  Install(layer->Mask, mask);
  std::memcpy(layer->MaskImageFileName, ansi, sizeof(ansi));
  return kOk;
}

HResult PutMaskImageBitmap(OverlaySettings& settings, std::uint32_t layerType, HBITMAP bitmap) {
  LayerSettings* layer = settings.Layers.FindLayer(layerType);
  if (layer == nullptr) return kInvalidArg;
  if (bitmap == nullptr) return kPointer;
  CapturedPicture mask;
  const HResult hr = MaskFromBitmap(bitmap, false, mask);
  if (Failed(hr)) return hr;
  Install(layer->Mask, mask);
  return kOk;
}

}  // namespace ovl::gdi

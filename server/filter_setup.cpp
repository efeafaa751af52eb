#include "server/filter_setup.h"

#include "server/filter_identity.h"

namespace ovl::server {
namespace {

// Any video subtype: the mapper matches on the major type alone.
const AMOVIESETUP_MEDIATYPE kAnyVideo = {&MEDIATYPE_Video, &GUID_NULL};

// The mapper's structure takes non-const names.
wchar_t kInputName[] = L"Input";
wchar_t kOutputName[] = L"Output";

// One input is registered although the running filter grows a second one
// when the first connects: graph builders only need to know it takes video.
const AMOVIESETUP_PIN kPins[] = {
    {kInputName, FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, L"Output", 1, &kAnyVideo},
    {kOutputName, FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, L"Input", 1, &kAnyVideo},
};

}  // namespace

const AMOVIESETUP_FILTER kOverlayFilterSetup = {&identity::kClsidOverlayFilter, identity::kFilterName, 0x00200000,
                                                sizeof(kPins) / sizeof(kPins[0]), kPins};

const ProcessorCategory kProcessorCategories[kProcessorCategoryCount] = {
    {&identity::kCatidAudioProcessors, identity::kAudioProcessorsName},
    {&identity::kCatidVideoProcessors, identity::kVideoProcessorsName},
};

}  // namespace ovl::server

#pragma once
// The module's fixed identifiers. Chosen once; never change them: saved
// graphs, registrations and client programs refer to them. The interface
// identifiers of the automation interfaces live in the type library source.
#include <windows.h>

namespace ovl::server {

// The overlay filter (also the type library's coclass KMVVOvLy).
// {C3BC4D7B-8BDB-443F-A3BC-90502C2D0FCD}
inline constexpr GUID kClsidOverlayFilter = {0xC3BC4D7B, 0x8BDB, 0x443F, {0xA3, 0xBC, 0x90, 0x50, 0x2C, 0x2D, 0x0F, 0xCD}};
// {A9EE65E9-0A3D-4CB8-B6E3-05498CBF66BC}
inline constexpr GUID kClsidPropertyPage = {0xA9EE65E9, 0x0A3D, 0x4CB8, {0xB6, 0xE3, 0x05, 0x49, 0x8C, 0xBF, 0x66, 0xBC}};
// {3AA3647C-5B80-4FC7-BFD7-96066DD6087A}
inline constexpr GUID kClsidAboutPage = {0x3AA3647C, 0x5B80, 0x4FC7, {0xBF, 0xD7, 0x96, 0x06, 0x6D, 0xD6, 0x08, 0x7A}};
// Type library KMVVOvLyLib 1.0. {06B2ABC4-D5DB-4295-B404-44F35F10339C}
inline constexpr GUID kLibidOverlay = {0x06B2ABC4, 0xD5DB, 0x4295, {0xB4, 0x04, 0x44, 0xF3, 0x5F, 0x10, 0x33, 0x9C}};
// Filter categories of the product family ("RKMM Audio Processors", "RKMM Video Processors").
// {D88D334B-8300-4382-AF75-B3CFEFCE7AD6}
inline constexpr GUID kCatidAudioProcessors = {0xD88D334B, 0x8300, 0x4382, {0xAF, 0x75, 0xB3, 0xCF, 0xEF, 0xCE, 0x7A, 0xD6}};
// {80A8D0A0-1912-495D-9739-C73CBAC9F652}
inline constexpr GUID kCatidVideoProcessors = {0x80A8D0A0, 0x1912, 0x495D, {0x97, 0x39, 0xC7, 0x3C, 0xBA, 0xC9, 0xF6, 0x52}};

inline constexpr wchar_t kFilterName[] = L"TERN Video Overlay Filter (2.0)";
inline constexpr wchar_t kPropertyPageName[] = L"TERN Video Overlay Filter (2.0) Property Page";
inline constexpr wchar_t kAboutPageName[] = L"About TERN Video Overlay Filter (2.0)";

}  // namespace ovl::server

// Interface identifiers for the automation interfaces, chosen with the class
// identifiers above (the type library source repeats them):
//   IKMVVOvLy1    {14B262F1-19B2-4023-B971-99612C997D88}
//   IKMVVOvLyOld2 {2DE2EE45-C8B2-4B65-A62B-57E661E8A449}
//   IKMVVOvLy     {6266499F-D9E0-4D9B-91F3-B4D8026BDA10}
//   IKMAVBase     {1EAA1784-AC18-47B1-BE84-88D91314D9E3}
//   IKMMCommon1   {84312F87-2C1E-4101-B67E-02FC2882063C}
//   IKMMCommon    {8AF3C473-63F2-4C24-9C95-ED04A1F34A38}

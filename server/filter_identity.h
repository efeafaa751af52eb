#pragma once
// Who this module is: class identifiers, names, the settings key, pin names
// and the product family's categories. It includes nothing of ours, so every
// part of the module may include it; it is the only header of server/ that
// lower layers see.
//
// Chosen once; never change them: saved graphs, registrations, settings and
// client programs refer to them. The interface identifiers of the automation
// interfaces live in the type library source (engine/control/KMVVOvLy.idl).
//
// The texts are macros as well, so that resource scripts can use them.
#define OVL_FILTER_NAME_TEXT "TERN Video Overlay Filter (2.0)"
#define OVL_COMPANY_TEXT "Tern Systems, Inc."
#define OVL_SETTINGS_KEY_TEXT "SOFTWARE\\Tern Systems, Inc.\\DShow\\Filters\\VIdevavi2"

#ifndef RC_INVOKED
#include <windows.h>

namespace ovl::identity {

// The overlay filter (also the type library's coclass KMVVOvLy).
// {C3BC4D7B-8BDB-443F-A3BC-90502C2D0FCD}
inline constexpr GUID kClsidOverlayFilter = {0xC3BC4D7B, 0x8BDB, 0x443F, {0xA3, 0xBC, 0x90, 0x50, 0x2C, 0x2D, 0x0F, 0xCD}};
// {A9EE65E9-0A3D-4CB8-B6E3-05498CBF66BC}
inline constexpr GUID kClsidPropertyPage = {0xA9EE65E9, 0x0A3D, 0x4CB8, {0xB6, 0xE3, 0x05, 0x49, 0x8C, 0xBF, 0x66, 0xBC}};
// {3AA3647C-5B80-4FC7-BFD7-96066DD6087A}
inline constexpr GUID kClsidAboutPage = {0x3AA3647C, 0x5B80, 0x4FC7, {0xBF, 0xD7, 0x96, 0x06, 0x6D, 0xD6, 0x08, 0x7A}};
// Type library KMVVOvLyLib 1.0. {06B2ABC4-D5DB-4295-B404-44F35F10339C}
inline constexpr GUID kLibidOverlay = {0x06B2ABC4, 0xD5DB, 0x4295, {0xB4, 0x04, 0x44, 0xF3, 0x5F, 0x10, 0x33, 0x9C}};
// Filter categories of the product family.
// {D88D334B-8300-4382-AF75-B3CFEFCE7AD6}
inline constexpr GUID kCatidAudioProcessors = {0xD88D334B, 0x8300, 0x4382, {0xAF, 0x75, 0xB3, 0xCF, 0xEF, 0xCE, 0x7A, 0xD6}};
// {80A8D0A0-1912-495D-9739-C73CBAC9F652}
inline constexpr GUID kCatidVideoProcessors = {0x80A8D0A0, 0x1912, 0x495D, {0x97, 0x39, 0xC7, 0x3C, 0xBA, 0xC9, 0xF6, 0x52}};

inline constexpr char kFilterNameA[] = OVL_FILTER_NAME_TEXT;
inline constexpr wchar_t kFilterName[] = L"" OVL_FILTER_NAME_TEXT;
inline constexpr wchar_t kPropertyPageName[] = L"" OVL_FILTER_NAME_TEXT " Property Page";
inline constexpr wchar_t kAboutPageName[] = L"About " OVL_FILTER_NAME_TEXT;

// The filter's saved settings, under HKEY_CURRENT_USER.
inline constexpr char kSettingsKeyA[] = OVL_SETTINGS_KEY_TEXT;
inline constexpr wchar_t kSettingsKey[] = L"" OVL_SETTINGS_KEY_TEXT;

// Pins: inputs are "XForm In 01", "XForm In 02", ... (prefix and the pin's
// number from 1, two digits); the output is "XForm Out".
inline constexpr wchar_t kInputPinPrefix[] = L"XForm In ";
inline constexpr wchar_t kOutputPinName[] = L"XForm Out";

inline constexpr wchar_t kAudioProcessorsName[] = L"RKMM Audio Processors";
inline constexpr wchar_t kVideoProcessorsName[] = L"RKMM Video Processors";

}  // namespace ovl::identity
#endif

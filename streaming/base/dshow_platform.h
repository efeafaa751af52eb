#pragma once
// The platform's DirectShow declarations that the base layer builds on:
// interfaces (strmif.h, control.h), GUIDs (uuids.h), video formats (amvideo.h),
// event codes (evcode.h) and result codes (vfwmsgs.h).
#include <windows.h>
#include <objbase.h>

#include <strmif.h>
#include <control.h>
#include <uuids.h>
#include <amvideo.h>
#include <evcode.h>
#include <vfwmsgs.h>

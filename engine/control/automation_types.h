#pragma once
// The platform declarations behind automation_types.idl, for the header the
// IDL compiler generates from KMVVOvLy.idl.
#include <windows.h>
#include <ole2.h>
#include <oaidl.h>
#include <ocidl.h>

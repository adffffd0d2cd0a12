#pragma once
// <windows.h> as every file of the Win32 backend includes it: without the min and max macros
// that break std::min and std::max, and without the rarely used parts that slow the build.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

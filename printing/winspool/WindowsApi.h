// The Windows API as the project's Windows code uses it (the printer layer
// and the Win32 window). Include it after the project's own headers: <windows.h> defines macros of the same
// names as some of theirs (ERROR_SUCCESS, RtlMoveMemory, ...).
#pragma once
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <winhttp.h>
#include <winspool.h>

// What a screen reader is told of a control: the system's own accessible
// object for it, with a name and a description of the program's own where the
// control's text does not say what it is (a list box has no caption).
#pragma once
#include "WindowsApi.h"
#include <oleacc.h>

#include <string>

// The answer to WM_GETOBJECT for the client area of `hwnd` (the message's
// wparam as `flags`): its standard object, named `name` and described by
// `description` where these are not empty. 0 when the system has no object.
LRESULT NamedClientObject(HWND hwnd, WPARAM flags, const std::wstring& name, const std::wstring& description);

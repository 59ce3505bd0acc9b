// What a screen reader is told of a Windows control (its client object, as
// AccessibleObjectFromWindow gives it): by `get`, its name, description, ...
// Included after <windows.h> (WindowsApi.h), as the tests include it last.
#pragma once
#include <string>

#include "WindowsApi.h"
#include <oleacc.h>

namespace printing::testing {

inline std::wstring AccessibleText(HWND control, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*) =
                                                     &IAccessible::get_accName) {
  IAccessible* object = nullptr;
  if (FAILED(AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible),
                                        reinterpret_cast<void**>(&object))))
    return L"(no object)";
  VARIANT self;
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR text = nullptr;
  std::wstring out = L"(none)";
  if ((object->*get)(self, &text) == S_OK && text != nullptr) out.assign(text, SysStringLen(text));
  SysFreeString(text);
  object->Release();
  return out;
}

}  // namespace printing::testing

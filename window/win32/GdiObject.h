// An owner of a GDI object, a brush or a font: the object is deleted when
// its owner goes (or is given another one).
#pragma once
#include <memory>
#include <type_traits>

#include "WindowsApi.h"

struct DeleteGdiObject {
  void operator()(void* object) const { DeleteObject(static_cast<HGDIOBJ>(object)); }
};

// GdiObject<HBRUSH>, GdiObject<HFONT>.
template <class Handle>
using GdiObject = std::unique_ptr<std::remove_pointer_t<Handle>, DeleteGdiObject>;

#include "LiveRegions.h"

namespace {

// UI Automation's LiveSetting property as an oleacc annotation and its
// Polite value, which mingw-w64's headers lack, with the values Windows
// documents; the service's identifiers too, as its import library may not
// carry them.
constexpr GUID kLiveSettingProperty = {0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
constexpr GUID kAccPropServices = {0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr GUID kIAccPropServices = {0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
constexpr LONG kPolite = 1;

}  // namespace

LiveRegions::LiveRegions() {
  void* services = nullptr;
  if (SUCCEEDED(CoCreateInstance(kAccPropServices, nullptr, CLSCTX_INPROC_SERVER, kIAccPropServices, &services)))
    services_ = static_cast<IAccPropServices*>(services);
}

LiveRegions::~LiveRegions() {
  Clear();
  if (services_ != nullptr) services_->Release();
}

bool LiveRegions::Mark(HWND hwnd) {
  if (services_ == nullptr) return false;
  VARIANT polite;
  VariantInit(&polite);
  polite.vt = VT_I4;
  polite.lVal = kPolite;
  if (FAILED(services_->SetHwndProp(hwnd, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, kLiveSettingProperty,
                                    polite)))
    return false;
  marked_.push_back(hwnd);
  return true;
}

void LiveRegions::Clear() {
  for (HWND hwnd : marked_)
    services_->ClearHwndProps(hwnd, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, &kLiveSettingProperty, 1);
  marked_.clear();
}

void LiveRegions::Changed(HWND hwnd) {
  NotifyWinEvent(EVENT_OBJECT_LIVEREGIONCHANGED, hwnd, OBJID_CLIENT, CHILDID_SELF);
}

#include "DeviceKinds.h"

namespace printing {

DeviceState AskBehindBeh(const std::string& device_uri, const DeviceQuery& query) {
  // beh:/DONT-DISABLE/ATTEMPTS/DELAY/URI: the device is the one of the URI inside.
  constexpr std::string_view kScheme = "beh:/";
  constexpr int kDeepest = 4;
  if (device_uri.size() <= kScheme.size() || query.depth >= kDeepest) return DeviceState{};
  std::size_t at = kScheme.size();
  for (int field = 0; field < 3; ++field) {
    at = device_uri.find('/', at);
    if (at == std::string::npos) return DeviceState{};
    ++at;
  }
  DeviceQuery inside = query;
  inside.depth = query.depth + 1;
  return CheckInside(device_uri.substr(at), inside);
}

}  // namespace printing

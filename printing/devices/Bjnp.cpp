#include "Bjnp.h"

namespace printing {

std::vector<std::uint8_t> BjnpGetIdRequest(std::uint16_t sequence) {
  return {'B', 'J', 'N', 'P', kBjnpPrinter, kBjnpGetId,
          0, 0,  // no error
          static_cast<std::uint8_t>(sequence >> 8), static_cast<std::uint8_t>(sequence),
          0, 0,         // no session
          0, 0, 0, 0};  // no payload
}

bool IsBjnpAnswer(const std::uint8_t* bytes, std::size_t size) {
  return bytes != nullptr && size >= kBjnpHeaderSize && bytes[0] == 'B' && bytes[1] == 'J' && bytes[2] == 'N' &&
         bytes[3] == 'P' && (bytes[4] & kBjnpAnswer) != 0 && bytes[5] == kBjnpGetId;
}

}  // namespace printing

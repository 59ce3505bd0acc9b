// Canon's BJNP, as far as asking a printer who it is: the get-ID command over
// UDP, and whether a datagram is a printer's answer to it. Every BJNP message
// begins with a 16-byte header: "BJNP", the device type (1 a printer, 2 a
// scanner; an answer has 0x80 added), the command, then big-endian a 2-byte
// field that answers use for errors, the sequence number, the session id and
// the length of the payload that follows.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace printing {

inline constexpr std::uint16_t kBjnpPort = 8611;
inline constexpr std::size_t kBjnpHeaderSize = 16;
inline constexpr std::uint8_t kBjnpPrinter = 0x01;
inline constexpr std::uint8_t kBjnpAnswer = 0x80;  // added to the device type of an answer
inline constexpr std::uint8_t kBjnpGetId = 0x30;

// The get-ID command to a printer: a header without payload.
std::vector<std::uint8_t> BjnpGetIdRequest(std::uint16_t sequence);

// Whether `bytes` are an answer to get-ID: at least a header, "BJNP", the
// answer's bit in the device type, the get-ID command. The payload (the
// printer's IEEE 1284 device ID, after its 2-byte length) is not read.
bool IsBjnpAnswer(const std::uint8_t* bytes, std::size_t size);

}  // namespace printing

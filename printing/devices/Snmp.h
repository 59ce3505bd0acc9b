// The one SNMP exchange the printer layer has with a device: an SNMPv1
// GetRequest for one object, and the reading of its GetResponse, in BER of
// our own (no SNMP library is needed for one GET). Both are bounded in size;
// the reader takes any bytes at all and never reads outside them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace printing {

// The IEEE 1284 device ID of an HP printer (HP's MIB), which HPLIP's hp
// backend asks for when it opens an hp:/net/ device.
inline constexpr std::string_view kHpDeviceIdOid = "1.3.6.1.4.1.11.2.3.9.1.1.7.0";
inline constexpr std::uint16_t kSnmpPort = 161;

// Longest message that is read (a UDP datagram is at most 64 KiB).
inline constexpr std::size_t kSnmpMaxMessage = 64 * 1024;
// Longest community the request carries.
inline constexpr std::size_t kSnmpMaxCommunity = 255;
// Most sub-identifiers of an object identifier, each below 2^32.
inline constexpr std::size_t kSnmpMaxOidArcs = 128;

// BER tags of the PDUs and values met here.
inline constexpr std::uint8_t kSnmpGetRequest = 0xA0;
inline constexpr std::uint8_t kSnmpGetNextRequest = 0xA1;
inline constexpr std::uint8_t kSnmpGetResponse = 0xA2;
inline constexpr std::uint8_t kSnmpSetRequest = 0xA3;
inline constexpr std::uint8_t kSnmpInteger = 0x02;
inline constexpr std::uint8_t kSnmpOctetString = 0x04;
inline constexpr std::uint8_t kSnmpNull = 0x05;
inline constexpr std::uint8_t kSnmpObjectId = 0x06;

// An SNMPv1 GetRequest (version 0) for `oid`, dotted ("1.3.6.1..."), with a
// NULL value; empty when the OID cannot be encoded (not two to
// kSnmpMaxOidArcs numbers, a first one above 2, a second one above 39 under
// 0 or 1, a number of 2^32 or more, anything but digits and single dots) or
// the community is longer than kSnmpMaxCommunity.
std::vector<std::uint8_t> SnmpGetRequest(std::string_view community, std::string_view oid, std::int32_t request_id);

// What an SNMPv1 message says.
struct SnmpAnswer {
  std::uint8_t pdu = 0;  // kSnmpGetResponse for an answer
  std::string community;
  std::int32_t request_id = 0;
  std::int32_t error_status = 0;  // 0 noError, 2 noSuchName, ...
  std::int32_t error_index = 0;
  // The first variable binding; `value_tag` is 0 when there is none.
  std::string oid;                  // dotted
  std::uint8_t value_tag = 0;       // kSnmpOctetString for the device ID; others are kept as they come
  std::vector<std::uint8_t> value;  // the value's content bytes
};

// The GetResponse in `bytes`, or nothing when they do not begin with a whole
// SNMPv1 GetResponse-PDU: another version or PDU, a length beyond what is left
// of what holds it, a length of more than 4 bytes or of the indefinite form,
// an INTEGER beyond 32 bits, an OID beyond kSnmpMaxOidArcs or 32-bit numbers,
// more than kSnmpMaxMessage bytes. Bytes after the message are not read. The
// reader goes no deeper than the value of the first binding (whose own
// content is not parsed), so its nesting is bounded by its layout.
std::optional<SnmpAnswer> ReadSnmpAnswer(const std::uint8_t* bytes, std::size_t size);

// The same for any SNMPv1 PDU of that layout (GetRequest, GetNextRequest,
// GetResponse, SetRequest), as a device's agent reads a request.
std::optional<SnmpAnswer> ReadSnmpMessage(const std::uint8_t* bytes, std::size_t size);

// The community HPLIP's hp backend uses for an hp:/net/ device URI: the number
// after its first "port=" (found regardless of case, read as strtol does)
// picks it: none or 1 "public", 2 to 4 "public.1" to "public.3", 0 (or no
// number) an empty community, as HPLIP's table of communities begins with
// one. Nothing for other numbers: HPLIP refuses a port above 4 and reads
// outside its table for one below 0. When the community gets no answer, HPLIP
// asks once more with kHpFallbackCommunity, the default of older HP printers.
std::optional<std::string_view> HpSnmpCommunity(std::string_view device_uri);
inline constexpr std::string_view kHpFallbackCommunity = "public.1";

}  // namespace printing

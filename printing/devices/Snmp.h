// The one SNMP exchange the printer layer has with a device: an SNMPv1
// GetRequest for a few objects, and the reading of its GetResponse, in BER of
// our own (no SNMP library is needed for one GET). Both are bounded in size;
// the reader takes any bytes at all and never reads outside them. On top of
// them, the reading of what a printer says of itself through the Host
// Resources MIB (RFC 2790).
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
// Most variable bindings of a message, asked or read.
inline constexpr std::size_t kSnmpMaxBindings = 32;

// BER tags of the PDUs and values met here.
inline constexpr std::uint8_t kSnmpGetRequest = 0xA0;
inline constexpr std::uint8_t kSnmpGetNextRequest = 0xA1;
inline constexpr std::uint8_t kSnmpGetResponse = 0xA2;
inline constexpr std::uint8_t kSnmpSetRequest = 0xA3;
inline constexpr std::uint8_t kSnmpInteger = 0x02;
inline constexpr std::uint8_t kSnmpOctetString = 0x04;
inline constexpr std::uint8_t kSnmpNull = 0x05;
inline constexpr std::uint8_t kSnmpObjectId = 0x06;
// The values that SNMPv2 agents (and some SNMPv1 ones) send in place of an
// object they do not have.
inline constexpr std::uint8_t kSnmpNoSuchObject = 0x80;
inline constexpr std::uint8_t kSnmpNoSuchInstance = 0x81;
inline constexpr std::uint8_t kSnmpEndOfMibView = 0x82;

// Error statuses of SNMPv1.
inline constexpr std::int32_t kSnmpNoError = 0;
inline constexpr std::int32_t kSnmpTooBig = 1;
inline constexpr std::int32_t kSnmpNoSuchName = 2;
inline constexpr std::int32_t kSnmpBadValue = 3;
inline constexpr std::int32_t kSnmpReadOnly = 4;
inline constexpr std::int32_t kSnmpGenErr = 5;

// An SNMPv1 GetRequest (version 0) for `oids`, each dotted ("1.3.6.1..."), one
// variable binding each, in their order, with NULL values. Empty when there
// is no OID or more than kSnmpMaxBindings, when one cannot be encoded (not two
// to kSnmpMaxOidArcs numbers, a first one above 2, a second one above 39
// under 0 or 1, a number of 2^32 or more, anything but digits and single
// dots) or when the community is longer than kSnmpMaxCommunity.
std::vector<std::uint8_t> SnmpGetRequest(std::string_view community, const std::vector<std::string>& oids,
                                         std::int32_t request_id);
// The same for one OID.
std::vector<std::uint8_t> SnmpGetRequest(std::string_view community, std::string_view oid, std::int32_t request_id);

// A variable binding as read.
struct SnmpBinding {
  std::string oid;                  // dotted
  std::uint8_t tag = 0;             // its value's BER tag, whatever it is (kSnmpNull in a request)
  std::vector<std::uint8_t> value;  // the value's content bytes, not parsed

  // The value as an INTEGER of 1 to 4 bytes; nothing for any other tag or size.
  std::optional<std::int32_t> Integer() const;
  // The value's bytes as an OCTET STRING; nothing for any other tag.
  std::optional<std::string> OctetString() const;
  // The value as an OBJECT IDENTIFIER, dotted; nothing for any other tag, or
  // one that an OID of a binding could not be.
  std::optional<std::string> ObjectId() const;
  // Whether the value is noSuchObject, noSuchInstance or endOfMibView.
  bool Exception() const { return tag >= kSnmpNoSuchObject && tag <= kSnmpEndOfMibView; }
};

// What an SNMPv1 message says.
struct SnmpAnswer {
  std::uint8_t pdu = 0;  // kSnmpGetResponse for an answer
  std::string community;
  std::int32_t request_id = 0;
  std::int32_t error_status = 0;  // kSnmpNoError, kSnmpNoSuchName, ...
  std::int32_t error_index = 0;   // 1-based, of the binding in error
  std::vector<SnmpBinding> bindings;  // all of them, in order: at most kSnmpMaxBindings

  // The first binding of `oid` (dotted as read), or null.
  const SnmpBinding* Find(std::string_view oid) const;
};

// The GetResponse in `bytes`, or nothing when they do not begin with a whole
// SNMPv1 GetResponse-PDU: another version or PDU, a length beyond what is left
// of what holds it, a length of more than 4 bytes or of the indefinite form,
// an INTEGER beyond 32 bits, an OID beyond kSnmpMaxOidArcs or 32-bit numbers,
// a binding that is not one OID and one value, more than kSnmpMaxBindings
// bindings (a message with more is refused whole, not read in part), more
// than kSnmpMaxMessage bytes. Bytes after the message are not read. The
// reader goes no deeper than the values of the bindings (whose own content is
// not parsed), so its nesting is bounded by its layout.
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

// What keeps a printer from printing, as the Host Resources MIB says it
// (RFC 2790), of the device at index N of the agent's hrDeviceTable.
inline constexpr std::string_view kHrDeviceType = "1.3.6.1.2.1.25.3.2.1.2";    // .N, an OID
inline constexpr std::string_view kHrDeviceStatus = "1.3.6.1.2.1.25.3.2.1.5";  // .N, INTEGER
inline constexpr std::string_view kHrPrinterStatus = "1.3.6.1.2.1.25.3.5.1.1";  // .N, INTEGER
inline constexpr std::string_view kHrPrinterDetectedErrorState = "1.3.6.1.2.1.25.3.5.1.2";  // .N, OCTET STRING
// The hrDeviceType of a printer.
inline constexpr std::string_view kHrDevicePrinter = "1.3.6.1.2.1.25.3.1.5";

// hrDeviceStatus
inline constexpr std::int32_t kHrDeviceUnknown = 1;
inline constexpr std::int32_t kHrDeviceRunning = 2;
inline constexpr std::int32_t kHrDeviceWarning = 3;
inline constexpr std::int32_t kHrDeviceTesting = 4;
inline constexpr std::int32_t kHrDeviceDown = 5;
// hrPrinterStatus
inline constexpr std::int32_t kHrPrinterOther = 1;
inline constexpr std::int32_t kHrPrinterUnknown = 2;
inline constexpr std::int32_t kHrPrinterIdle = 3;
inline constexpr std::int32_t kHrPrinterPrinting = 4;
inline constexpr std::int32_t kHrPrinterWarmup = 5;
// hrPrinterDetectedErrorState: bit k of the MIB (bit 0 the most significant
// of the first byte) is 1 << k here.
inline constexpr std::uint16_t kHrLowPaper = 1 << 0;
inline constexpr std::uint16_t kHrNoPaper = 1 << 1;
inline constexpr std::uint16_t kHrLowToner = 1 << 2;
inline constexpr std::uint16_t kHrNoToner = 1 << 3;
inline constexpr std::uint16_t kHrDoorOpen = 1 << 4;
inline constexpr std::uint16_t kHrJammed = 1 << 5;
inline constexpr std::uint16_t kHrOffline = 1 << 6;
inline constexpr std::uint16_t kHrServiceRequested = 1 << 7;
inline constexpr std::uint16_t kHrInputTrayMissing = 1 << 8;
inline constexpr std::uint16_t kHrOutputTrayMissing = 1 << 9;
inline constexpr std::uint16_t kHrMarkerSupplyMissing = 1 << 10;
inline constexpr std::uint16_t kHrOutputNearFull = 1 << 11;
inline constexpr std::uint16_t kHrOutputFull = 1 << 12;
inline constexpr std::uint16_t kHrInputTrayEmpty = 1 << 13;
inline constexpr std::uint16_t kHrOverduePreventMaint = 1 << 14;

struct HostPrinterStatus {
  std::int32_t device_status = 0;   // kHrDeviceRunning, ...; 0 when not said
  std::int32_t printer_status = 0;  // kHrPrinterIdle, ...; 0 when not said
  std::uint16_t errors = 0;         // kHrOffline | ...; 0 when not said
  bool operator==(const HostPrinterStatus&) const = default;
};

// The OIDs to ask for the printer at `index` (1 and up), in this order:
// hrDeviceType, hrDeviceStatus, hrPrinterStatus, hrPrinterDetectedErrorState.
// None for an index below 1.
std::vector<std::string> HostPrinterOids(int index);

// What the printer at `index` says of itself in `answer` to the GetRequest of
// HostPrinterOids(index) with `request_id` in `community`, or nothing: nothing
// unless the answer is a GetResponse to that request id in that community,
// its error-status noError, and its hrDeviceType.N is kHrDevicePrinter.
// An exception value (noSuchObject, ...) for any of the four objects is
// nothing too, as noSuchName would be from an SNMPv1 agent. A status missing
// from the answer, or not an INTEGER, is 0; so are the error bits when
// missing or not an OCTET STRING. The error bits are the first 16 of their
// string (agents send one byte or two); later ones are not read.
std::optional<HostPrinterStatus> ReadHostPrinterStatus(const SnmpAnswer& answer, std::int32_t request_id,
                                                       std::string_view community, int index);

}  // namespace printing

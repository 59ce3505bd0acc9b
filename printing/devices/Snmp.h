// The SNMP exchanges the printer layer has with a device: SNMPv1 GetRequests
// and GetNextRequests for a few objects, and the reading of their
// GetResponse, in BER of our own (no SNMP library is needed for these). Both
// are bounded in size; the reader takes any bytes at all and never reads
// outside them. On top of them, the reading of what a printer says of itself
// through the Host Resources MIB (RFC 2790) and of its supplies through the
// Printer MIB (RFC 3805), and the conversation with a printer's agent that
// asks them, over any exchange of datagrams.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "DeviceState.h"

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
// An SNMPv1 GetNextRequest of the same layout, each binding asking for the
// object that follows its OID; empty as SnmpGetRequest is.
std::vector<std::uint8_t> SnmpGetNextRequest(std::string_view community, const std::vector<std::string>& oids,
                                             std::int32_t request_id);

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

// The OIDs to ask again after `answer` to a request for `asked`, when an
// SNMPv1 agent answered noSuchName for one of them (error-index k, counted
// from 1): all of `asked` but the k-th, in their order. Nothing for any other
// answer: no error or another one, an error-index that names none of them,
// or nothing left to ask.
std::optional<std::vector<std::string>> AskedAgain(const SnmpAnswer& answer, const std::vector<std::string>& asked);

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
// its error-status noError, and its hrDeviceType.N is kHrDevicePrinter (an
// exception value there, noSuchObject or the like, is no type). The other
// three may be missing (an agent that lacks them was asked again without
// them): a status missing from the answer, an exception or not an INTEGER, is
// 0; so are the error bits when missing, an exception or not an OCTET STRING.
// The error bits are the first 16 of their string (agents send one byte or
// two); later ones are not read.
std::optional<HostPrinterStatus> ReadHostPrinterStatus(const SnmpAnswer& answer, std::int32_t request_id,
                                                       std::string_view community, int index);

// The supplies of a printer in the Printer MIB (RFC 3805): the columns of its
// prtMarkerSuppliesTable, each row at .N.S of the column, N the printer's
// hrDeviceIndex and S the supply's prtMarkerSuppliesIndex.
inline constexpr std::string_view kPrtMarkerSuppliesClass = "1.3.6.1.2.1.43.11.1.1.4";        // INTEGER
inline constexpr std::string_view kPrtMarkerSuppliesDescription = "1.3.6.1.2.1.43.11.1.1.6";  // OCTET STRING
inline constexpr std::string_view kPrtMarkerSuppliesMaxCapacity = "1.3.6.1.2.1.43.11.1.1.8";  // INTEGER
inline constexpr std::string_view kPrtMarkerSuppliesLevel = "1.3.6.1.2.1.43.11.1.1.9";        // INTEGER
// prtMarkerSuppliesClass
inline constexpr std::int32_t kSupplyOther = 1;
inline constexpr std::int32_t kSupplyThatIsConsumed = 3;
inline constexpr std::int32_t kReceptacleThatIsFilled = 4;
// Most rows of the table that are read.
inline constexpr std::size_t kMaxSupplies = 16;
// Longest name of a supply kept, in bytes of UTF-8 (the MIB's own bound).
inline constexpr std::size_t kMaxSupplyName = 255;

// One row of the table as its agent gave it; a column it did not give for
// the row is missing.
struct SupplyRow {
  std::uint32_t index = 0;  // S
  std::optional<std::int32_t> supply_class;
  std::optional<std::string> description;  // its bytes, as they came
  std::optional<std::int32_t> max_capacity, level;
  bool operator==(const SupplyRow&) const = default;
};

// The OIDs of the GetNextRequest for the row after supply `after` of the
// printer at `index`: the four columns (class, description, max capacity,
// level) at .index.after, or at .index for the first row (`after` 0). None
// for an index below 1.
std::vector<std::string> SupplyColumnOids(int index, std::uint32_t after);

// The row that `answer` to the GetNextRequest of SupplyColumnOids(index,
// after) with `request_id` in `community` gives: of the four bindings (one per
// column, in order), those whose OID stays in its column of printer `index`
// at a supply above `after` (and is no exception value); the row is the
// lowest such supply, with the values of the columns that gave it (a value
// of another type is missing). Nothing when no column gives one (the end of
// the table), or unless the answer is a GetResponse to that request id in
// that community, its error-status noError, with four bindings.
std::optional<SupplyRow> ReadSupplyRow(const SnmpAnswer& answer, std::int32_t request_id,
                                       std::string_view community, int index, std::uint32_t after);

// A supply's description as text: valid UTF-8 as it is, any other byte as
// Latin-1, control characters left out, white space at either end trimmed,
// at most kMaxSupplyName bytes (whole characters).
std::string SupplyName(std::string_view bytes);

// A row in the printer layer's words. Its level in percent of its maximum
// capacity (rounded down, 0 to 100) where both are known, what is left of a
// supply that is consumed (or of another class), how full a receptacle is
// (the MIB gives a receptacle's free space); else -3 where the agent says
// some remains, -1 where it says "other" (-1) for the level, or a level
// without a maximum (-1), and -2 (unknown) for anything else. The MIB gives
// no mark: -1.
Supply SupplyOf(const SupplyRow& row);

// One request to a printer's agent and its answer, as the caller's transport
// carries them, within the caller's bounds: the answer's bytes, or nothing
// when none came.
using SnmpExchange = std::function<std::optional<std::vector<std::uint8_t>>(const std::vector<std::uint8_t>& request)>;

// What to ask a printer's agent.
struct AgentQuestion {
  std::string community;
  int index = 1;                        // the printer's hrDeviceIndex
  std::vector<std::string> first = {};  // asked before its Host Resources objects in the same request (HP's device ID)
  bool supplies = true;                 // whether its supplies table is read
};

// What a printer's agent said, as far as the conversation got.
struct AgentWord {
  bool answered = false;  // it answered the first request (its request id), whatever the answer said
  std::optional<HostPrinterStatus> status = std::nullopt;  // the printer's word, when device N is a printer
  std::vector<Supply> supplies = {};  // its supplies table, in the table's order, as far as it was read
  bool operator==(const AgentWord&) const = default;
};

// Asks a printer's agent through `exchange`, each request with a request id
// of `new_id`'s: one GetRequest for `first` and HostPrinterOids(index), and
// when an SNMPv1 agent answers noSuchName for one of them (AskedAgain), at
// once again without it, until an answer can be read (so at most once for
// each object; never once hrDeviceType is lacking). Once the printer's word
// is read, and with `supplies`, its supplies table is walked with one
// GetNextRequest for each row (SupplyColumnOids, ReadSupplyRow), up to
// kMaxSupplies rows. The conversation ends at the first exchange that gives
// no answer, an answer that cannot be read or names another request, or an
// error status. `heard`, when given, is told what is known after each answer
// that adds to it, so that a caller that stops waiting keeps what came by
// then.
AgentWord AskPrinterAgent(const AgentQuestion& question, const SnmpExchange& exchange,
                          const std::function<std::int32_t()>& new_id,
                          const std::function<void(const AgentWord&)>& heard = {});

}  // namespace printing

// The printer layer's SNMPv1 GET and the reading of its answer: the request
// against what net-snmp's snmpget sends, the reader against answers of every
// shape, and both against an HP printer's agent on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "UdpPeer.h"
#include "devices/Snmp.h"

using namespace printing;
using namespace printing::testing;
using namespace std::chrono_literals;
using namespace std::string_literals;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Hex(const std::string& text) {
  Bytes out;
  for (std::size_t at = 0; at + 1 < text.size();) {
    if (text[at] == ' ') {
      ++at;
      continue;
    }
    out.push_back(static_cast<std::uint8_t>(std::strtoul(text.substr(at, 2).c_str(), nullptr, 16)));
    at += 2;
  }
  return out;
}

std::string Repeated(const std::string& text, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += text;
  return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// An element, its length as short as it goes, or in `long_form` bytes.
Bytes T(std::uint8_t tag, const Bytes& content, std::size_t long_form = 0) {
  if (long_form == 0 && content.size() >= 0x80) long_form = 4;
  Bytes out{tag};
  if (long_form == 0) out.push_back(static_cast<std::uint8_t>(content.size()));
  else out.push_back(static_cast<std::uint8_t>(0x80 | long_form));
  for (std::size_t i = long_form; i > 0; --i) out.push_back(static_cast<std::uint8_t>(content.size() >> (8 * (i - 1))));
  return out + content;
}
Bytes S(const std::string& text) { return T(kSnmpOctetString, Bytes(text.begin(), text.end())); }

const std::string kDeviceId = "MFG:HP;MDL:HP LaserJet 4250;CMD:PJL,PCL,POSTSCRIPT;";
const Bytes kIdOid = Hex("06 0d 2b 06 01 04 01 0b 02 03 09 01 01 07 00");

// A GetResponse of which each part can be changed.
struct Parts {
  Bytes version = Hex("02 01 00");
  Bytes community = S("public");
  std::uint8_t pdu = kSnmpGetResponse;
  Bytes request_id = Hex("02 04 25 8d 3f 7b");
  Bytes status = Hex("02 01 00");
  Bytes index = Hex("02 01 00");
  Bytes bindings = T(0x30, T(0x30, kIdOid + S(kDeviceId)));
  Bytes after_pdu = {};
  std::size_t long_form = 0;  // of the message's length
};
Bytes Message(const Parts& p) {
  return T(0x30, p.version + p.community + T(p.pdu, p.request_id + p.status + p.index + p.bindings) + p.after_pdu,
           p.long_form);
}
std::optional<SnmpAnswer> Read(const Bytes& bytes) { return ReadSnmpAnswer(bytes.data(), bytes.size()); }
// What an agent on `port` of loopback answers.
std::optional<SnmpAnswer> Ask(int port, const Bytes& request, std::chrono::milliseconds wait = 10s) {
  const std::optional<Datagram> got = AskUdp(port, request, wait);
  return got ? Read(*got) : std::nullopt;
}

TEST(Snmp, TheRequestsAreWhatSnmpgetAndSnmpgetnextSend) {
  // Captured on loopback from net-snmp 5.9.3 (snmpget -v1 -c COMMUNITY HOST
  // OID...), or seen with its -d.
  const std::string hp(kHpDeviceIdOid);
  const std::vector<std::string> at_1 = HostPrinterOids(1), at_200 = HostPrinterOids(200);
  struct Case {
    std::string community;
    std::vector<std::string> oids;
    std::int32_t request_id;
    std::string bytes;
  };
  const Case cases[] = {
      {"public", {hp}, 0x258d3f7b,
       "302e02010004067075626c6963a0210204258d3f7b02010002010030133011060d2b060104010b020309010107000500"},
      {"public.1", {hp}, 0x3ff3330e,
       "303002010004087075626c69632e31a02102043ff3330e02010002010030133011060d2b060104010b020309010107000500"},
      {"", {hp}, 0x360f3220, "30280201000400a0210204360f322002010002010030133011060d2b060104010b020309010107000500"},
      {"public", {"2.999.4294967295.127.128.16383.16384"}, 0x786f64ec,
       "303002010004067075626c6963a0230204786f64ec02010002010030153013060f88378fffffff7f7f8100ff7f8180000500"},
      {std::string(200, 'c'), {hp}, 0x4a98dc2b,
       "3081f10201000481c8" + Repeated("63", 200) +
           "a02102044a98dc2b02010002010030133011060d2b060104010b020309010107000500"},
      {"public", at_1, 0x4256f8a5,
       "305f02010004067075626c6963a05202044256f8a50201000201003044300f060b2b060102011903020102010500300f060b2b"
       "060102011903020105010500300f060b2b060102011903050101010500300f060b2b060102011903050102010500"},
      {"public.1", {hp, at_200[0], at_200[1], at_200[2], at_200[3]}, 0x7fffd114,
       "307802010004087075626c69632e31a06902047fffd114020100020100305b3011060d2b060104010b0203090101070005003010"
       "060c2b060102011903020102814805003010060c2b060102011903020105814805003010060c2b06010201190305010181480500"
       "3010060c2b06010201190305010281480500"},
      // By hand: request-ids in as few bytes as keep their sign.
      {"c", {"1.3"}, -129, "301b 020100 040163 a013 0202ff7f 020100 020100 3007 3005 06012b 0500"},
      {"c", {"1.3"}, 128, "301b 020100 040163 a013 02020080 020100 020100 3007 3005 06012b 0500"},
      {"c", {"1.3"}, -1, "301a 020100 040163 a012 0201ff 020100 020100 3007 3005 06012b 0500"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SnmpGetRequest(c.community, c.oids, c.request_id), Hex(c.bytes)) << c.community << " " << c.oids[0];
    EXPECT_TRUE(c.oids.size() > 1 || SnmpGetRequest(c.community, c.oids[0], c.request_id) == Hex(c.bytes));
  }  // snmpgetnext -v1 ... sends the same, with a GetNextRequest-PDU.
  const std::string supplies = "1.3.6.1.2.1.43.11.1.1.", last = ".200.65535";
  const Case next[] = {
      {"public", SupplyColumnOids(1, 0), 0x175d7ef6,
       "305f02010004067075626c6963a1520204175d7ef60201000201003044300f060b2b060102012b0b010104010500300f060b2b0601"
       "02012b0b010106010500300f060b2b060102012b0b010108010500300f060b2b060102012b0b010109010500"},
      {"public.1", SupplyColumnOids(1, 1), 0x04f79ec4,
       "306502010004087075626c69632e31a156020404f79ec402010002010030483010060c2b060102012b0b010104010105003010060c"
       "2b060102012b0b010106010105003010060c2b060102012b0b010108010105003010060c2b060102012b0b01010901010500"},
      {"private", SupplyColumnOids(200, 65535), 0x008fb3b9,
       "3070020100040770726976617465a1620204008fb3b902010002010030543013060f2b060102012b0b010104814883ff7f050030"
       "13060f2b060102012b0b010106814883ff7f05003013060f2b060102012b0b010108814883ff7f05003013060f2b060102012b0b01"
       "0109814883ff7f0500"},
      {"", {"1.3"}, 0x4320aee3, "301c0201000400a11502044320aee30201000201003007300506012b0500"},
  };
  for (const Case& c : next) EXPECT_EQ(SnmpGetNextRequest(c.community, c.oids, c.request_id), Hex(c.bytes)) << c.community;
  EXPECT_EQ(SupplyColumnOids(200, 65535)[3], supplies + "9" + last);
  EXPECT_TRUE(SnmpGetNextRequest("public", {"1.40"}, 1).empty() && SupplyColumnOids(0, 0).empty());
}

TEST(Snmp, OnlyOidsThatCanBeEncodedMakeARequest) {
  const std::string longest = "1.3" + Repeated(".1", kSnmpMaxOidArcs - 2);
  struct Case {
    std::string oid;
    std::optional<std::string> read_as;  // by an agent; nothing: no request
  };
  const std::nullopt_t no = std::nullopt;
  const Case cases[] = {
      {"1.3.6.1.2.1.1.1.0", "1.3.6.1.2.1.1.1.0"}, {"0.39", "0.39"}, {"1.39", "1.39"}, {"2.40", "2.40"},
      {"2.4294967215", "2.4294967215"}, {"1.3.4294967295", "1.3.4294967295"}, {"1.3.00017", "1.3.17"},
      {longest, longest}, {"", no}, {"1", no}, {"1.", no}, {".1.3", no}, {"1..3", no}, {"3.1", no}, {"0.40", no},
      {"1.40", no}, {"2.4294967216", no}, {"1.3.4294967296", no}, {"1.3.99999999999999999999999", no},
      {"1.3.-1", no}, {"1.3.a", no}, {" 1.3", no}, {"1.3 ", no}, {"1,3", no}, {longest + ".1", no},
  };
  for (const Case& c : cases) {
    const Bytes request = SnmpGetRequest("public", c.oid, 1);
    ASSERT_EQ(!request.empty(), c.read_as.has_value()) << c.oid;
    if (request.empty()) continue;
    const std::optional<SnmpAnswer> read = ReadSnmpMessage(request.data(), request.size());
    ASSERT_TRUE(read && read->bindings.size() == 1) << c.oid;
    EXPECT_EQ(read->pdu, kSnmpGetRequest);
    EXPECT_EQ(read->bindings[0].tag, kSnmpNull);
    EXPECT_EQ(read->bindings[0].oid, *c.read_as);
  }
  EXPECT_FALSE(SnmpGetRequest(std::string(kSnmpMaxCommunity, 'x'), kHpDeviceIdOid, 1).empty());
  EXPECT_TRUE(SnmpGetRequest(std::string(kSnmpMaxCommunity + 1, 'x'), kHpDeviceIdOid, 1).empty());
  // Up to kSnmpMaxBindings OIDs, all of them good.
  using Oids = std::vector<std::string>;
  EXPECT_FALSE(SnmpGetRequest("public", Oids(kSnmpMaxBindings, longest), 1).empty());
  for (const Oids& none : {Oids{}, Oids{"1.3", "1.40"}, Oids(kSnmpMaxBindings + 1, "1.3")})
    EXPECT_TRUE(SnmpGetRequest("public", none, 1).empty()) << none.size();
}

TEST(Snmp, AnswersAreReadWhenWholeAndOfTheirKind) {
  Bytes nested = Hex("05 00");
  for (int i = 0; i < 2000; ++i) nested = T(0x30, nested);
  const auto with_value = [](const Bytes& value) { return Message({.bindings = T(0x30, T(0x30, kIdOid + value))}); };
  constexpr std::int32_t kId = 0x258d3f7b;
  struct Case {
    const char* what;
    Bytes bytes;
    std::optional<std::int32_t> request_id;  // nothing: no answer
  };
  const Case cases[] = {
      {"a GetResponse", Message({}), kId},
      {"bytes after it", Message({}) + Hex("00 00 ff"), kId},
      {"lengths of 1 to 4 bytes",
       T(0x30,
         Hex("02 81 01 00") + T(0x04, Bytes{'p'}, 2) +
             T(0xA2, Hex("02 84 00 00 00 01 07 02 01 00 02 01 00") + T(0x30, T(0x30, kIdOid + S(kDeviceId), 3), 4), 1),
         4),
       7},
      {"a length of 4 bytes", Message({.long_form = 4}), kId},
      {"a length of 5 bytes", Message({.long_form = 5}), std::nullopt},
      {"an indefinite length", Hex("30 80") + Hex("02 01 00") + S("public") + Hex("00 00"), std::nullopt},
      {"a length of 2^32 - 1", Hex("30 84 ff ff ff ff 02 01 00"), std::nullopt},
      {"a length one beyond the datagram", Hex("30 07 02 01 00 04 01 70"), std::nullopt},
      {"a length one beyond what holds it", Hex("30 06 02 01 00 04 02 70"), std::nullopt},
      {"a value longer than its binding", with_value(Hex("04 7f 41")), std::nullopt},
      {"a binding longer than the list", Message({.bindings = Hex("30 02 30 05 06 01 2b 05 00")}), std::nullopt},
      {"a long tag", with_value(Hex("1f 01 00")), std::nullopt},
      {"SNMPv2c", Message({.version = Hex("02 01 01")}), std::nullopt},
      {"SNMPv3", Message({.version = Hex("02 01 03")}), std::nullopt},
      {"a version of 5 bytes", Message({.version = Hex("02 05 00 00 00 00 00")}), std::nullopt},
      {"no version", T(0x30, S("public") + T(0xA2, Hex("02 01 01 02 01 00 02 01 00 30 00"))), std::nullopt},
      {"a GetRequest", Message({.pdu = kSnmpGetRequest}), std::nullopt},
      {"a GetNextRequest", Message({.pdu = kSnmpGetNextRequest}), std::nullopt},
      {"a SetRequest", Message({.pdu = kSnmpSetRequest}), std::nullopt},
      {"a Trap", Message({.pdu = 0xA4}), std::nullopt},
      {"a Report", Message({.pdu = 0xA8}), std::nullopt},
      {"a SEQUENCE for the PDU", Message({.pdu = 0x30}), std::nullopt},
      {"a request-id of 5 bytes", Message({.request_id = Hex("02 05 00 ff ff ff ff")}), std::nullopt},
      {"an empty request-id", Message({.request_id = Hex("02 00")}), std::nullopt},
      {"a community that is no OCTET STRING", Message({.community = Hex("02 01 00")}), std::nullopt},
      {"more after the PDU", Message({.after_pdu = Hex("05 00")}), std::nullopt},
      {"more after the bindings", Message({.bindings = T(0x30, {}) + Hex("05 00")}), std::nullopt},
      {"no bindings", Message({.bindings = T(0x30, {})}), kId},
      {"a binding without value", Message({.bindings = T(0x30, T(0x30, kIdOid))}), std::nullopt},
      {"a binding of three", with_value(S("x") + S("y")), std::nullopt},
      {"a later binding cut short", Message({.bindings = T(0x30, T(0x30, kIdOid + S("x")) + Hex("30 05 06 01"))}),
       std::nullopt},
      {"a value 2000 sequences deep", with_value(nested), kId},
      {"a device ID of 60 KiB", with_value(S(std::string(60 * 1024, 'x'))), kId},
      {"a device ID of 64 KiB", with_value(S(std::string(64 * 1024, 'x'))), std::nullopt},
  };
  for (const Case& c : cases) {
    const std::optional<SnmpAnswer> answer = ReadSnmpAnswer(c.bytes.data(), c.bytes.size());
    ASSERT_EQ(answer.has_value(), c.request_id.has_value()) << c.what;
    if (answer) {
      EXPECT_EQ(answer->request_id, *c.request_id) << c.what;
    }
  }

  const Bytes whole = Message({});
  const std::optional<SnmpAnswer> answer = ReadSnmpAnswer(whole.data(), whole.size());
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->pdu, kSnmpGetResponse);
  EXPECT_EQ(answer->community, "public");
  EXPECT_EQ(answer->error_status, 0);
  ASSERT_EQ(answer->bindings.size(), 1u);
  EXPECT_EQ(answer->bindings[0].oid, kHpDeviceIdOid);
  EXPECT_EQ(answer->bindings[0].OctetString(), kDeviceId);
  // Cut anywhere, it is no answer.
  for (std::size_t size = 0; size < whole.size(); ++size) EXPECT_FALSE(ReadSnmpAnswer(whole.data(), size)) << size;
  EXPECT_FALSE(ReadSnmpAnswer(nullptr, 0));
  // The request is no answer; an agent reads it.
  const Bytes request = SnmpGetRequest("public", kHpDeviceIdOid, 5);
  EXPECT_FALSE(ReadSnmpAnswer(request.data(), request.size()));
  EXPECT_TRUE(ReadSnmpMessage(request.data(), request.size()));
}

TEST(Snmp, ObjectIdentifiersAndIntegersOfAnswers) {
  struct Case {
    std::string oid;  // BER content, in hex
    std::optional<std::string> dotted;
  };
  const Case oids[] = {
      {"2b0601", "1.3.6.1"},
      {"00", "0.0"},
      {"27", "0.39"},
      {"28", "1.0"},
      {"4f", "1.39"},
      {"50", "2.0"},
      {"8837", "2.999"},
      {"8fffffff7f", "2.4294967215"},
      {"2b8fffffff7f", "1.3.4294967295"},
      {"2b8080808001", "1.3.1"},  // longer than it need be
      {"2b9080808000", std::nullopt},  // 2^32
      {"2b86", std::nullopt},          // cut inside a number
      {"", std::nullopt},
      {"2b" + Repeated("01", 126), "1.3" + Repeated(".1", 126)},  // 128 numbers
      {"2b" + Repeated("01", 127), std::nullopt},
  };
  for (const Case& c : oids) {
    const Bytes bytes = Message({.bindings = T(0x30, T(0x30, T(kSnmpObjectId, Hex(c.oid)) + S("x")))});
    const std::optional<SnmpAnswer> answer = ReadSnmpAnswer(bytes.data(), bytes.size());
    ASSERT_EQ(answer.has_value(), c.dotted.has_value()) << c.oid;
    if (answer) {
      EXPECT_EQ(answer->bindings.at(0).oid, *c.dotted) << c.oid;
    }
  }

  struct Integer {
    const char* bytes;
    std::int32_t value;
  };
  const Integer integers[] = {{"02 01 00", 0},          {"02 01 7f", 127},         {"02 01 80", -128},
                              {"02 02 00 80", 128},     {"02 02 ff 7f", -129},     {"02 04 7f ff ff ff", 0x7fffffff},
                              {"02 04 80 00 00 00", -0x7fffffff - 1},              {"02 03 00 00 05", 5}};
  for (const Integer& i : integers) {
    const Bytes bytes = Message({.status = Hex(i.bytes)});
    const std::optional<SnmpAnswer> answer = ReadSnmpAnswer(bytes.data(), bytes.size());
    ASSERT_TRUE(answer) << i.bytes;
    EXPECT_EQ(answer->error_status, i.value) << i.bytes;
  }
}

TEST(Snmp, EveryBindingIsReadWithItsValueAsItCame) {
  const std::nullopt_t no = std::nullopt;
  struct Case {
    Bytes value;
    std::optional<std::int32_t> integer;
    std::optional<std::string> octets, oid;
  };
  const Case cases[] = {
      {Hex("06 09 2b 06 01 02 01 19 03 01 05"), no, no, std::string(kHrDevicePrinter)},
      {Hex("02 01 05"), 5, no, no}, {Hex("02 04 80 00 00 00"), -0x7fffffff - 1, no, no},
      {Hex("02 05 00 80 00 00 00"), no, no, no}, {Hex("02 00"), no, no, no}, {Hex("41 01 05"), no, no, no},
      {Hex("04 02 02 40"), no, "\x02\x40", no}, {Hex("04 00"), no, "", no}, {Hex("05 00"), no, no, no},
      {Hex("80 00"), no, no, no}, {Hex("81 00"), no, no, no}, {Hex("82 00"), no, no, no},
      {Hex("06 02 2b 86"), no, no, no}, {T(0x30, Hex("02 01 05")), no, no, no},
  };
  Bytes bindings, most;
  for (std::size_t i = 0; i < std::size(cases); ++i)
    bindings = bindings + T(0x30, T(kSnmpObjectId, {0x2b, static_cast<std::uint8_t>(i)}) + cases[i].value);
  const Bytes whole = Message({.bindings = T(0x30, bindings)});
  const std::optional<SnmpAnswer> answer = Read(whole);
  ASSERT_TRUE(answer && answer->bindings.size() == std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const SnmpBinding& b = answer->bindings[i];
    const Case& c = cases[i];
    EXPECT_EQ(std::tuple(b.oid, T(b.tag, b.value), b.Integer(), b.OctetString(), b.ObjectId(), b.Exception()),
              std::tuple("1.3." + std::to_string(i), c.value, c.integer, c.octets, c.oid, i >= 9 && i <= 11));
  }
  EXPECT_TRUE(answer->Find("1.3.1") == &answer->bindings[1] && answer->Find("1.3.99") == nullptr);
  for (std::size_t size = 0; size < whole.size(); ++size) EXPECT_FALSE(ReadSnmpAnswer(whole.data(), size)) << size;
  // kSnmpMaxBindings are read; one more refuses the message.
  for (std::size_t i = 0; i < kSnmpMaxBindings; ++i) most = most + T(0x30, kIdOid + Hex("05 00"));
  EXPECT_EQ(Read(Message({.bindings = T(0x30, most)})).value().bindings.size(), kSnmpMaxBindings);
  EXPECT_FALSE(Read(Message({.bindings = T(0x30, most + T(0x30, kIdOid + Hex("05 00")))})));
}

TEST(Snmp, GarbageIsNoAnswer) {
  unsigned x = 2024;
  for (std::size_t size = 0; size < 3000; size += 7) {
    Bytes noise(size);
    for (std::uint8_t& b : noise) b = static_cast<std::uint8_t>((x = x * 1103515245 + 12345) >> 16);
    // Noise, and noise behind the first bytes of an answer.
    if (size % 2 && size > 8) std::copy_n(Message({}).begin(), 8, noise.begin());
    EXPECT_FALSE(ReadSnmpAnswer(noise.data(), noise.size())) << size;
  }
  for (std::uint8_t fill : {0x00, 0x30, 0x80, 0xff}) {
    const Bytes same(100, fill);
    EXPECT_FALSE(ReadSnmpAnswer(same.data(), same.size())) << int{fill};
  }
}

TEST(Snmp, TheCommunityOfAnHplipUri) {
  struct Case {
    const char* uri;
    std::optional<std::string_view> community;
  };
  const Case cases[] = {
      {"hp:/net/HP_LaserJet_4250?ip=10.0.0.5", "public"},
      {"hp:/net/HP_LaserJet_4250?ip=10.0.0.5&port=1", "public"},
      {"hp:/net/HP_LaserJet_4250?ip=10.0.0.5&port=2", "public.1"},
      {"hpfax:/net/HP_Officejet?hostname=office&port=3", "public.2"},
      {"hp:/net/HP_LaserJet?zc=NPI1A2B3C&port=4", "public.3"},
      {"hp:/net/HP_LaserJet?ip=10.0.0.5&PORT=3", "public.2"},
      {"hp:/net/HP_LaserJet?ip=10.0.0.5&port= +2x", "public.1"},
      {"hp:/net/HP_LaserJet?ip=10.0.0.5&port=0", ""},
      {"hp:/net/HP_LaserJet?ip=10.0.0.5&port=", ""},
      {"hp:/net/HP_LaserJet?ip=10.0.0.5&port=-0", ""},
      {"hp:/net/HP_LaserJet?ip=10.0.0.5&port=5", std::nullopt},
      {"hp:/net/HP_LaserJet?ip=10.0.0.5&port=-1", std::nullopt},
      {"hp:/net/HP_LaserJet?ip=10.0.0.5&port=99999999999999999999999", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(HpSnmpCommunity(c.uri), c.community) << c.uri;
}

TEST(Snmp, AnHpPrintersAgentOnLoopbackAnswers) {
  const std::string long_id = kDeviceId + std::string(300, 'x') + ";", hp(kHpDeviceIdOid), name = "1.3.6.1.2.1.1.5.0";
  UdpPeer agent(SnmpAgent("public.1", long_id));
  const std::optional<SnmpAnswer> answer = Ask(agent.Port(), SnmpGetRequest("public.1", {hp, hp}, 4711));
  ASSERT_TRUE(answer && answer->bindings.size() == 2);
  EXPECT_EQ(std::tuple(answer->request_id, answer->error_status, answer->bindings[0].OctetString(),
                       answer->bindings[1].OctetString()),
            std::tuple(4711, 0, long_id, long_id));

  // The first object it lacks is named, and the request's bindings come back.
  const std::optional<SnmpAnswer> unknown = Ask(agent.Port(), SnmpGetRequest("public.1", {hp, name, name}, -2));
  ASSERT_TRUE(unknown && unknown->bindings.size() == 3);
  EXPECT_EQ(std::tuple(unknown->request_id, unknown->error_status, unknown->error_index, unknown->bindings[1].oid,
                       unknown->bindings[0].tag),
            std::tuple(-2, kSnmpNoSuchName, 2, name, kSnmpNull));

  EXPECT_FALSE(Ask(agent.Port(), SnmpGetRequest("public", hp, 1), 300ms));
  EXPECT_EQ(agent.Received(), 3);
  EXPECT_FALSE(Ask(ClosedUdpPort(), SnmpGetRequest("public", hp, 1), 300ms));

  // One made to answer genErr, with another request-id.
  UdpPeer failing(SnmpAgent({"c", {{hp, SnmpString("x")}}, kSnmpGenErr, 1, 99}));
  const std::optional<SnmpAnswer> error = Ask(failing.Port(), SnmpGetRequest("c", hp, 5));
  ASSERT_TRUE(error && error->bindings.size() == 1);
  EXPECT_EQ(std::tuple(error->request_id, error->error_status, error->error_index, error->bindings[0].tag),
            std::tuple(99, kSnmpGenErr, 1, kSnmpNull));
}

TEST(Snmp, APrinterSaysWhatKeepsItFromPrintingThroughTheHostResourcesMib) {
  using W = HostPrinterStatus;
  const std::vector<std::string> oids = HostPrinterOids(1);
  // A printer at index 1 saying `device`, `printer` and the error bytes
  // `bits`, with `more` objects (one of tag 0: lacking).
  const auto agent = [&](std::int32_t device, std::int32_t printer, const std::string& bits, SnmpObjects more = {}) {
    SnmpObjects objects = HostPrinterObjects(1, {device, printer});
    objects[oids[3]] = SnmpString(bits);
    for (const auto& [oid, value] : more) objects[oid] = value;
    std::erase_if(objects, [](const auto& object) { return object.second.tag == 0; });
    return SnmpAgentSetup{"public", objects};
  };
  const SnmpValue lacks, exception{kSnmpNoSuchInstance, {}};
  const std::int32_t down = kHrDeviceDown, running = kHrDeviceRunning, warning = kHrDeviceWarning, other = 1;
  struct Case {
    const char* what;
    SnmpAgentSetup agent;
    std::optional<W> word;
    std::string community = "public";  // the reader's
    int index = 1;
    std::vector<std::string> asked = {};  // none: HostPrinterOids(index)
  };
  const Case cases[] = {
      {"idle", agent(running, kHrPrinterIdle, "\x00"s), W{running, kHrPrinterIdle, 0}},
      {"printing", agent(running, kHrPrinterPrinting, "\x00\x00"s), W{running, kHrPrinterPrinting, 0}},
      {"warming up", agent(warning, kHrPrinterWarmup, ""), W{warning, kHrPrinterWarmup, 0}},
      {"offline", agent(down, other, "\x02"), W{down, other, kHrOffline}},
      {"down without bits", agent(down, other, "\x00"s), W{down, other, 0}},
      {"jammed", agent(down, other, "\x04"), W{down, other, kHrJammed}},
      {"no paper", agent(down, other, "\x40\x00"s), W{down, other, kHrNoPaper}},
      {"door open", agent(down, other, "\x08"), W{down, other, kHrDoorOpen}},
      {"toner low", agent(warning, kHrPrinterIdle, "\x20"), W{warning, kHrPrinterIdle, kHrLowToner}},
      {"16 bits of 3 bytes", agent(down, other, "\x81\x03\xff"), W{down, other, 0xc081}},
      {"tray missing, service overdue", agent(down, other, "\x00\x82"s),
       W{down, other, kHrInputTrayMissing | kHrOverduePreventMaint}},
      {"no INTEGERs", agent(down, other, "\x02", {{oids[1], SnmpString("5")}, {oids[3], SnmpInteger(2)}}),
       W{0, other, 0}},
      {"objects not asked", agent(down, other, "\x02"), W{down, 0, 0}, "public", 1, {oids[0], oids[1]}},
      {"an object missing", agent(down, other, "\x02", {{oids[2], lacks}}), std::nullopt},
      {"hrDeviceType missing", agent(down, other, "\x02", {{oids[0], lacks}}), std::nullopt},
      {"hrDeviceType not asked", agent(down, other, "\x02"), std::nullopt, "public", 1, {oids[1], oids[2], oids[3]}},
      {"an exception", agent(down, other, "\x02", {{oids[3], exception}}), W{down, other, 0}},
      {"an exception for its type", agent(down, other, "\x02", {{oids[0], exception}}), std::nullopt},
      {"genErr", {"public", HostPrinterObjects(1, {}), kSnmpGenErr, 1}, std::nullopt},
      {"another community", agent(down, other, "\x02"), std::nullopt, "public.1"},
      {"another request-id", {"public", HostPrinterObjects(1, {}), 0, 0, 78}, std::nullopt},
      {"a type that is no OID", agent(down, other, "\x02", {{oids[0], SnmpString(oids[0])}}), std::nullopt},
      {"device 2 a disk", {"public", HostPrinterObjects(2, {}, "1.3.6.1.2.1.25.3.1.6")}, std::nullopt, "public", 2},
      {"device 2 a printer", {"public", HostPrinterObjects(2, {4, 4, 0x4100})}, W{4, 4, 0x4100}, "public", 2},
  };
  for (const Case& c : cases) {
    UdpPeer peer(SnmpAgent(c.agent));
    const std::vector<std::string> asked = c.asked.empty() ? HostPrinterOids(c.index) : c.asked;
    const std::optional<SnmpAnswer> answer = Ask(peer.Port(), SnmpGetRequest("public", asked, 77));
    ASSERT_TRUE(answer) << c.what;
    EXPECT_EQ(ReadHostPrinterStatus(*answer, 77, c.community, c.index), c.word) << c.what;
  }
  EXPECT_TRUE(HostPrinterOids(0).empty());
  EXPECT_EQ(HostPrinterObjects(1, {.errors = kHrOffline})[oids[3]].content, Datagram{0x02});
  EXPECT_EQ(HostPrinterObjects(1, {.errors = kHrOffline | kHrInputTrayMissing})[oids[3]].content, (Datagram{2, 0x80}));
}

// A printer at index 1 that is down with the offline bit, lacking the
// objects `lacking` (by their place in HostPrinterOids), with the supplies
// `rows`, and the supplies table of device 2 after them.
const std::vector<SupplyRow> kRows = {{2, kSupplyThatIsConsumed, "Black Toner", 100, 4},
                                      {9, kReceptacleThatIsFilled, "Waste Toner Box\0"s, 200, 10},
                                      {10, kSupplyThatIsConsumed, "Cyan \xf3ner", 100, -3},
                                      {11, kSupplyOther, std::nullopt, -2, 5000}};
const std::vector<Supply> kSupplies = {
    {"Black Toner", 4}, {"Waste Toner Box", 95, -1, true}, {"Cyan \xc3\xb3ner", -3}, {"", -2}};
SnmpAgentSetup Agent(std::vector<int> lacking = {}, bool exceptions = false, const std::vector<SupplyRow>& rows = kRows) {
  SnmpAgentSetup setup{"public", HostPrinterObjects(1, {kHrDeviceDown, kHrPrinterOther, kHrOffline})};
  for (int k : lacking) setup.objects.erase(HostPrinterOids(1)[k]);
  setup.objects.merge(SupplyObjects(1, rows));
  setup.objects.merge(SupplyObjects(2, {{1, 3, "Drum", 100, 50}}));
  setup.exceptions = exceptions;
  return setup;
}

TEST(Snmp, APrintersAgentIsAskedAgainWithoutWhatItLacksAndThenForItsSupplies) {
  using W = HostPrinterStatus;
  const W down{kHrDeviceDown, kHrPrinterOther, kHrOffline};
  std::vector<SupplyRow> twenty;
  std::vector<Supply> sixteen;
  for (std::uint32_t i = 1; i <= 20; ++i) twenty.push_back({i, 3, "Ink " + std::to_string(i), 10, 5});
  for (std::uint32_t i = 1; i <= 16; ++i) sixteen.push_back({"Ink " + std::to_string(i), 50});
  SnmpAgentSetup other = Agent();
  other.community = "private";
  const std::vector<std::string> hp = {std::string(kHpDeviceIdOid)};
  struct Case {
    const char* what;
    UdpPeer::Answer agent;
    AgentWord word;
    int requests;  // one for each object it lacks, one for the word, one for each row and one past them
    std::vector<std::string> first = {};
  };
  const Case cases[] = {
      {"all there", SnmpAgent(Agent()), {true, down, kSupplies}, 6},
      {"only a type", SnmpAgent(Agent({1, 2, 3})), {true, W{0, 0, 0}, kSupplies}, 9},
      {"no type", SnmpAgent(Agent({0})), {true}, 1},
      {"exceptions", SnmpAgent(Agent({2, 3}, true)), {true, W{5, 0, 0}, kSupplies}, 6},
      {"20 supplies", SnmpAgent(Agent({}, false, twenty)), {true, down, sixteen}, 17},
      {"genErr", SnmpAgent({"public", Agent().objects, kSnmpGenErr, 1}), {true}, 1},
      {"another request id", SnmpAgent({"public", Agent().objects, 0, 0, 7}), {}, 1},
      {"another community", SnmpAgent(other), {}, 1},
      {"an HP printer's without a type", SnmpAgent("public", "MFG:HP;"), {true}, 1, hp},
      {"no HP device ID", SnmpAgent(Agent({3})), {true, W{5, 1, 0}, kSupplies}, 8, hp},
  };
  for (const Case& c : cases) {
    int requests = 0, id = 100;
    std::vector<AgentWord> heard;
    const AgentWord word = AskPrinterAgent(
        {"public", 1, c.first}, [&](const Datagram& request) { return ++requests, c.agent(request); },
        [&] { return id++; }, [&](const AgentWord& w) { heard.push_back(w); });
    EXPECT_EQ(word, c.word) << c.what;
    EXPECT_EQ(requests, c.requests) << c.what;
    EXPECT_TRUE(heard.empty() ? !word.answered : heard.back() == word) << c.what;
  }
  // An agent whose next row is always its first gives one row.
  const UdpPeer::Answer agent = SnmpAgent(Agent());
  const AgentWord stuck = AskPrinterAgent({"public"}, [&](const Datagram& request) {
    const SnmpAnswer asked = ReadSnmpMessage(request.data(), request.size()).value();
    if (asked.pdu == kSnmpGetRequest) return agent(request);
    return agent(SnmpGetNextRequest("public", SupplyColumnOids(1, 0), asked.request_id));
  }, [] { return 5; });
  EXPECT_EQ(stuck.supplies, std::vector<Supply>{kSupplies[0]});
}

TEST(Snmp, ASuppliesRowIsTheLowestSupplyThatTheColumnsGiveAfterTheLastRow) {
  const std::string c = "1.3.6.1.2.1.43.11.1.1.";
  const SnmpValue end{kSnmpEndOfMibView, {}}, toner[] = {SnmpInteger(3), SnmpString("Ink"), SnmpInteger(8), SnmpInteger(2)};
  // The answer whose bindings are the columns at rows `at`, of these values or `values`.
  const auto answer = [&](std::vector<std::string> at, std::vector<SnmpValue> values = {}) {
    SnmpAnswer a;
    std::tie(a.pdu, a.community, a.request_id) = std::tuple(kSnmpGetResponse, "public", 9);
    for (std::size_t i = 0; i < at.size(); ++i)
      a.bindings.push_back({c + "4689"[i] + "." + at[i], (values.empty() ? toner : values.data())[i].tag,
                            (values.empty() ? toner : values.data())[i].content});
    return a;
  };
  const std::optional<SupplyRow> no;
  const std::pair<SnmpAnswer, std::optional<SupplyRow>> cases[] = {
      {answer({"1.2", "1.2", "1.2", "1.2"}), SupplyRow{2, 3, "Ink", 8, 2}},
      {answer({"1.3", "1.2", "1.9", "1.2"}), SupplyRow{2, {}, "Ink", {}, 2}},  // columns ahead
      {answer({"1.2", "2.1", "1.4294967295", "1.2"}), SupplyRow{2, 3, {}, {}, 2}},  // one in device 2
      {answer({"2.1", "2.1", "2.1", "2.1"}), no},
      {answer({"1.1", "1.0", "1", "1.2.1"}), no},  // not after row 1, or no row
      {answer({"1.2", "1.2", "1.2", "1.2"}, {end, end, end, end}), no},
      {answer({"1.7", "1.7", "1.7", "1.7"}, {toner[1], toner[0], toner[3], toner[1]}), SupplyRow{7, {}, {}, 2, {}}},
      {answer({"1.2", "1.2", "1.2"}), no},
  };
  for (const auto& [read, row] : cases) EXPECT_EQ(ReadSupplyRow(read, 9, "public", 1, 1), row) << read.bindings[0].oid;
  EXPECT_TRUE(ReadSupplyRow(cases[0].first, 9, "public", 1, 0));
  EXPECT_FALSE(ReadSupplyRow(cases[0].first, 8, "public", 1, 0) || ReadSupplyRow(cases[0].first, 9, "c", 1, 0));
}

TEST(Snmp, ASupplysLevelAndNameAsThePrinterLayerSaysThem) {
  const std::nullopt_t no = std::nullopt;
  const std::int32_t big = 0x7fffffff;
  // Class, max capacity and level, and the level in percent.
  const std::tuple<std::optional<std::int32_t>, std::optional<std::int32_t>, std::optional<std::int32_t>, int> levels[] =
      {{3, 100, 4, 4},   {1, 200, 50, 25},  {no, 3, 2, 66},   {3, 100, 150, 100}, {3, 1, big, 100}, {3, big, 1, 0},
       {4, 100, 5, 95},  {4, 100, 0, 100},  {4, 100, 150, 0}, {4, 3, 2, 34},      {3, 100, -3, -3}, {4, 100, -3, -3},
       {3, 100, -2, -2}, {3, 100, -1, -1},  {3, 100, -4, -2}, {3, -1, 50, -1},    {3, -2, 50, -2},  {3, 0, 50, -2},
       {3, -1, -3, -3},  {3, no, 50, -2},   {3, 100, no, -2}};
  for (const auto& [supply_class, max, level, percent] : levels) {
    const Supply s = SupplyOf({1, supply_class, "x", max, level});
    EXPECT_EQ(std::tuple(s.level, s.mark, s.fills), std::tuple(percent, -1, supply_class == 4))
        << supply_class.value_or(0) << " " << max.value_or(0) << " " << level.value_or(0);
  }
  const std::pair<std::string, std::string> names[] = {
      {"  Black Toner\0\0"s, "Black Toner"},
      {"Black\tToner\r\n\x7f\x85\xc2\x85\xc2\x9f", "BlackToner"},  // controls, C1 ones too
      {"T\xf3ner \xa0\xff", "T\xc3\xb3ner \xc2\xa0\xc3\xbf"},  // Latin-1
      {"T\xc3\xb3ner \xe2\x82\xac \xf0\x9f\x96\xa8", "T\xc3\xb3ner \xe2\x82\xac \xf0\x9f\x96\xa8"},  // UTF-8
      {"\xc3", "\xc3\x83"}, {"\xc0\xaf", "\xc3\x80\xc2\xaf"}, {"\xed\xa0\xbf", "\xc3\xad\xc2\xa0\xc2\xbf"},
      {"\xf4\x90\x80\x80", "\xc3\xb4"}, {"\xe2\x82", "\xc3\xa2"},
      {std::string(300, 'x'), std::string(255, 'x')}, {Repeated("\xe9", 200), Repeated("\xc3\xa9", 127)},
  };
  for (const auto& [bytes, name] : names) EXPECT_EQ(SupplyName(bytes), name) << bytes;
}

}  // namespace

// Canon's BJNP get-ID command, and what counts as a printer's answer to it,
// also from a Canon printer's service on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "UdpPeer.h"
#include "devices/Bjnp.h"

using namespace printing;
using printing::testing::Datagram;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Header(std::uint8_t type, std::uint8_t command) {
  return {'B', 'J', 'N', 'P', type, command, 0, 0, 0x12, 0x34, 0, 0, 0, 0, 0, 0};
}

TEST(Bjnp, TheGetIdCommand) {
  struct Case {
    std::uint16_t sequence;
    Bytes bytes;
  };
  const Case cases[] = {
      {0, {'B', 'J', 'N', 'P', 0x01, 0x30, 0, 0, 0x00, 0x00, 0, 0, 0, 0, 0, 0}},
      {0x1234, {'B', 'J', 'N', 'P', 0x01, 0x30, 0, 0, 0x12, 0x34, 0, 0, 0, 0, 0, 0}},
      {0xFFFF, {'B', 'J', 'N', 'P', 0x01, 0x30, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(BjnpGetIdRequest(c.sequence), c.bytes) << c.sequence;
  // The command itself is no answer.
  const Bytes request = BjnpGetIdRequest(1);
  EXPECT_FALSE(IsBjnpAnswer(request.data(), request.size()));
}

TEST(Bjnp, WhatCountsAsAnAnswer) {
  const Datagram id_answer = *printing::testing::BjnpResponder("MFG:Canon;MDL:PIXMA MG5300;")(BjnpGetIdRequest(7));
  Bytes garbage(64);
  unsigned x = 8611;
  for (std::uint8_t& b : garbage) b = static_cast<std::uint8_t>((x = x * 1103515245 + 12345) >> 16);
  Bytes lower = Header(0x81, 0x30);
  lower[0] = 'b';
  struct Case {
    const char* what;
    Bytes bytes;
    bool answer;
  };
  const Case cases[] = {
      {"a printer's ID", id_answer, true},
      {"a printer's header alone", Header(0x81, 0x30), true},
      {"a scanner's header", Header(0x82, 0x30), true},
      {"an answer with an error", [] {
         Bytes b = Header(0x81, 0x30);
         b[7] = 0x01;
         return b;
       }(),
       true},
      {"a command, not an answer", Header(0x01, 0x30), false},
      {"an answer to discover", Header(0x81, 0x01), false},
      {"an answer to get-status", Header(0x81, 0x20), false},
      {"another protocol's name", [] {
         Bytes b = Header(0x81, 0x30);
         b[0] = 'M', b[1] = 'F';
         return b;
       }(),
       false},
      {"small letters", lower, false},
      {"garbage", garbage, false},
      {"zeros", Bytes(64, 0), false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsBjnpAnswer(c.bytes.data(), c.bytes.size()), c.answer) << c.what;
  for (std::size_t size = 0; size < kBjnpHeaderSize; ++size)
    EXPECT_FALSE(IsBjnpAnswer(id_answer.data(), size)) << size;
  EXPECT_FALSE(IsBjnpAnswer(nullptr, 0));
}

TEST(Bjnp, ACanonPrintersServiceOnLoopbackAnswers) {
  const std::string id = "MFG:Canon;CMD:BJL,BJRaster3,BSCCe;MDL:PIXMA MG5300;CLS:PRINTER;";
  printing::testing::UdpPeer printer(printing::testing::BjnpResponder(id));
  const std::optional<Datagram> answer =
      printing::testing::AskUdp(printer.Port(), BjnpGetIdRequest(0xBEEF), std::chrono::seconds(10));
  ASSERT_TRUE(answer);
  EXPECT_TRUE(IsBjnpAnswer(answer->data(), answer->size()));
  EXPECT_EQ((*answer)[8] << 8 | (*answer)[9], 0xBEEF);  // the command's sequence number
  EXPECT_EQ(std::string(answer->begin() + kBjnpHeaderSize + 2, answer->end()), id);
  // A scanner's command gets no answer from a printer, nor does a port nobody serves.
  Bytes scanner = BjnpGetIdRequest(1);
  scanner[4] = 0x02;
  EXPECT_FALSE(printing::testing::AskUdp(printer.Port(), scanner, std::chrono::milliseconds(300)));
  EXPECT_EQ(printer.Received(), 2);
  EXPECT_FALSE(printing::testing::AskUdp(printing::testing::ClosedUdpPort(), BjnpGetIdRequest(1),
                                         std::chrono::milliseconds(300)));
}

}  // namespace

// The printer layer's own IPP request and answer reader, against libcups:
// what libcups reads of the request, and what the reader makes of answers
// that libcups writes.
#include <gtest/gtest.h>

#include <cups/ipp.h>

#include <cstring>
#include <string>
#include <vector>

#include "CupsStatus.h"
#include "IppMessage.h"

using namespace printing;

namespace {

struct Buffer {
  std::vector<std::uint8_t> bytes;
  std::size_t read = 0;
};

ssize_t ReadFrom(void* buffer, ipp_uchar_t* out, size_t n) {
  auto& b = *static_cast<Buffer*>(buffer);
  n = std::min(n, b.bytes.size() - b.read);
  std::memcpy(out, b.bytes.data() + b.read, n);
  b.read += n;
  return static_cast<ssize_t>(n);
}

ssize_t WriteTo(void* buffer, ipp_uchar_t* in, size_t n) {
  static_cast<Buffer*>(buffer)->bytes.insert(static_cast<Buffer*>(buffer)->bytes.end(), in, in + n);
  return static_cast<ssize_t>(n);
}

// An answer to Get-Printer-Attributes with `status`.
ipp_t* Answer(ipp_status_t status) {
  ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
  ipp_t* answer = ippNewResponse(request);
  ippDelete(request);
  ippSetStatusCode(answer, status);
  return answer;
}

std::vector<std::uint8_t> Written(ipp_t* message) {
  Buffer b;
  EXPECT_EQ(ippWriteIO(&b, WriteTo, 1, nullptr, message), IPP_STATE_DATA);
  ippDelete(message);
  return b.bytes;
}

TEST(IppMessage, AnIppLibraryReadsTheRequest) {
  Buffer b{PrinterStateRequest("ipp://printer.local:631/ipp/print", 0x01020304)};
  ipp_t* request = ippNew();
  ASSERT_EQ(ippReadIO(&b, ReadFrom, 1, nullptr, request), IPP_STATE_DATA);
  EXPECT_EQ(b.read, b.bytes.size());
  EXPECT_EQ(ippGetOperation(request), IPP_OP_GET_PRINTER_ATTRIBUTES);
  EXPECT_EQ(ippGetRequestId(request), 0x01020304);
  ipp_attribute_t* attr = ippFirstAttribute(request);
  const char* expected[] = {"attributes-charset", "attributes-natural-language", "printer-uri", "requested-attributes"};
  for (const char* name : expected) {
    ASSERT_NE(attr, nullptr);
    EXPECT_STREQ(ippGetName(attr), name);
    EXPECT_EQ(ippGetGroupTag(attr), IPP_TAG_OPERATION);
    if (std::strcmp(name, expected[3]) != 0) attr = ippNextAttribute(request);
  }
  EXPECT_STREQ(ippGetString(ippFindAttribute(request, "printer-uri", IPP_TAG_URI), 0, nullptr),
               "ipp://printer.local:631/ipp/print");
  ASSERT_EQ(ippGetCount(attr), 9);
  EXPECT_STREQ(ippGetString(attr, 2, nullptr), "printer-is-accepting-jobs");
  EXPECT_STREQ(ippGetString(attr, 8, nullptr), "printer-supply-description");
  ippDelete(request);
  EXPECT_TRUE(PrinterStateRequest(std::string(kIppMaxUri + 1, 'a'), 1).empty());
}

TEST(IppMessage, AnswersAreReadAsTheyMeanAndNoFurther) {
  ipp_t* answer = Answer(IPP_STATUS_OK_IGNORED_OR_SUBSTITUTED);
  // The printer's state outside its group, or inside a collection, is not its own.
  ippAddInteger(answer, IPP_TAG_UNSUPPORTED_GROUP, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_PROCESSING);
  ipp_t* member = ippNew();
  ippAddInteger(member, IPP_TAG_ZERO, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_PROCESSING);
  ippAddCollection(answer, IPP_TAG_PRINTER, "printer-finisher", member);
  ippDelete(member);
  ippAddString(answer, IPP_TAG_PRINTER, IPP_TAG_NAME, "printer-is-accepting-jobs", nullptr, "no");
  ippAddInteger(answer, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_STOPPED);
  const char* reasons[] = {"paused", "media-jam-error"};
  ippAddStrings(answer, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "printer-state-reasons", 2, nullptr, reasons);
  ippAddBoolean(answer, IPP_TAG_PRINTER, "printer-is-accepting-jobs", 0);
  // Only the first of each counts.
  ippAddInteger(answer, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_IDLE);
  ippAddString(answer, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "printer-state-reasons", nullptr, "none");
  const std::vector<std::uint8_t> bytes = Written(answer);

  const std::optional<IppAnswer> read = ReadIppAnswer(bytes.data(), bytes.size());
  ASSERT_TRUE(read);
  EXPECT_TRUE(read->Succeeded());
  EXPECT_EQ(read->state, IPP_PSTATE_STOPPED);
  EXPECT_EQ(read->reasons, (std::vector<std::string>{"paused", "media-jam-error"}));
  EXPECT_EQ(read->accepting, false);
  // Cut anywhere, it is no answer.
  for (std::size_t size = 0; size < bytes.size(); ++size)
    EXPECT_FALSE(ReadIppAnswer(bytes.data(), size)) << size;

  const std::vector<std::uint8_t> refused = Written(Answer(IPP_STATUS_ERROR_NOT_AUTHORIZED));
  ASSERT_TRUE(ReadIppAnswer(refused.data(), refused.size()));
  EXPECT_FALSE(ReadIppAnswer(refused.data(), refused.size())->Succeeded());

  std::vector<std::uint8_t> long_answer(kIppMaxAnswer + 1, 0);
  std::copy(refused.begin(), refused.end(), long_answer.begin());
  EXPECT_FALSE(ReadIppAnswer(long_answer.data(), long_answer.size()));
}

}  // namespace

// Supplies as printers say them, read alike by the reader and through
// libcups (the Linux backend's way): marker attributes first, else PWG's
// printer-supply; names with a language and without, waste that fills.
TEST(IppMessage, SuppliesAreReadAsLibcupsReadsThem) {
  const auto with_markers = [](bool markers) {
    ipp_t* answer = Answer(IPP_STATUS_OK);
    ippAddInteger(answer, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_IDLE);
    const char* supply[] = {"index=1;class=receptacleThatIsFilled;type=wasteToner;maxcapacity=200;level=10;",
                            "index=2;class=supplyThatIsConsumed;type=toner;maxcapacity=100;level=3;",
                            "index=3;type=toner;maxcapacity=-2;level=-3;"};
    ipp_attribute_t* values = ippAddOctetString(answer, IPP_TAG_PRINTER, "printer-supply", supply[0],
                                                static_cast<int>(std::strlen(supply[0])));
    for (int i = 1; i < 3; ++i) ippSetOctetString(answer, &values, i, supply[i], static_cast<int>(std::strlen(supply[i])));
    const char* descriptions[] = {"Toner Waste\tTank", "Black Toner"};
    ippAddStrings(answer, IPP_TAG_PRINTER, IPP_TAG_TEXTLANG, "printer-supply-description", 2, "en", descriptions);
    if (markers) {
      const char* names[] = {"Cyan Ink", " Waste "};
      const char* types[] = {"ink", "waste-ink"};
      const int levels[] = {7, 120}, lows[] = {5, 85};
      ippAddStrings(answer, IPP_TAG_PRINTER, IPP_TAG_NAME, "marker-names", 2, nullptr, names);
      ippAddStrings(answer, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "marker-types", 2, nullptr, types);
      ippAddIntegers(answer, IPP_TAG_PRINTER, IPP_TAG_INTEGER, "marker-levels", 2, levels);
      ippAddIntegers(answer, IPP_TAG_PRINTER, IPP_TAG_INTEGER, "marker-low-levels", 2, lows);
    }
    return answer;
  };
  const struct {
    bool markers;
    std::vector<Supply> supplies;
  } cases[] = {
      {true, {{"Cyan Ink", 7, 5, false}, {"Waste", -2, 85, true}}},
      {false, {{"Toner WasteTank", 95, -1, true}, {"Black Toner", 3, -1, false}, {"toner", -3, -1, false}}},
  };
  for (const auto& c : cases) {
    const std::vector<std::uint8_t> bytes = Written(with_markers(c.markers));
    const std::optional<IppAnswer> read = ReadIppAnswer(bytes.data(), bytes.size());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->supplies, c.supplies) << c.markers;
    ipp_t* answer = with_markers(c.markers);
    EXPECT_EQ(Supplies(answer), c.supplies) << c.markers;
    ippDelete(answer);
  }
}

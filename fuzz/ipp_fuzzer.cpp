// The reader of IPP answers over bytes that no printer sent, and the request
// over any printer URI: the same input stands for both.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "DeviceStatus.h"
#include "IppMessage.h"

namespace {

using printing::IppAnswer;
using printing::ReadIppAnswer;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "ipp_fuzzer: %s\n", what);
    std::abort();
  }
}

bool Same(const IppAnswer& a, const IppAnswer& b) {
  return a.status_code == b.status_code && a.state == b.state && a.reasons == b.reasons && a.accepting == b.accepting &&
         a.supplies == b.supplies;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (const std::optional<IppAnswer> answer = ReadIppAnswer(data, size)) {
    Check(size >= 9 && size <= printing::kIppMaxAnswer, "an answer of impossible size");
    Check(answer->reasons.size() <= printing::kIppMaxReasons, "more reasons than are kept");
    std::size_t text = 0;
    for (const std::string& reason : answer->reasons) text += reason.size();
    Check(text < size, "reasons longer than the answer");
    Check(answer->supplies.size() <= printing::kMaxSupplies, "more supplies than are kept");
    for (const printing::Supply& supply : answer->supplies) {
      Check(supply.level >= -3 && supply.level <= 100, "a supply's level beyond -3 to 100");
      Check(supply.mark >= -1 && supply.mark <= 100, "a supply's mark beyond -1 to 100");
      Check(supply.name.size() <= printing::kMaxSupplyName && supply.name.find_first_of("\r\n\t") == std::string::npos,
            "a supply's name unfit to show");
    }
    const std::optional<IppAnswer> again = ReadIppAnswer(data, size);
    Check(again && Same(*answer, *again), "the same bytes read otherwise");
  }

  const std::string_view uri(reinterpret_cast<const char*>(data), size);
  const std::vector<std::uint8_t> request = printing::PrinterStateRequest(uri, 0x01020304);
  if (size > printing::kIppMaxUri) {
    Check(request.empty(), "a request with a URI beyond the limit");
    return 0;
  }
  // A whole IPP message, which says nothing of a printer's state.
  const std::optional<IppAnswer> read = ReadIppAnswer(request.data(), request.size());
  Check(read && read->status_code == 0x000B, "the request is no whole IPP message");
  Check(!read->state && read->reasons.empty() && !read->accepting, "the request holds a printer's state");
  return 0;
}

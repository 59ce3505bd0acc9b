#include "Report.h"

#include <cstdio>

namespace window {

void Report(std::string_view what) noexcept {
  static constexpr std::string_view kProgram = "KAVRO_TEST_PRINTERS: ";
  std::fwrite(kProgram.data(), 1, kProgram.size(), stderr);
  std::fwrite(what.data(), 1, what.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

}  // namespace window

// Where the program reports a failure that its window does not show: one
// line on standard error, "KAVRO_TEST_PRINTERS: " and what failed. Written
// with the C library's stdio: iostreams would bring libstdc++'s streams and
// locales into the Windows program, which links the library statically.
#pragma once
#include <string_view>

namespace window {

void Report(std::string_view what) noexcept;

}  // namespace window

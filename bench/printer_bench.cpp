// Times, in one process, what the window does with the CUPS backend: loading
// the printer list, and one printer test.
//   printer_bench QUEUE RUNS
// Prints "list_ms MEDIAN test_ms MEDIAN count N code CODE".
//   printer_bench --list
// Lists the printers once, a name a line, as a new window's first list does.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "CupsPrinters.h"
#include "Module1.h"
#include "NoView.h"
#include "Text.h"

using probe::testing::NoView;

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

template <class F>
double Milliseconds(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--list") {
    printing::CupsPrinters printers;
    for (const printing::PrinterObject& p : printers.Printers())
      std::printf("%s\n", printing::Utf16ToUtf8(p.DeviceName).c_str());
    return 0;
  }
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s QUEUE RUNS | --list\n", argv[0]);
    return 2;
  }
  const std::u16string queue = printing::Utf8ToUtf16(argv[1]);
  const int runs = std::max(1, std::atoi(argv[2]));
  printing::CupsPrinters printers;
  NoView view;
  probe::Module1 module(printers, view);

  std::vector<double> list, test;
  std::int32_t count = 0;
  std::u16string code;
  for (int i = 0; i < runs; ++i) {
    list.push_back(Milliseconds([&] { count = printers.Printers().Count(); }));
    test.push_back(Milliseconds([&] { code = module.TestPrinter(queue); }));
  }
  std::printf("list_ms %.3f test_ms %.3f count %d code %s\n", Median(list), Median(test), count,
              printing::Utf16ToUtf8(code).c_str());
  return printers.OpenHandleCount() == 0 ? 0 : 1;
}

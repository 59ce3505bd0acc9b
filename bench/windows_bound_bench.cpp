// How long the Windows program takes to give its verdict for a printer on a
// network port, against devices that answer, refuse, drop, never answer or
// answer a byte at a time, and against hosts and names that are gone: the
// real KAVRO_TEST_PRINTERS.exe, worked from outside as a user works it (its
// buttons, and its list through the messages a mouse sends), timed from the
// press of "Test Printer" to its verdict.
//   windows_bound_bench RUNS PROGRAM
// Run by bench/windows-bounds.sh under wine, over the wine fixture
// (scripts/wine-spooler.sh, whose IPP printer is the device that answers
// idle), in a network namespace where 10.9.9.0/24 is routed nowhere and the
// name server at 127.0.0.1 is this program, which never answers. Prints a
// Markdown table row for each case: the port, its device, the bound, the
// median and the longest time, and the verdict with the status word.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "LoopbackPeer.h"
#include "SpoolerPrinters.h"
#include "WinspoolPrinters.h"

#include "WindowsApi.h"  // last

namespace {

using namespace printing::testing;
using Clock = std::chrono::steady_clock;

// A name server on 127.0.0.1:53 that takes every question and answers none.
class MuteNameServer {
 public:
  MuteNameServer() : fd_(socket(AF_INET, SOCK_DGRAM, 0)) {
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(53);
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&at), sizeof at);
  }
  ~MuteNameServer() { closesocket(fd_); }

 private:
  SOCKET fd_;
};

int FixturePort() {
  const char* dir = std::getenv("KAVRO_WINE_DIR");
  int port = 0;
  if (dir == nullptr) return 0;
  if (std::FILE* file = std::fopen((std::string("Z:") + dir + "/device/port").c_str(), "r")) {
    if (std::fscanf(file, "%d", &port) != 1) port = 0;
    std::fclose(file);
  }
  return port;
}

std::wstring TextOf(HWND hwnd) {
  wchar_t text[256] = L"";
  SendMessageW(hwnd, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
  return text;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The program's window and the controls a user works.
struct Program {
  HWND window = nullptr, load = nullptr, test = nullptr, technical = nullptr, printers = nullptr, words = nullptr;
  std::vector<HWND> labels;
};

BOOL CALLBACK TakeControl(HWND hwnd, LPARAM parameter) {
  auto& p = *reinterpret_cast<Program*>(parameter);
  wchar_t kind[32] = L"";
  GetClassNameW(hwnd, kind, 32);
  const std::wstring text = TextOf(hwnd), type = kind;
  if (type == L"Button" && text == L"Get available printers") p.load = hwnd;
  if (type == L"Button" && text == L"Test Printer") p.test = hwnd;
  if (type == L"Button" && text == L"Show technical info") p.technical = hwnd;
  // The printer list shows from the start, the list of words only with the technical view.
  if (type == L"ListBox") (IsWindowVisible(hwnd) ? p.printers : p.words) = hwnd;
  if (type == L"Static") p.labels.push_back(hwnd);
  return TRUE;
}

struct Search {
  DWORD process;
  HWND found = nullptr;
};

BOOL CALLBACK FindWindowOf(HWND hwnd, LPARAM parameter) {
  auto& s = *reinterpret_cast<Search*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner != s.process || TextOf(hwnd) != L"Test Printer") return TRUE;
  s.found = hwnd;
  return FALSE;
}

// A double-click on the entry `name` of the printer list.
bool Choose(const Program& p, const std::wstring& name) {
  const LRESULT row = SendMessageW(p.printers, LB_FINDSTRINGEXACT, -1, reinterpret_cast<LPARAM>(name.c_str()));
  if (row == LB_ERR) return false;
  RECT r{};
  SendMessageW(p.printers, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  SendMessageW(p.printers, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(p.printers, WM_LBUTTONUP, 0, at);
  SendMessageW(p.printers, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  SendMessageW(p.printers, WM_LBUTTONUP, 0, at);
  return true;
}

std::string Verdict(const Program& p) {
  std::string verdict = "no verdict";
  for (HWND label : p.labels) {
    const std::wstring text = TextOf(label);
    if (text == L"Printer Ready" || text == L"Printer Not Ready (at this time)" || text == L"Printer Not available")
      verdict = Narrow(text);
  }
  // "Buffer No. 18  Buffer Value N": the status word.
  wchar_t line[128] = L"";
  if (SendMessageW(p.words, LB_GETTEXTLEN, 18, 0) < 128) SendMessageW(p.words, LB_GETTEXT, 18, reinterpret_cast<LPARAM>(line));
  const wchar_t* value = wcsrchr(line, L' ');
  char status[32] = "";
  std::snprintf(status, sizeof status, "0x%lx", value != nullptr ? std::wcstoul(value + 1, nullptr, 10) : 0ul);
  return verdict + ", status " + status;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: windows_bound_bench RUNS PROGRAM\n");
    return 2;
  }
  const int runs = std::max(1, _wtoi(argv[1]));
  const bool isolated = std::getenv("KAVRO_BENCH_ISOLATED") != nullptr;
  const int idle = FixturePort();
  LoopbackPeer never(LoopbackPeer::NeverAccepts), silent(LoopbackPeer::Silent), drip(LoopbackPeer::Drip),
      drops(LoopbackPeer::Drops), garbage(LoopbackPeer::Garbage);
  LoopbackPeer stopped(LoopbackPeer::Answer{IppPrinterAnswer(5, true, {"paused"})});
  LoopbackPeer rejecting(LoopbackPeer::Answer{IppPrinterAnswer(3, false, {"none"})});
  LoopbackPeer offline(LoopbackPeer::Answer{IppPrinterAnswer(3, true, {"offline-report"})});
  std::unique_ptr<MuteNameServer> name_server;
  if (isolated) name_server = std::make_unique<MuteNameServer>();
  const std::string loopback = "127.0.0.1", closed = std::to_string(ClosedLoopbackPort());
  auto at = [](const LoopbackPeer& peer) { return std::to_string(peer.Port()); };

  struct Case {
    std::string port_kind, device;
    int protocol;      // 1 raw, 2 LPR; 0 a URL
    std::string host;  // for a raw or LPR port
    std::string port;  // its number, or the URL
  };
  std::vector<Case> cases = {
      {"raw", "listens, takes no connection", 1, loopback, at(never)},
      {"raw", "refuses (nothing listens)", 1, loopback, closed},
      {"raw", "drops each connection", 1, loopback, at(drops)},
      {"LPR", "takes the connection, says nothing", 2, loopback, at(silent)},
      {"LPR", "refuses (nothing listens)", 2, loopback, closed},
      {"http", "IPP printer, idle", 0, "", "http://127.0.0.1:" + std::to_string(idle) + "/ipp/print"},
      {"http", "refuses (nothing listens)", 0, "", "http://127.0.0.1:" + closed + "/ipp/print"},
      {"http", "takes no connection (mute)", 0, "", "http://127.0.0.1:" + at(never) + "/ipp/print"},
      {"http", "connected, never answers", 0, "", "http://127.0.0.1:" + at(silent) + "/ipp/print"},
      {"http", "answers a byte each 100 ms (slow)", 0, "", "http://127.0.0.1:" + at(drip) + "/ipp/print"},
      {"http", "drops each connection", 0, "", "http://127.0.0.1:" + at(drops) + "/ipp/print"},
      {"http", "answers garbage", 0, "", "http://127.0.0.1:" + at(garbage) + "/ipp/print"},
      {"http", "answers stopped", 0, "", "http://127.0.0.1:" + at(stopped) + "/ipp/print"},
      {"http", "answers not accepting jobs", 0, "", "http://127.0.0.1:" + at(rejecting) + "/ipp/print"},
      {"http", "answers offline-report", 0, "", "http://127.0.0.1:" + at(offline) + "/ipp/print"},
      {"https", "connected, never answers (TLS)", 0, "", "https://127.0.0.1:" + at(silent) + "/ipp/print"},
  };
  if (isolated) {
    cases.push_back({"raw", "host gone (packets dropped)", 1, "10.9.9.2", "9100"});
    cases.push_back({"raw", "name server never answers", 1, "printer.example", "9100"});
    cases.push_back({"http", "host gone (packets dropped)", 0, "", "http://10.9.9.2:631/ipp/print"});
    cases.push_back({"http", "name server never answers", 0, "", "http://printer.example:631/ipp/print"});
  }

  std::vector<std::unique_ptr<TcpPortKey>> keys;
  std::vector<std::unique_ptr<AddedPrinter>> added;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    const std::string name = "Bench " + std::to_string(i);
    const std::string port = c.protocol != 0 ? "IP_bench_" + std::to_string(i) : c.port;
    if (c.protocol != 0)
      keys.push_back(std::make_unique<TcpPortKey>(std::u16string(port.begin(), port.end()),
                                                  std::u16string(c.host.begin(), c.host.end()),
                                                  static_cast<std::uint32_t>(std::stoi(c.port)), c.protocol));
    added.push_back(std::make_unique<AddedPrinter>(std::u16string(name.begin(), name.end()),
                                                   std::u16string(port.begin(), port.end())));
    if (added.back()->Error() != 0) {
      std::fprintf(stderr, "cannot add %s: error %u\n", name.c_str(), added.back()->Error());
      return 1;
    }
  }

  std::wstring command = L"\"" + std::wstring(argv[2]) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(argv[2], command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    std::fprintf(stderr, "the program does not start: error %lu\n", GetLastError());
    return 1;
  }
  Search search{process.dwProcessId};
  for (int tries = 0; search.found == nullptr && tries < 600; ++tries) {
    EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) Sleep(50);
  }
  Program p;
  p.window = search.found;
  if (p.window != nullptr) EnumChildWindows(p.window, TakeControl, reinterpret_cast<LPARAM>(&p));
  if (p.load == nullptr || p.test == nullptr || p.technical == nullptr || p.printers == nullptr || p.words == nullptr) {
    std::fprintf(stderr, "the program's window or its controls did not come\n");
    TerminateProcess(process.hProcess, 1);
    return 1;
  }
  SendMessageW(p.load, BM_CLICK, 0, 0);
  SendMessageW(p.technical, BM_CLICK, 0, 0);

  const auto bound = printing::WinspoolPrinters::kDeviceCheckTimeout;
  std::printf("| port | device | bound ms | median ms | longest ms | verdict |\n|---|---|---:|---:|---:|---|\n");
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const std::wstring name = L"Bench " + std::to_wstring(i);
    std::vector<double> ms;
    std::string outcome = "not listed";
    for (int run = 0; run < runs && Choose(p, name); ++run) {
      const auto begin = Clock::now();
      SendMessageW(p.test, BM_CLICK, 0, 0);  // returns once the program has shown its verdict
      ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - begin).count());
      outcome = Verdict(p);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("| %s | %s | %lld | %.0f | %.0f | %s |\n", cases[i].port_kind.c_str(), cases[i].device.c_str(),
                static_cast<long long>(bound.count()), ms.empty() ? 0.0 : ms[ms.size() / 2],
                ms.empty() ? 0.0 : ms.back(), outcome.c_str());
    std::fflush(stdout);
  }

  // Closed as a user closes it: it ends once the lookups it gave up on have.
  const auto closing = Clock::now();
  PostMessageW(p.window, WM_CLOSE, 0, 0);
  const bool ended = WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0;
  std::printf("\nThe program ended %.1f s after its window was closed.\n",
              std::chrono::duration<double>(Clock::now() - closing).count());
  if (!ended) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return ended ? 0 : 1;
}

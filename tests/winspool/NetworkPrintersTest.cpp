// Printers on network ports of wine's spooler, tested in the window as a user
// tests them: on Standard TCP/IP ports (their keys in the profile's registry,
// as the port monitor keeps them) and on http:// ports, each in front of a
// device on loopback: the IPP printer of the fixture (scripts/wine-spooler.sh)
// or a peer of tests/support that misbehaves or answers a state of its own.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "AgentCases.h"
#include "LoopbackPeer.h"
#include "SpoolerPrinters.h"
#include "StepCases.h"
#include "Text.h"
#include "UdpPeer.h"
#include "WinspoolPrinters.h"
#include "Win32Window.h"  // last: it brings in <windows.h>
#include "AccessibleText.h"
#include <objbase.h>

namespace {

using namespace printing::testing;
using printing::WinspoolPrinters;
using Clock = std::chrono::steady_clock;

// Only catches a hang: several times what a test may take (the spooler's
// calls and the device check).
constexpr auto kHang = 3 * (2 * WinspoolPrinters::kCallTimeout + WinspoolPrinters::kDeviceCheckTimeout);

// The port of the fixture's IPP printer, which it writes in its folder.
int IppDevicePort() {
  const char* dir = std::getenv("KAVRO_WINE_DIR");
  if (dir == nullptr) return 0;
  int port = 0;
  // wine's drive Z: is the machine's root.
  if (std::FILE* file = std::fopen((std::string("Z:") + dir + "/device/port").c_str(), "r")) {
    if (std::fscanf(file, "%d", &port) != 1) port = 0;
    std::fclose(file);
  }
  return port;
}

std::wstring TextOf(HWND hwnd) {
  std::wstring text(GetWindowTextLengthW(hwnd) + 1, L'\0');
  text.resize(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size())));
  return text;
}

std::wstring Entry(HWND list, int row) {
  std::wstring text(SendMessageW(list, LB_GETTEXTLEN, row, 0) + 1, L'\0');
  text.resize(SendMessageW(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text.data())));
  return text;
}

std::u16string U16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// COM for the window's accessibility, for as long as the window.
struct Com {
  Com() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  ~Com() { CoUninitialize(); }
};

// The window over wine's spooler, with its printers listed and the technical
// view shown, as a user tests a printer in it.
struct SpoolerWindow : Com {
  WinspoolPrinters spooler;
  Win32Window window{spooler, GetModuleHandleW(nullptr)};

  SpoolerWindow() {
    window.Show(SW_SHOWNORMAL);
    SendMessageW(window.Control("cmdLoadPrinters"), BM_CLICK, 0, 0);
    SendMessageW(window.Control("chkShowTech"), BM_CLICK, 0, 0);
  }
  ~SpoolerWindow() { EXPECT_EQ(spooler.OpenHandleCount(), 0u); }

  // Double-clicks `printer` in the list and tests it; false when it is not
  // listed.
  bool Test(const std::string& printer) {
    HWND list = window.Control("lstPrinters");
    const std::wstring name(printer.begin(), printer.end());
    const LRESULT row = SendMessageW(list, LB_FINDSTRINGEXACT, -1, reinterpret_cast<LPARAM>(name.c_str()));
    if (row == LB_ERR) return false;
    // In view first, as a user scrolls to it: a click on a row half in view
    // scrolls the list, and the double-click would land on the next one.
    SendMessageW(list, LB_SETTOPINDEX, row, 0);
    RECT r;
    SendMessageW(list, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(list, WM_LBUTTONUP, 0, at);
    SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageW(list, WM_LBUTTONUP, 0, at);
    const auto start = Clock::now();
    SendMessageW(window.Control("cmdTest"), BM_CLICK, 0, 0);
    EXPECT_LT(Clock::now() - start, kHang) << printer;
    return true;
  }
  // What the last test shows: its verdict, the status word's line of the
  // technical view, and why.
  std::wstring Verdict() const { return TextOf(window.Control("lblResult")); }
  std::wstring StatusLine() const { return Entry(window.Control("List1"), 18); }
  // Why, as a screen reader is told it: the verdict's description.
  std::string Reason() const {
    const std::wstring text = AccessibleText(window.Control("lblResult"), &IAccessible::get_accDescription);
    return printing::Utf16ToUtf8(std::u16string(text.begin(), text.end()));
  }
};

std::wstring StatusLine(int status) { return L"Buffer No. 18  Buffer Value " + std::to_wstring(status); }

TEST(NetworkPrinters, EachDeviceGivesItsVerdictWithinTheBound) {
  const int ipp_device = IppDevicePort();
  ASSERT_NE(ipp_device, 0) << "no IPP printer in the fixture";
  LoopbackPeer listener(LoopbackPeer::NeverAccepts), drops(LoopbackPeer::Drops), silent(LoopbackPeer::Silent),
      garbage(LoopbackPeer::Garbage);
  LoopbackPeer stopped(LoopbackPeer::Answer{IppPrinterAnswer(5, true, {"paused"})});
  LoopbackPeer rejecting(LoopbackPeer::Answer{IppPrinterAnswer(3, false, {"none"})});
  LoopbackPeer offline(LoopbackPeer::Answer{IppPrinterAnswer(3, true, {"offline-report", "toner-low-warning"})});
  // A printer since removed from the device, and one that wants a password.
  LoopbackPeer gone(LoopbackPeer::Answer{IppStatusAnswer(0x0406)});
  LoopbackPeer unavailable(LoopbackPeer::Answer{IppStatusAnswer(0x0502)});
  LoopbackPeer login(LoopbackPeer::Answer{IppStatusAnswer(0x0401)});
  LoopbackPeer basic(LoopbackPeer::Answer{
      "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"printer\"\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"});
  const int closed = ClosedLoopbackPort();

  const std::wstring ready = L"Printer Ready", not_ready = L"Printer Not Ready (at this time)";
  struct Case {
    std::string printer;
    int tcp_protocol;  // 1 raw, 2 LPR on a Standard TCP/IP port; 0 an http:// port
    int port;
    std::wstring verdict;
    int status;  // the status word the technical view shows
    int pool_port = 0;  // a printer pool's second raw port, 0 for none
    const char* reason = nullptr;  // why, where "{where}" is 127.0.0.1 and the port
  };
  const Case cases[] = {
      {"Raw listener", 1, listener.Port(), ready, 0},
      {"Raw closed", 1, closed, not_ready, 0x80, 0,
       "Not ready: the printer at 127.0.0.1 refuses the connection on port {port}. The printer takes no jobs on "
       "port {port}."},
      {"Raw drops", 1, drops.Port(), not_ready, 0x80},
      {"LPR listener", 2, listener.Port(), ready, 0},
      {"LPR closed", 2, closed, not_ready, 0x80},
      {"IPP idle", 0, ipp_device, ready, 0},
      {"IPP never answers", 0, silent.Port(), not_ready, 0x80},
      {"IPP stopped", 0, stopped.Port(), not_ready, 0x1, 0,
       "Not ready: the printer says it has stopped. See to it at the printer."},
      {"IPP rejecting", 0, rejecting.Port(), not_ready, 0},
      {"IPP offline", 0, offline.Port(), not_ready, 0x80 | 0x20000},
      {"IPP garbage", 0, garbage.Port(), not_ready, 0x80},
      {"IPP gone", 0, gone.Port(), not_ready, 0x80, 0,
       "Not ready: the printer is gone from its server at {where}: there is no printer at /ipp/print (IPP status "
       "0x0406). Check the printer's address."},
      {"IPP unavailable", 0, unavailable.Port(), not_ready, 0x80},
      {"IPP wants a login", 0, login.Port(), ready, 0},
      {"IPP HTTP 401", 0, basic.Port(), ready, 0},
      // A printer pool is there when one of its devices is.
      {"Pool one live", 1, closed, ready, 0, listener.Port()},
      {"Pool none live", 1, closed, not_ready, 0x80, drops.Port(),
       "Not ready: none of the pool's ports answers (IP_127.0.0.1_Poo{closed}, IP_127.0.0.1_none{drops}). Check "
       "that its printers are switched on and connected to the network."},
  };
  std::vector<std::unique_ptr<TcpPortKey>> keys;
  std::vector<std::unique_ptr<AddedPrinter>> added;
  for (const Case& c : cases) {
    const auto tcp_port = [&](const std::string& tag, int number) {
      const std::string name = "IP_127.0.0.1_" + tag + std::to_string(number);
      keys.push_back(std::make_unique<TcpPortKey>(U16(name), u"127.0.0.1", number, c.tcp_protocol));
      return name;
    };
    std::string port = c.tcp_protocol != 0 ? tcp_port(c.printer.substr(0, 3), c.port)
                                           : "http://127.0.0.1:" + std::to_string(c.port) + "/ipp/print";
    if (c.pool_port != 0) port += "," + tcp_port(c.printer.substr(5, 4), c.pool_port);
    for (const auto& key : keys) ASSERT_EQ(key->Error(), 0u) << c.printer;
    added.push_back(std::make_unique<AddedPrinter>(U16(c.printer), U16(port)));
    ASSERT_EQ(added.back()->Error(), 0u) << c.printer;
  }

  SpoolerWindow w;
  for (const Case& c : cases) {
    ASSERT_TRUE(w.Test(c.printer)) << c.printer << " is not listed";
    EXPECT_EQ(w.Verdict(), c.verdict) << c.printer;
    EXPECT_EQ(w.StatusLine(), StatusLine(c.status)) << c.printer;
    if (c.reason == nullptr) continue;
    std::string reason = ReasonAt(c.reason, "127.0.0.1", c.port);
    for (const auto& [mark, number] : {std::pair{"{closed}", closed}, {"{drops}", drops.Port()}})
      if (const auto at = reason.find(mark); at != std::string::npos)
        reason.replace(at, std::string(mark).size(), std::to_string(number));
    EXPECT_EQ(w.Reason(), reason) << c.printer;
  }
  // The window takes the next test as it took the first.
  EXPECT_TRUE(IsWindowEnabled(w.window.Control("cmdTest")));
}

// Each step at which a device is not reached, and supplies that run low, as
// on Linux (StepCases.h): raw and LPR devices on Standard TCP/IP ports, IPP
// printers on http:// and https:// ports.
TEST(NetworkPrinters, EachStepThatFailsSaysWhatToCheck) {
  const StepPeers peers;
  const std::vector<StepCase> cases = StepCases();
  std::vector<std::unique_ptr<TcpPortKey>> keys;
  std::vector<std::unique_ptr<AddedPrinter>> added;
  for (const StepCase& c : cases) {
    const std::string scheme = c.scheme, port = peers.Filled(c.port);
    std::string name;
    if (scheme == "socket" || scheme == "lpd") {
      name = "IP_step" + std::to_string(keys.size());
      keys.push_back(std::make_unique<TcpPortKey>(U16(name), U16(c.host), std::stoi(port), scheme == "socket" ? 1 : 2));
      EXPECT_EQ(keys.back()->Error(), 0u) << c.name;
    } else {
      name = (scheme == "ipps" ? "https://" : "http://") + std::string(c.host) + ":" + port + "/ipp/print";
    }
    added.push_back(std::make_unique<AddedPrinter>(U16(std::string("Step ") + c.name), U16(name)));
    EXPECT_EQ(added.back()->Error(), 0u) << c.name;
  }
  SpoolerWindow w;
  for (const StepCase& c : cases) {
    ASSERT_TRUE(w.Test(std::string("Step ") + c.name)) << c.name << " is not listed";
    EXPECT_EQ(w.Verdict(), c.ready ? L"Printer Ready" : L"Printer Not Ready (at this time)") << c.name;
    EXPECT_EQ(w.Reason(), peers.Filled(c.reason)) << c.name;
  }
}

// A raw printer's SNMP agent says what keeps it from printing, as on Linux
// (AgentCases.h), where its Standard TCP/IP port has SNMP status on; the
// port's community and device index are the ones asked, and a port with SNMP
// off leaves the agent alone.
TEST(NetworkPrinters, ARawPrintersAgentSaysWhatKeepsItFromPrinting) {
  const std::vector<AgentCase> cases = AgentCases();
  constexpr std::int32_t kDown = 5, kIdle = 3;
  // Down and offline, at index 2 of the agent in "private".
  const UdpPeer::Answer down_at_2 = SnmpAgent(Printer({kDown, kIdle, printing::kHrOffline}, "private", 2));
  struct PortCase {
    const char* name;
    PortSnmp snmp;
    const char* verdict;
    int status;
  };
  const PortCase ports[] = {
      {"SNMP off", {false, u"private", 2}, "YES", 0},
      {"another community", {true, u"private", 2}, "NO", 0x82},
      {"another index only", {true, u"public", 2}, "YES", 0},
      {"another community only", {true, u"private", 1}, "YES", 0},
  };
  std::vector<std::unique_ptr<LoopbackPeer>> devices;
  std::vector<std::unique_ptr<TcpPortKey>> keys;
  std::vector<std::unique_ptr<AddedPrinter>> added;
  const auto add = [&](const std::string& printer, bool connects, const PortSnmp& snmp) {
    devices.push_back(connects ? std::make_unique<LoopbackPeer>(LoopbackPeer::Silent) : nullptr);
    const int port = connects ? devices.back()->Port() : ClosedLoopbackPort();
    const std::string name = "IP_127.0.0.1_agent" + std::to_string(keys.size());
    keys.push_back(std::make_unique<TcpPortKey>(U16(name), u"127.0.0.1", port, 1, snmp));
    added.push_back(std::make_unique<AddedPrinter>(U16(printer), U16(name)));
    EXPECT_EQ(keys.back()->Error() | added.back()->Error(), 0u) << printer;
    return port;
  };
  std::vector<int> numbers;
  for (const AgentCase& c : cases) numbers.push_back(add(std::string("Agent ") + c.name, c.connects, {true}));
  for (const PortCase& p : ports) add(std::string("Port ") + p.name, true, p.snmp);

  SpoolerWindow w;
  const auto read = [&](const std::string& printer, const UdpPeer::Answer& agent, const char* verdict, int status) {
    std::unique_ptr<UdpPeer> on_161 = agent ? std::make_unique<UdpPeer>(agent, 161) : nullptr;
    ASSERT_TRUE(w.Test(printer)) << printer << " is not listed";
    EXPECT_EQ(w.Verdict(), std::string(verdict) == "YES" ? L"Printer Ready" : L"Printer Not Ready (at this time)")
        << printer;
    EXPECT_EQ(w.StatusLine(), StatusLine(status)) << printer;
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    read(std::string("Agent ") + cases[i].name, cases[i].agent, cases[i].verdict, cases[i].status);
    EXPECT_EQ(w.Reason(), ReasonAt(cases[i].reason, "127.0.0.1", numbers[i])) << cases[i].name;
    EXPECT_EQ(w.spooler.LastFindings().device.supplies, cases[i].supplies) << cases[i].name;
  }
  for (const PortCase& p : ports) read(std::string("Port ") + p.name, down_at_2, p.verdict, p.status);
}

}  // namespace

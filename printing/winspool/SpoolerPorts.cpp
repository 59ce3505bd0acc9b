#include "SpoolerPorts.h"

#include <cwchar>

#include "DeviceUri.h"
#include "Text.h"

// Last: see WindowsApi.h.
#include "WindowsApi.h"

namespace printing {
namespace {

// What tcpxcv.h of the Windows Driver Kit declares and mingw-w64 lacks: the
// Standard TCP/IP port monitor's configuration of a port, and what asks for it.
struct PortData1 {
  WCHAR sztPortName[64];
  DWORD dwVersion;
  DWORD dwProtocol;
  DWORD cbSize;
  DWORD dwReserved;
  WCHAR sztHostAddress[49];
  WCHAR sztSNMPCommunity[33];
  DWORD dwDoubleSpool;
  WCHAR sztQueue[33];
  WCHAR sztIPAddress[16];
  BYTE Reserved[540];
  DWORD dwPortNumber;
  DWORD dwSNMPEnabled;
  DWORD dwSNMPDevIndex;
};
struct ConfigInfoData1 {
  BYTE Reserved[128];
  DWORD dwVersion;
};
constexpr DWORD kRawTcp = 1;  // PROTOCOL_RAWTCP_TYPE
constexpr DWORD kLpr = 2;     // PROTOCOL_LPR_TYPE

// The WSD and IPP port monitor's configuration of a port (APPORT_DATA_1).
struct ApPortData1 {
  DWORD Version;
  DWORD Protocol;
  WCHAR DeviceOrServiceUrl[260];
};
constexpr DWORD kWsd = 1;
constexpr DWORD kIpp = 2;

constexpr wchar_t kTcpPorts[] = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port\\Ports\\";

std::string Utf8(const wchar_t* text, std::size_t most) {
  return Utf16ToUtf8(std::u16string(text, text + wcsnlen(text, most)));
}

std::wstring Wide(const std::string& utf8) {
  const std::u16string wide = Utf8ToUtf16(utf8);
  return std::wstring(wide.begin(), wide.end());
}

std::optional<PortedDevice> TcpDevice(DWORD protocol, std::string host, DWORD port, const std::string& queue,
                                      bool snmp, std::string community, DWORD index) {
  if (host.empty() || port == 0 || port > 65535 || (protocol != kRawTcp && protocol != kLpr)) return std::nullopt;
  DeviceUri uri{protocol == kRawTcp ? "socket" : "lpd", std::move(host), static_cast<int>(port),
                "/" + (protocol == kLpr ? queue : std::string())};
  // The port monitor's own device index when none is set.
  const int device = index == 0 || index > 0x7FFFFFFF ? 1 : static_cast<int>(index);
  return PortedDevice{JoinDeviceUri(uri), SnmpAccess{snmp, std::move(community), device}};
}

// What the port's monitor says of it.
std::optional<PortedDevice> AskPortMonitor(const std::wstring& port) {
  std::wstring name = L",XcvPort " + port;
  PRINTER_DEFAULTSW enumerate{nullptr, nullptr, SERVER_ACCESS_ENUMERATE};
  HANDLE xcv = nullptr;
  if (!::OpenPrinterW(name.data(), &xcv, &enumerate)) return std::nullopt;
  std::optional<PortedDevice> device;
  DWORD needed = 0, status = ERROR_SUCCESS;
  ConfigInfoData1 ask{};
  ask.dwVersion = 1;
  PortData1 tcp{};
  ApPortData1 ap{};
  if (XcvDataW(xcv, L"GetConfigInfo", reinterpret_cast<BYTE*>(&ask), sizeof ask, reinterpret_cast<BYTE*>(&tcp),
               sizeof tcp, &needed, &status) &&
      status == ERROR_SUCCESS) {
    std::string host = Utf8(tcp.sztHostAddress, std::size(tcp.sztHostAddress));
    if (host.empty()) host = Utf8(tcp.sztIPAddress, std::size(tcp.sztIPAddress));
    device = TcpDevice(tcp.dwProtocol, host, tcp.dwPortNumber, Utf8(tcp.sztQueue, std::size(tcp.sztQueue)),
                       tcp.dwSNMPEnabled != 0, Utf8(tcp.sztSNMPCommunity, std::size(tcp.sztSNMPCommunity)),
                       tcp.dwSNMPDevIndex);
  } else if (XcvDataW(xcv, L"GetAPPortInfo", nullptr, 0, reinterpret_cast<BYTE*>(&ap), sizeof ap, &needed,
                      &status) &&
             status == ERROR_SUCCESS) {
    const std::string url = Utf8(ap.DeviceOrServiceUrl, std::size(ap.DeviceOrServiceUrl));
    if (ap.Protocol == kIpp) {
      device = PortedDevice{url, {}};
    } else if (std::optional<DeviceUri> wsd = SplitDeviceUri(url); ap.Protocol == kWsd && wsd) {
      wsd->scheme = "socket";  // its web service is only connected to
      wsd->resource = "/";
      device = PortedDevice{JoinDeviceUri(*wsd), SnmpAccess{.ask = false}};
    }
  }
  ::ClosePrinter(xcv);
  return device;
}

std::optional<std::wstring> Text(HKEY key, const wchar_t* value) {
  DWORD size = 0;
  if (RegGetValueW(key, nullptr, value, RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS || size == 0)
    return std::nullopt;
  std::wstring text(size / sizeof(wchar_t), L'\0');
  if (RegGetValueW(key, nullptr, value, RRF_RT_REG_SZ, nullptr, text.data(), &size) != ERROR_SUCCESS)
    return std::nullopt;
  text.resize(wcsnlen(text.c_str(), text.size()));
  return text;
}

DWORD Number(HKEY key, const wchar_t* value) {
  DWORD number = 0, size = sizeof number;
  return RegGetValueW(key, nullptr, value, RRF_RT_REG_DWORD, nullptr, &number, &size) == ERROR_SUCCESS ? number : 0;
}

// What the Standard TCP/IP port monitor keeps of the port in the registry.
std::optional<PortedDevice> ReadPortKey(const std::wstring& port) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kTcpPorts + port).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return std::nullopt;
  std::wstring host = Text(key, L"HostName").value_or(L"");
  if (host.empty()) host = Text(key, L"IPAddress").value_or(L"");
  const std::wstring queue = Text(key, L"Queue").value_or(L"");
  const DWORD protocol = Number(key, L"Protocol"), number = Number(key, L"PortNumber");
  const bool snmp = Number(key, L"SNMP Enabled") != 0;
  const std::wstring community = Text(key, L"SNMP Community").value_or(L"");
  const DWORD index = Number(key, L"SNMP Index");
  RegCloseKey(key);
  return TcpDevice(protocol, Utf8(host.c_str(), host.size()), number, Utf8(queue.c_str(), queue.size()), snmp,
                   Utf8(community.c_str(), community.size()), index);
}

bool IsUrl(const std::string& port) {
  const std::optional<DeviceUri> uri = SplitDeviceUri(port);
  return uri && (uri->scheme == "http" || uri->scheme == "https");
}

}  // namespace

std::optional<PortedDevice> PortDevice(const std::string& port, const Deadline& deadline, Bounds& bounds) {
  if (port.empty()) return std::nullopt;
  if (IsUrl(port)) return PortedDevice{port, {}};
  const std::wstring wide = Wide(port);
  // The spooler's calls are given up on at the deadline; an abandoned one
  // closes its own handle.
  auto asked = bounds.Run<std::optional<PortedDevice>>(
      deadline, [wide] { return AskPortMonitor(wide); }, [](std::optional<PortedDevice>&) {});
  if (asked && *asked) return *asked;
  if (deadline.Passed()) return std::nullopt;
  return ReadPortKey(wide);
}

}  // namespace printing

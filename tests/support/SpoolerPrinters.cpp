#include "SpoolerPrinters.h"

#include <vector>

#include "WindowsApi.h"

namespace printing::testing {
namespace {

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

constexpr wchar_t kTcpPorts[] = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port\\Ports\\";

}  // namespace

AddedPrinter::AddedPrinter(std::u16string name, std::u16string port, const std::u16string& like)
    : name_(std::move(name)) {
  std::wstring model = Wide(like);
  HANDLE handle = nullptr;
  PRINTER_DEFAULTSW use{nullptr, nullptr, PRINTER_ACCESS_USE};
  if (!OpenPrinterW(model.data(), &handle, &use)) {
    error_ = GetLastError();
    return;
  }
  DWORD needed = 0;
  GetPrinterW(handle, 2, nullptr, 0, &needed);
  std::vector<BYTE> info(needed);
  if (!GetPrinterW(handle, 2, info.data(), needed, &needed)) error_ = GetLastError();
  ClosePrinter(handle);
  if (error_ != 0) return;
  const auto& model_info = *reinterpret_cast<const PRINTER_INFO_2W*>(info.data());
  std::wstring printer = Wide(name_), on = Wide(port);
  PRINTER_INFO_2W added{};
  added.pPrinterName = printer.data();
  added.pPortName = on.data();
  added.pDriverName = model_info.pDriverName;
  added.pPrintProcessor = model_info.pPrintProcessor;
  added.pDatatype = model_info.pDatatype;
  handle = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&added));
  if (handle == nullptr) error_ = GetLastError();
  else ClosePrinter(handle);
}

AddedPrinter::~AddedPrinter() {
  if (error_ != 0) return;
  std::wstring printer = Wide(name_);
  HANDLE handle = nullptr;
  PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
  if (OpenPrinterW(printer.data(), &handle, &all)) {
    DeletePrinter(handle);
    ClosePrinter(handle);
  }
}

TcpPortKey::TcpPortKey(std::u16string port, const std::u16string& host, std::uint32_t number,
                       std::uint32_t protocol, const PortSnmp& snmp)
    : port_(std::move(port)) {
  HKEY key = nullptr;
  const std::wstring path = kTcpPorts + Wide(port_), name = Wide(host);
  error_ = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
  if (error_ != 0) return;
  const DWORD values[] = {number, protocol};
  RegSetValueExW(key, L"HostName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                 static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)));
  RegSetValueExW(key, L"PortNumber", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&values[0]), sizeof(DWORD));
  const DWORD snmp_values[] = {snmp.enabled ? 1u : 0u, snmp.index};
  const std::wstring community = Wide(snmp.community);
  RegSetValueExW(key, L"SNMP Enabled", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&snmp_values[0]), sizeof(DWORD));
  RegSetValueExW(key, L"SNMP Index", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&snmp_values[1]), sizeof(DWORD));
  RegSetValueExW(key, L"SNMP Community", 0, REG_SZ, reinterpret_cast<const BYTE*>(community.c_str()),
                 static_cast<DWORD>((community.size() + 1) * sizeof(wchar_t)));
  error_ = RegSetValueExW(key, L"Protocol", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&values[1]), sizeof(DWORD));
  RegCloseKey(key);
}

TcpPortKey::~TcpPortKey() {
  if (error_ == 0) RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kTcpPorts + Wide(port_)).c_str());
}

}  // namespace printing::testing

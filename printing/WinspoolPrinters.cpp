#include "WinspoolPrinters.h"

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "Text.h"

// After the project's headers: <windows.h> defines macros of the same names
// as some of theirs (ERROR_SUCCESS, RtlMoveMemory, ...).
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <winspool.h>

namespace printing {
namespace {

// A record that grows between the sizing call and the filling one is asked
// for again, this many times in all.
constexpr int kAttempts = 4;

std::int32_t LastError() { return static_cast<std::int32_t>(GetLastError()); }

// The spooler's ANSI strings are in the system's code page, whatever code
// page the layer packs in.
std::optional<std::string> FromSystemAnsi(const char* text) {
  if (text == nullptr) return std::nullopt;
  const int length = static_cast<int>(strnlen(text, INT_MAX / 2));
  if (length == 0) return std::string();
  const int size = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
  if (size <= 0) return std::string(static_cast<std::size_t>(length), '?');
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, length, wide.data(), size);
  return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

}  // namespace

WinspoolPrinters::~WinspoolPrinters() {
  for (auto& [handle, spooler] : spooler_handles_) ::ClosePrinter(static_cast<HANDLE>(spooler));
}

PrinterCollection WinspoolPrinters::Printers() {
  const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
  std::vector<BYTE> buffer;
  DWORD needed = 0, count = 0;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (EnumPrintersW(flags, nullptr, 4, buffer.empty() ? nullptr : buffer.data(),
                      static_cast<DWORD>(buffer.size()), &needed, &count))
      break;
    count = 0;
    // No spooler, or nothing it can list: an empty collection.
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0) return {};
    buffer.assign(needed, 0);
  }
  std::vector<PrinterObject> items;
  const auto* info = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) {
    if (info[i].pPrinterName == nullptr) continue;
    const std::wstring name(info[i].pPrinterName);
    items.push_back({std::u16string(name.begin(), name.end()), static_cast<std::int32_t>(i)});
  }
  return PrinterCollection(std::move(items));
}

std::int32_t WinspoolPrinters::Open(std::int32_t handle, const std::u16string& name) {
  const std::wstring wide(name.begin(), name.end());
  HANDLE spooler = nullptr;
  // Read access only: the program changes nothing.
  PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ACCESS_USE};
  if (!::OpenPrinterW(const_cast<LPWSTR>(wide.c_str()), &spooler, &defaults)) {
    const std::int32_t error = LastError();
    return error != ERROR_SUCCESS ? error : ERROR_INVALID_PRINTER_NAME;
  }
  spooler_handles_[handle] = spooler;
  return ERROR_SUCCESS;
}

std::int32_t WinspoolPrinters::Describe(std::int32_t handle, const std::u16string& /*name*/, Record& record) {
  const auto it = spooler_handles_.find(handle);
  if (it == spooler_handles_.end()) return ERROR_INVALID_HANDLE;
  const HANDLE spooler = static_cast<HANDLE>(it->second);
  std::vector<BYTE> buffer;
  DWORD needed = 0;
  bool filled = false;
  for (int attempt = 0; attempt < kAttempts && !filled; ++attempt) {
    filled = ::GetPrinterA(spooler, 2, buffer.empty() ? nullptr : buffer.data(),
                           static_cast<DWORD>(buffer.size()), &needed);
    if (filled) break;
    const std::int32_t error = LastError();
    if (error != ERROR_INSUFFICIENT_BUFFER || needed == 0)
      return error != ERROR_SUCCESS ? error : ERROR_INVALID_HANDLE;
    buffer.assign(needed, 0);
  }
  if (!filled || buffer.size() < sizeof(PRINTER_INFO_2A)) return ERROR_INSUFFICIENT_BUFFER;

  const auto& info = *reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
  record.ServerName = FromSystemAnsi(info.pServerName);
  record.PrinterName = FromSystemAnsi(info.pPrinterName);
  record.ShareName = FromSystemAnsi(info.pShareName);
  record.PortName = FromSystemAnsi(info.pPortName);
  record.DriverName = FromSystemAnsi(info.pDriverName);
  record.Comment = FromSystemAnsi(info.pComment);
  record.Location = FromSystemAnsi(info.pLocation);
  // The device mode and security descriptor are not carried over: their
  // native addresses point nowhere in the 32-bit record.
  record.DevMode = 0;
  record.SepFile = FromSystemAnsi(info.pSepFile);
  record.PrintProcessor = FromSystemAnsi(info.pPrintProcessor);
  record.Datatype = FromSystemAnsi(info.pDatatype);
  record.Parameters = FromSystemAnsi(info.pParameters);
  record.SecurityDescriptor = 0;
  record.Attributes = static_cast<std::int32_t>(info.Attributes);
  record.Priority = static_cast<std::int32_t>(info.Priority);
  record.DefaultPriority = static_cast<std::int32_t>(info.DefaultPriority);
  record.StartTime = static_cast<std::int32_t>(info.StartTime);
  record.UntilTime = static_cast<std::int32_t>(info.UntilTime);
  record.Status = static_cast<std::int32_t>(info.Status);
  record.Jobs = static_cast<std::int32_t>(info.cJobs);
  record.AveragePPM = static_cast<std::int32_t>(info.AveragePPM);
  return ERROR_SUCCESS;
}

void WinspoolPrinters::Closed(std::int32_t handle, const std::u16string& /*name*/) {
  const auto it = spooler_handles_.find(handle);
  if (it == spooler_handles_.end()) return;
  ::ClosePrinter(static_cast<HANDLE>(it->second));
  spooler_handles_.erase(it);
}

}  // namespace printing

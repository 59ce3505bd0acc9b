#include "WinspoolPrinters.h"

#include <algorithm>
#include <climits>
#include <functional>
#include <cstring>
#include <string>
#include <vector>

#include "Bounded.h"
#include "DeviceCheck.h"
#include "DeviceTransport.h"
#include "PrinterState.h"
#include "SpoolerPorts.h"
#include "Text.h"

// Last: see WindowsApi.h.
#include "WindowsApi.h"

namespace printing {
namespace {

// A record that grows between the sizing call and the filling one is asked
// for again, this many times in all.
constexpr int kAttempts = 4;

// What a spooler call returned, with its thread's last error.
struct Outcome {
  bool ok = false;
  std::int32_t error = ERROR_SUCCESS;
  HANDLE handle = nullptr;
};

std::int32_t LastError() { return static_cast<std::int32_t>(GetLastError()); }

// How many entries `enumerate(data, size, &needed, &count)` lists into
// `buffer`, grown to what it asks for, kAttempts times at most; none when it
// fails otherwise, or keeps growing.
template <class Enumerate>
DWORD Enumerated(std::vector<BYTE>& buffer, Enumerate enumerate) {
  DWORD needed = 0, count = 0;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (enumerate(buffer.empty() ? nullptr : buffer.data(), static_cast<DWORD>(buffer.size()), &needed, &count))
      return count;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0) return 0;
    buffer.assign(needed, 0);
  }
  return 0;
}

constexpr auto kNothingToUndo = [](auto&) {};

// Closes a spooler handle, waiting at most the call timeout.
void CloseBounded(Bounds& bounds, HANDLE handle) {
  bounds.Run<Outcome>(
      Deadline(WinspoolPrinters::kCallTimeout), [handle] { return Outcome{::ClosePrinter(handle) != FALSE}; },
      kNothingToUndo);
}

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

SpoolerHandle::~SpoolerHandle() {
  if (handle_ != nullptr) CloseBounded(*bounds_, static_cast<HANDLE>(handle_));
}

PrinterCollection WinspoolPrinters::Printers() {
  auto listed = bounds_.Run<std::vector<PrinterObject>>(
      Deadline(kListTimeout),
      [] {
        const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
        std::vector<BYTE> buffer;
        std::vector<PrinterObject> items;
        // No spooler, or nothing it can list: an empty collection.
        const DWORD count = Enumerated(buffer, [&](BYTE* data, DWORD size, DWORD* needed, DWORD* listed) {
          return EnumPrintersW(flags, nullptr, 4, data, size, needed, listed);
        });
        const auto* info = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
        for (DWORD i = 0; i < count; ++i) {
          if (info[i].pPrinterName == nullptr) continue;
          const std::wstring name(info[i].pPrinterName);
          items.push_back({std::u16string(name.begin(), name.end()), static_cast<std::int32_t>(i)});
        }
        return items;
      },
      kNothingToUndo);
  // A spooler that does not answer in time lists nothing.
  Learnt().print_system_answered = listed.has_value();
  return listed ? PrinterCollection(std::move(*listed)) : PrinterCollection();
}

std::int32_t WinspoolPrinters::Open(std::int32_t handle, const std::u16string& name) {
  const std::wstring wide(name.begin(), name.end());
  const auto opened = bounds_.Run<Outcome>(
      Deadline(kCallTimeout),
      [wide] {
        Outcome outcome;
        // Read access only: the program changes nothing.
        PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ACCESS_USE};
        outcome.ok = ::OpenPrinterW(const_cast<LPWSTR>(wide.c_str()), &outcome.handle, &defaults) != FALSE;
        outcome.error = outcome.ok ? ERROR_SUCCESS : LastError();
        return outcome;
      },
      // Opened after the caller gave up: nobody will use it.
      [](Outcome& late) {
        if (late.ok) ::ClosePrinter(late.handle);
      });
  if (!opened) return ERROR_TIMEOUT;
  if (!opened->ok) return opened->error != ERROR_SUCCESS ? opened->error : ERROR_INVALID_PRINTER_NAME;
  spooler_handles_.erase(handle);
  spooler_handles_.emplace(handle, SpoolerHandle(opened->handle, bounds_));
  return ERROR_SUCCESS;
}

namespace {

// The level-2 record of `spooler` in a buffer of the spooler's own.
struct Described {
  std::int32_t error = ERROR_SUCCESS;
  std::vector<BYTE> buffer;
};

Described QueryLevel2(HANDLE spooler) {
  Described d;
  DWORD needed = 0;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (::GetPrinterA(spooler, 2, d.buffer.empty() ? nullptr : d.buffer.data(),
                      static_cast<DWORD>(d.buffer.size()), &needed)) {
      if (d.buffer.size() < sizeof(PRINTER_INFO_2A)) d.error = ERROR_INSUFFICIENT_BUFFER;
      return d;
    }
    const std::int32_t error = LastError();
    if (error != ERROR_INSUFFICIENT_BUFFER || needed == 0) {
      d.error = error != ERROR_SUCCESS ? error : ERROR_INVALID_HANDLE;
      return d;
    }
    d.buffer.assign(needed, 0);
  }
  // Still growing after every attempt.
  d.error = ERROR_INSUFFICIENT_BUFFER;
  return d;
}

// The first kJobsRead jobs of the queue, oldest first.
std::vector<Job> QueueJobs(HANDLE spooler) {
  std::vector<Job> jobs;
  std::vector<BYTE> buffer;
  const DWORD count = Enumerated(buffer, [&](BYTE* data, DWORD size, DWORD* needed, DWORD* listed) {
    return ::EnumJobsW(spooler, 0, kJobsRead, 1, data, size, needed, listed);
  });
  const auto* info = reinterpret_cast<const JOB_INFO_1W*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) {
    Job job;
    const DWORD status = info[i].Status;
    if (status & (JOB_STATUS_ERROR | JOB_STATUS_BLOCKED_DEVQ))
      job.state = Job::Failed;
    else if (status & JOB_STATUS_PAUSED)
      job.state = Job::Held;
    else if (status & JOB_STATUS_PRINTING)
      job.state = Job::Printing;
    // Submitted is in UTC; a FILETIME counts 100 ns from 1601.
    FILETIME file;
    if (SystemTimeToFileTime(&info[i].Submitted, &file)) {
      const std::int64_t ticks = static_cast<std::int64_t>(file.dwHighDateTime) << 32 | file.dwLowDateTime;
      job.submitted = ticks / 10000000 - 11644473600LL;
    }
    jobs.push_back(job);
  }
  return jobs;
}

// Now, in seconds since 1970 (UTC).
std::int64_t Now() {
  FILETIME file;
  GetSystemTimeAsFileTime(&file);
  return (static_cast<std::int64_t>(file.dwHighDateTime) << 32 | file.dwLowDateTime) / 10000000 - 11644473600LL;
}

// A printer connection (\\server\printer): its print server asks its
// devices, and its port is one of the server's.
bool IsConnection(const PRINTER_INFO_2A& info) {
  const bool named = info.pPrinterName != nullptr && std::strncmp(info.pPrinterName, "\\\\", 2) == 0;
  return named || (info.Attributes & PRINTER_ATTRIBUTE_NETWORK) != 0 ||
         (info.pServerName != nullptr && info.pServerName[0] != '\0');
}

}  // namespace

DeviceState WinspoolPrinters::CheckPorts(const std::string& port_names) {
  const Deadline deadline(kDeviceCheckTimeout);
  // A printer pool names its ports separated by commas: it is there when
  // one of its devices is. A port that names no network device keeps the
  // spooler's word for the whole printer.
  std::vector<std::function<DeviceState()>> asks;
  for (const std::string& port : PortNames(port_names)) {
    const std::optional<PortedDevice> device = PortDevice(port, deadline, bounds_);
    if (!device) return DeviceState{};
    asks.push_back([this, device = *device, &deadline] {
      return CheckDevice(device.uri, transport_, deadline, false, device.snmp);
    });
  }
  return AskAll(asks);
}

std::int32_t WinspoolPrinters::Describe(std::int32_t handle, const std::u16string& /*name*/, Record& record) {
  const auto it = spooler_handles_.find(handle);
  if (it == spooler_handles_.end()) return ERROR_INVALID_HANDLE;
  const HANDLE spooler = static_cast<HANDLE>(it->second.get());
  auto described = bounds_.Run<Described>(
      Deadline(kCallTimeout), [spooler] { return QueryLevel2(spooler); },
      // The handle went with the abandoned query; it is closed once that ends.
      [spooler](Described&) { ::ClosePrinter(spooler); });
  if (!described) {
    it->second.release();
    spooler_handles_.erase(it);
    return ERROR_TIMEOUT;
  }
  if (described->error != ERROR_SUCCESS) return described->error;

  const auto& info = *reinterpret_cast<const PRINTER_INFO_2A*>(described->buffer.data());
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
  // The spooler's status word as it is; the attribute word works offline
  // when that word, or the printer's network device, says it cannot print.
  std::int32_t status = static_cast<std::int32_t>(info.Status);
  std::int32_t attributes = WithSpoolerStatus(static_cast<std::int32_t>(info.Attributes), status);
  Findings& learnt = Learnt();
  learnt.system = Findings::Spooler;
  learnt.system_status = status;
  learnt.set_offline = (info.Attributes & PRINTER_ATTRIBUTE_WORK_OFFLINE) != 0;
  // What waits in the queue, on the same handle, bounded as every call.
  if (info.cJobs > 0) {
    auto jobs = bounds_.Run<std::vector<Job>>(
        Deadline(kCallTimeout), [spooler] { return QueueJobs(spooler); },
        // The handle went with the abandoned call; it is closed once that ends.
        [spooler](std::vector<Job>&) { ::ClosePrinter(spooler); });
    if (!jobs) {
      it->second.release();
      spooler_handles_.erase(it);
    }
    learnt.jobs = Summarize(jobs.value_or(std::vector<Job>{}), static_cast<std::int32_t>(info.cJobs), Now());
  }
  if (!IsConnection(info) && record.PortName) {
    learnt.device = CheckPorts(*record.PortName);
    if (record.PortName->find(',') != std::string::npos) learnt.group = Findings::Pool;
    AddDeviceState(learnt.device, attributes, status);
  }
  learnt.supplies = learnt.device.supplies;
  record.Attributes = attributes;
  record.Priority = static_cast<std::int32_t>(info.Priority);
  record.DefaultPriority = static_cast<std::int32_t>(info.DefaultPriority);
  record.StartTime = static_cast<std::int32_t>(info.StartTime);
  record.UntilTime = static_cast<std::int32_t>(info.UntilTime);
  record.Status = status;
  record.Jobs = static_cast<std::int32_t>(info.cJobs);
  record.AveragePPM = static_cast<std::int32_t>(info.AveragePPM);
  return ERROR_SUCCESS;
}

std::string WinspoolPrinters::ErrorMessage(std::int32_t error) const {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(error), 0, reinterpret_cast<char*>(&text), 0, nullptr);
  if (length == 0 || text == nullptr) return PrinterServices::ErrorMessage(error);
  std::string message = FromSystemAnsi(text).value_or("");
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
    message.pop_back();
  return message.empty() ? PrinterServices::ErrorMessage(error) : message;
}

void WinspoolPrinters::Closed(std::int32_t handle, const std::u16string& /*name*/) {
  spooler_handles_.erase(handle);
}

}  // namespace printing

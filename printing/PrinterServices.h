// The printer services the program uses: the collection of installed
// printers, the application's current printer, and the spooler calls
// OpenPrinterW, GetPrinterA and ClosePrinter with RtlMoveMemory and the last
// error. Backends supply the printers; this class keeps the handles, the
// one-snapshot-per-handle rule, the 32-bit address window and the last error.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "DeviceState.h"
#include "Jobs.h"
#include "Record.h"
#include "SpoolerCodes.h"

namespace printing {

struct PrinterObject {
  std::u16string DeviceName;
  std::int32_t Id = 0;  // the backend's own key; tells apart printers of one name
};

class PrinterCollection {
 public:
  PrinterCollection() = default;
  explicit PrinterCollection(std::vector<PrinterObject> items) : items_(std::move(items)) {}
  std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }
  // Zero-based; throws std::out_of_range outside 0 .. Count() - 1.
  const PrinterObject& Item(std::int32_t index) const;
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::vector<PrinterObject> items_;
};

// What the printer layer learnt of the printer it last opened that its
// level-2 record cannot hold: why an open or a query failed, the print
// system's own word apart from its device's, and what the device said.
struct Findings {
  // The last listing had an answer from the print system (one that does not
  // answer lists no printer).
  bool print_system_answered = true;
  std::int32_t open_error = ERROR_SUCCESS;   // of an open that failed
  std::int32_t query_error = ERROR_SUCCESS;  // of a level-2 query that failed
  std::string error_message;                 // the system's words for that error
  std::int32_t system_status = 0;            // the print system's status bits, before the device's
  bool set_offline = false;                  // its user set it to work offline (the spooler's own bit)
  bool rejecting = false;                    // the queue does not accept jobs
  enum Group { Single, Class, Pool } group = Single;  // a class's members, a pool's ports: the port name
  DeviceState device;                        // what its device said; NotChecked when it was not asked
  std::string message;                       // the print system's own message for it
  // Which print system's words say what to do (resume a queue, ...).
  enum System { Cups, Spooler } system = Cups;
  QueuedJobs jobs;                           // what waits in its queue
  // Its supplies: its device's, else what the print system last heard.
  std::vector<Supply> supplies;
};

class PrinterServices {
 public:
  // Address at which the record filled by the last successful level-2 query
  // stands for RtlMoveMemory.
  static constexpr std::uint32_t kRecordAddress = 0x01000000;

  virtual ~PrinterServices() = default;

  // The installed printers, one snapshot per call.
  virtual PrinterCollection Printers() = 0;

  // The application's current printer.
  void SetPrinter(const PrinterObject& printer);
  const std::optional<PrinterObject>& Printer() const { return current_; }

  // Spooler calls: non-zero on success. Like the collection, each may be
  // taken over by a class that stands between the caller and the spooler.
  virtual std::int32_t OpenPrinterW(const char16_t* name, std::int32_t* handle, const void* defaults);
  virtual std::int32_t GetPrinterA(std::int32_t handle, std::int32_t level, void* buffer,
                                   std::int32_t buffer_size, std::int32_t* bytes_needed);
  virtual std::int32_t ClosePrinter(std::int32_t handle);

  // Copies `length` bytes from 32-bit address `source`. Only the record of the
  // last successful level-2 query is mapped; every other byte reads as 0.
  virtual void RtlMoveMemory(void* destination, std::int32_t source, std::int32_t length);

  // The error code left by the last failing call; successful calls and the
  // memory copy leave it as it was.
  std::int32_t LastDllError() const { return last_error_; }

  std::size_t OpenHandleCount() const { return handles_.size(); }

  // What was learnt of the printer last opened (see Findings).
  const Findings& LastFindings() const { return findings_; }

 protected:
  // Where a backend notes what it learns: a listing, whether the print
  // system answered; a description, the rest. An open starts them anew.
  Findings& Learnt() { return findings_; }
  // The system's words for an error code.
  virtual std::string ErrorMessage(std::int32_t error) const;

  // Opens `name` as `handle`: ERROR_SUCCESS, or the error code (and the
  // handle is not used).
  virtual std::int32_t Open(std::int32_t handle, const std::u16string& name) = 0;
  // Describes the printer opened as `handle`; ERROR_SUCCESS or an error code.
  virtual std::int32_t Describe(std::int32_t handle, const std::u16string& name, Record& record) = 0;
  // The handle is being closed.
  virtual void Closed(std::int32_t /*handle*/, const std::u16string& /*name*/) {}

 private:
  struct Opened {
    std::u16string name;
    std::optional<std::vector<unsigned char>> snapshot;
  };
  std::int32_t Fail(std::int32_t error) {
    last_error_ = error;
    return 0;
  }
  // Fails with `error`, noted in the findings as `where` (open or query).
  std::int32_t Failed(std::int32_t error, std::int32_t Findings::*where);

  std::optional<PrinterObject> current_;
  std::map<std::int32_t, Opened> handles_;
  std::int32_t next_handle_ = 0x100;
  std::vector<unsigned char> window_;
  std::int32_t last_error_ = ERROR_SUCCESS;
  Findings findings_;
};

}  // namespace printing

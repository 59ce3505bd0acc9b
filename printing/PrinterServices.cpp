#include "PrinterServices.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace printing {

const PrinterObject& PrinterCollection::Item(std::int32_t index) const {
  if (index < 0 || index >= Count())
    throw std::out_of_range("printer index " + std::to_string(index) + " out of range");
  return items_[static_cast<std::size_t>(index)];
}

void PrinterServices::SetPrinter(const PrinterObject& printer) { current_ = printer; }

std::int32_t PrinterServices::OpenPrinterW(const char16_t* name, std::int32_t* handle,
                                           const void* /*defaults*/) {
  if (name == nullptr || handle == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::u16string printer(name);
  const bool answered = findings_.print_system_answered;
  findings_ = Findings();
  findings_.print_system_answered = answered;
  while (next_handle_ == 0 || handles_.count(next_handle_)) ++next_handle_;
  const std::int32_t opened = next_handle_;
  if (std::int32_t error = Open(opened, printer); error != ERROR_SUCCESS) return Failed(error, &Findings::open_error);
  ++next_handle_;
  handles_.emplace(opened, Opened{std::move(printer), std::nullopt});
  *handle = opened;
  return 1;
}

std::int32_t PrinterServices::GetPrinterA(std::int32_t handle, std::int32_t level, void* buffer,
                                          std::int32_t buffer_size, std::int32_t* bytes_needed) {
  auto it = handles_.find(handle);
  if (it == handles_.end()) return Fail(ERROR_INVALID_HANDLE);
  if (level != 2) return Fail(ERROR_INVALID_LEVEL);
  Opened& opened = it->second;
  if (!opened.snapshot) {
    Record record;
    if (std::int32_t error = Describe(handle, opened.name, record); error != ERROR_SUCCESS)
      return Failed(error, &Findings::query_error);
    opened.snapshot = Pack(record, kRecordAddress);
  }
  const auto& bytes = *opened.snapshot;
  const auto needed = static_cast<std::int32_t>(bytes.size());
  if (bytes_needed != nullptr) *bytes_needed = needed;
  if (buffer == nullptr || buffer_size < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
  if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
  window_ = bytes;
  return 1;
}

std::int32_t PrinterServices::ClosePrinter(std::int32_t handle) {
  auto it = handles_.find(handle);
  if (it == handles_.end()) return Fail(ERROR_INVALID_HANDLE);
  std::u16string name = std::move(it->second.name);
  handles_.erase(it);
  Closed(handle, name);
  return 1;
}

std::int32_t PrinterServices::Failed(std::int32_t error, std::int32_t Findings::*where) {
  findings_.*where = error;
  findings_.error_message = ErrorMessage(error);
  return Fail(error);
}

std::string PrinterServices::ErrorMessage(std::int32_t error) const {
  // As Windows words them, for the codes this layer gives.
  struct Known {
    std::int32_t code;
    const char* text;
  };
  static constexpr Known kKnown[] = {
      {ERROR_ACCESS_DENIED, "Access is denied."},
      {ERROR_INVALID_HANDLE, "The handle is invalid."},
      {ERROR_NOT_ENOUGH_MEMORY, "Not enough memory resources are available to process this command."},
      {ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
      {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small."},
      {ERROR_INVALID_LEVEL, "The system call level is not correct."},
      {RPC_S_SERVER_UNAVAILABLE, "The RPC server is unavailable."},
      {ERROR_INVALID_PRINTER_NAME, "The printer name is invalid."},
  };
  for (const Known& k : kKnown)
    if (k.code == error) return k.text;
  return "Unknown error.";
}

void PrinterServices::RtlMoveMemory(void* destination, std::int32_t source, std::int32_t length) {
  if (length <= 0 || destination == nullptr) return;
  auto* out = static_cast<unsigned char*>(destination);
  std::memset(out, 0, static_cast<std::size_t>(length));
  const std::int64_t from = source;
  const std::int64_t to = from + length;
  const std::int64_t lo = std::max<std::int64_t>(from, kRecordAddress);
  const std::int64_t hi = std::min<std::int64_t>(to, std::int64_t{kRecordAddress} + std::int64_t(window_.size()));
  if (lo < hi)
    std::memcpy(out + (lo - from), window_.data() + (lo - kRecordAddress), static_cast<std::size_t>(hi - lo));
}

}  // namespace printing

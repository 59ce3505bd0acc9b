// A printer's state in the spooler's words, on every platform: the status
// bits of an IPP printer's state and reasons, and when a printer works
// offline (the bit the verdict reads).
#include <gtest/gtest.h>

#include "PrinterState.h"

using namespace printing;

namespace {

TEST(PrinterState, AReasonSetsItsBitsWhateverItsSuffix) {
  struct Case {
    const char* reason;
    std::int32_t status;
  };
  const Case cases[] = {
      {"media-jam", PRINTER_STATUS_PAPER_JAM},
      {"media-jam-error", PRINTER_STATUS_PAPER_JAM | PRINTER_STATUS_ERROR},
      {"toner-low-warning", PRINTER_STATUS_TONER_LOW},
      {"offline-report", PRINTER_STATUS_OFFLINE},
      {"spool-area-full-error", PRINTER_STATUS_ERROR},
      {"none", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(ReasonStatus(c.reason), c.status) << c.reason;
  EXPECT_EQ(StatusBits(kIppStopped, {"paused", "cover-open-warning"}), PRINTER_STATUS_PAUSED | PRINTER_STATUS_DOOR_OPEN);
  EXPECT_EQ(StatusBits(kIppProcessing, {}), PRINTER_STATUS_PRINTING);
  EXPECT_EQ(StatusBits(kIppIdle, {"none"}), 0);
}

TEST(PrinterState, TheSpoolerSaysWhenAPrinterCannotPrint) {
  const std::int32_t cannot[] = {PRINTER_STATUS_PAUSED, PRINTER_STATUS_PENDING_DELETION, PRINTER_STATUS_OFFLINE,
                                 PRINTER_STATUS_NOT_AVAILABLE, PRINTER_STATUS_SERVER_UNKNOWN,
                                 PRINTER_STATUS_SERVER_OFFLINE};
  // Paper out, a jam, toner, an open door, an error and user intervention
  // (0x100000) show in the status word alone.
  const std::int32_t can[] = {0, PRINTER_STATUS_PAPER_OUT, PRINTER_STATUS_PAPER_JAM, PRINTER_STATUS_NO_TONER,
                              PRINTER_STATUS_DOOR_OPEN, PRINTER_STATUS_ERROR, 0x100000, PRINTER_STATUS_PRINTING};
  for (std::int32_t status : cannot)
    EXPECT_EQ(WithSpoolerStatus(PRINTER_ATTRIBUTE_LOCAL, status), PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_WORK_OFFLINE)
        << status;
  for (std::int32_t status : can) EXPECT_EQ(WithSpoolerStatus(PRINTER_ATTRIBUTE_LOCAL, status), PRINTER_ATTRIBUTE_LOCAL) << status;
}

TEST(PrinterState, WhatADeviceSaysIsAddedToTheSpoolersWords) {
  auto device = [](DeviceState::Kind kind, bool stopped = false, bool accepting = true, std::int32_t status = 0) {
    DeviceState d;
    d.kind = kind;
    d.has_state = kind == DeviceState::Reachable && (stopped || !accepting || status != 0);
    d.stopped = stopped;
    d.accepting = accepting;
    d.status = status;
    return d;
  };
  struct Case {
    DeviceState device;
    std::int32_t attributes, status;  // added to the spooler's toner-low printer
  };
  constexpr std::int32_t kOff = PRINTER_ATTRIBUTE_WORK_OFFLINE;
  const Case cases[] = {
      {device(DeviceState::NotChecked), 0, 0},
      {device(DeviceState::Reachable), 0, 0},
      {device(DeviceState::Unreachable), kOff, PRINTER_STATUS_OFFLINE},
      {device(DeviceState::Reachable, true, true, PRINTER_STATUS_PAUSED), kOff, PRINTER_STATUS_PAUSED},
      {device(DeviceState::Reachable, false, false), kOff, 0},
      {device(DeviceState::Reachable, false, true, PRINTER_STATUS_OFFLINE), kOff, PRINTER_STATUS_OFFLINE},
      {device(DeviceState::Reachable, false, true, PRINTER_STATUS_PAPER_JAM), 0, PRINTER_STATUS_PAPER_JAM},
  };
  for (const Case& c : cases) {
    std::int32_t attributes = PRINTER_ATTRIBUTE_LOCAL, status = PRINTER_STATUS_TONER_LOW;
    AddDeviceState(c.device, attributes, status);
    EXPECT_EQ(attributes, PRINTER_ATTRIBUTE_LOCAL | c.attributes) << &c - cases;
    EXPECT_EQ(status, PRINTER_STATUS_TONER_LOW | c.status) << &c - cases;
  }
}

}  // namespace

// Looking for a usb queue's printer on fake buses in the kernel's layout.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeUsbBus.h"
#include "UsbPresence.h"

using printing::FindUsbPrinter;
using printing::UsbPresence;
using usbtest::FakeUsbBus;
using usbtest::FakeUsbDevice;
using usbtest::kUnreadable;

namespace {

// The usb backend's URI for it: usb://HP/LaserJet%20P1005?serial=BC0H4NS
FakeUsbDevice Laser(std::string port = "1-1", std::string serial = "BC0H4NS") {
  FakeUsbDevice d;
  d.port = port;
  d.manufacturer = "Hewlett-Packard";
  d.product = "HP LaserJet P1005";
  d.serial = serial;
  d.ieee1284_id = "MFG:Hewlett-Packard;MDL:HP LaserJet P1005;CMD:ACL,ZJS,PJL;CLS:PRINTER;DES:HP LaserJet P1005;";
  return d;
}

// No serial number, and descriptor strings that are not its model: only its
// 1284 device ID names it (usb://EPSON/ET-2750%20Series).
FakeUsbDevice Epson() {
  FakeUsbDevice d;
  d.port = "1-2";
  d.vendor_id = "04b8";
  d.manufacturer = "EPSON";
  d.product = "USB2.0 MFP(Hi-Speed)";
  d.ieee1284_id = "MFG:EPSON;CMD:ESCPL2,BDC,D4,D4PX,ESCPR7,END4,GENEP,URF;MDL:ET-2750 Series;CLS:PRINTER;";
  return d;
}

// Not driven by usblp: only the descriptor strings name it.
FakeUsbDevice Deskjet() {
  FakeUsbDevice d;
  d.port = "3-1.4";
  d.manufacturer = "Hewlett-Packard";
  d.product = "HP Deskjet 2540 series";
  d.serial = "CN3AK2KG0V05ZM";
  return d;
}

FakeUsbDevice Lexmark() {
  FakeUsbDevice d;
  d.port = "1-3";
  d.vendor_id = "043d";
  d.manufacturer = "Lexmark International";
  d.product = "Lexmark E260d";
  return d;
}

// A label printer whose serial number descriptor is not ASCII: U+3030, then
// digits as big-endian UTF-16 (usb://DYMO/LabelWriter%20450?serial=303000300031).
FakeUsbDevice Dymo() {
  FakeUsbDevice d;
  d.port = "1-4";
  d.vendor_id = "0922";
  d.manufacturer = "DYMO";
  d.product = "LabelWriter 450";
  d.serial = "\u3030\u3000\u3100";
  return d;
}

// A memory stick that carries the laser printer's serial number.
FakeUsbDevice Stick() {
  FakeUsbDevice d;
  d.port = "2-1";
  d.interface_class = "08";
  d.interface_subclass = "06";
  d.interface_protocol = "50";
  d.manufacturer = "SanDisk";
  d.product = "Cruzer Blade";
  d.serial = "BC0H4NS";
  return d;
}

FakeUsbDevice Keyboard() {
  FakeUsbDevice d;
  d.port = "1-5";
  d.interface_class = "03";
  d.interface_subclass = "01";
  d.interface_protocol = "01";
  d.manufacturer = "Logitech";
  d.product = "USB Keyboard";
  return d;
}

template <class F>
FakeUsbDevice With(FakeUsbDevice d, F change) {
  change(d);
  return d;
}

TEST(UsbPresence, FindsTheQueuesPrinterOnTheBus) {
  const std::string laser = "usb://HP/LaserJet%20P1005?serial=BC0H4NS";
  struct Case {
    const char* what;
    std::vector<FakeUsbDevice> bus;
    std::string uri;
    UsbPresence expected;
  };
  const Case cases[] = {
      {"present by serial", {Keyboard(), Laser()}, laser, UsbPresence::Present},
      {"unplugged", {Keyboard(), Epson()}, laser, UsbPresence::Absent},
      {"nothing plugged in", {}, laser, UsbPresence::Absent},
      {"1284 ID, no serial", {Laser(), Epson()}, "usb://EPSON/ET-2750%20Series", UsbPresence::Present},
      {"1284 ID, another model", {Epson()}, "usb://EPSON/ET-4750%20Series", UsbPresence::Absent},
      {"descriptor strings, Hewlett-Packard as HP",
       {Deskjet()}, "usb://HP/Deskjet%202540%20series", UsbPresence::Present},
      {"descriptor strings, Lexmark International as Lexmark, any case",
       {Lexmark()}, "usb://lexmark/E260D", UsbPresence::Present},
      {"hex-encoded serial", {Dymo()}, "usb://DYMO/LabelWriter%20450?serial=303000300031", UsbPresence::Present},
      {"same model, other serial", {Laser("1-1", "VNB3K12345")}, laser, UsbPresence::Absent},
      {"same model, both plugged in", {Laser("1-1", "VNB3K12345"), Laser("1-6")}, laser, UsbPresence::Present},
      {"not a printer, same serial", {Stick()}, laser, UsbPresence::Absent},
      {"hp:/usb/", {Laser()}, "hp:/usb/HP_LaserJet_P1005?serial=BC0H4NS", UsbPresence::Present},
      {"hp:/usb/, unplugged", {Deskjet()}, "hp:/usb/HP_LaserJet_P1005?serial=BC0H4NS", UsbPresence::Absent},
      {"interface=", {Laser()}, laser + "&interface=1", UsbPresence::Present},
      {"serial=? is no serial", {Laser()}, "usb://HP/LaserJet%20P1005?serial=?&interface=1", UsbPresence::Present},
      {"serial unreadable",
       {With(Laser(), [](FakeUsbDevice& d) { d.serial = kUnreadable; })}, laser, UsbPresence::Absent},
      {"interface class half-written",
       {With(Laser(), [](FakeUsbDevice& d) { d.interface_class = "0"; })}, laser, UsbPresence::Absent},
      {"1284 ID unreadable, descriptor strings name it",
       {With(Laser(), [](FakeUsbDevice& d) { d.ieee1284_id = kUnreadable; })}, "usb://HP/LaserJet%20P1005",
       UsbPresence::Present},
      {"1284 ID half-written, descriptor strings do not name it",
       {With(Epson(), [](FakeUsbDevice& d) { d.ieee1284_id = "MFG:EPSON;CMD:ESCPL2,BDC;MDL:ET-27"; })},
       "usb://EPSON/ET-2750%20Series", UsbPresence::Absent},
      {"a parallel port is not looked at", {Laser()}, "parallel:/dev/lp0", UsbPresence::NotUsb},
  };
  for (const Case& c : cases) {
    FakeUsbBus bus;
    bus.AddBus();
    for (const FakeUsbDevice& d : c.bus) bus.Plug(d);
    EXPECT_EQ(FindUsbPrinter(c.uri, bus.Root()), c.expected) << c.what << ": " << c.uri;
  }
}

TEST(UsbPresence, WithoutAUsbBusNothingCanBeSeen) {
  FakeUsbBus bus;  // the kernel shows no bus/usb: a container, a machine without USB
  EXPECT_EQ(FindUsbPrinter("usb://HP/LaserJet%20P1005?serial=BC0H4NS", bus.Root()), UsbPresence::Unknown);
  EXPECT_EQ(FindUsbPrinter("hp:/usb/HP_LaserJet_P1005?serial=BC0H4NS", bus.Root()), UsbPresence::Unknown);
}

}  // namespace

// Times looking for a usb queue's printer on a bus shaped like a desk's: two
// root hubs, a hub, input devices, a webcam, storage and two printers, in the
// kernel's layout in a temporary folder; and on this machine's /sys.
//   usb_bench RUNS
// Prints "entries N present_us MEDIAN absent_us MEDIAN sys_us MEDIAN|none".
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "FakeUsbBus.h"
#include "UsbPresence.h"

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Median microseconds of `runs` looks, each checked against `expected`.
double Microseconds(const std::string& uri, const std::filesystem::path& root, int runs,
                    printing::UsbPresence expected) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const printing::UsbPresence found = printing::FindUsbPrinter(uri, root);
    times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    if (found != expected) {
      std::fprintf(stderr, "%s: unexpected answer\n", uri.c_str());
      std::exit(1);
    }
  }
  return Median(times);
}

usbtest::FakeUsbDevice Device(const char* port, const char* cls, const char* manufacturer, const char* product,
                              const char* serial = nullptr) {
  usbtest::FakeUsbDevice d;
  d.port = port;
  d.interface_class = cls;
  d.interface_subclass = std::string(cls) == "07" ? "01" : "00";
  d.manufacturer = manufacturer;
  d.product = product;
  if (serial) d.serial = serial;
  return d;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s RUNS\n", argv[0]);
    return 2;
  }
  const int runs = std::max(1, std::atoi(argv[1]));
  usbtest::FakeUsbBus bus;
  bus.AddBus(1);
  bus.AddBus(2);
  for (const auto& d : {Device("1-1", "09", "Genesys Logic", "USB2.0 Hub"),
                        Device("1-1.1", "03", "Logitech", "USB Keyboard"),
                        Device("1-1.2", "03", "Logitech", "USB Optical Mouse"),
                        Device("1-1.3", "0e", "Microsoft", "LifeCam HD-3000"),
                        Device("1-2", "e0", "Intel Corp.", "Bluetooth"),
                        Device("1-3", "ff", "Synaptics", "Fingerprint Reader", "5c4a2f1b"),
                        Device("1-4", "08", "Generic", "Card Reader", "000000001206"),
                        Device("1-6", "07", "Hewlett-Packard", "HP Deskjet 2540 series", "CN3AK2KG0V05ZM"),
                        Device("2-1", "08", "Samsung", "Portable SSD T5", "1234567DEF"),
                        Device("2-2", "09", "Genesys Logic", "USB3.1 Hub")}) {
    bus.Plug(d);
  }
  auto laser = Device("1-5", "07", "Hewlett-Packard", "HP LaserJet P1005", "BC0H4NS");
  laser.ieee1284_id = "MFG:Hewlett-Packard;MDL:HP LaserJet P1005;CMD:ACL,ZJS,PJL;CLS:PRINTER;";
  bus.Plug(laser);
  const auto entries = std::distance(std::filesystem::directory_iterator(bus.Root() / "bus/usb/devices"),
                                     std::filesystem::directory_iterator());

  using printing::UsbPresence;
  const double present = Microseconds("usb://HP/LaserJet%20P1005?serial=BC0H4NS", bus.Root(), runs,
                                      UsbPresence::Present);
  const double absent = Microseconds("usb://HP/LaserJet%20P1005?serial=VNB3K12345", bus.Root(), runs,
                                     UsbPresence::Absent);
  std::printf("entries %ld present_us %.1f absent_us %.1f sys_us ", static_cast<long>(entries), present, absent);
  const std::string on_sys = "usb://HP/LaserJet%20P1005?serial=VNB3K12345";
  const UsbPresence here = printing::FindUsbPrinter(on_sys, "/sys");
  if (here == UsbPresence::Unknown)
    std::printf("none\n");  // this machine shows no USB bus
  else
    std::printf("%.1f\n", Microseconds(on_sys, "/sys", runs, here));
  return 0;
}

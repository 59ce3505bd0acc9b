// A USB bus in the layout the kernel shows under /sys, built in a folder of
// its own that goes when the bus does:
//
//   devices/pci0000:00/0000:00:14.0/usb1             root hub of bus 1
//   devices/.../usb1/1-4                              a device: idVendor, idProduct,
//                                                     manufacturer, product, serial
//   devices/.../usb1/1-4/1-4:1.0                      its interface: bInterfaceClass,
//                                                     bInterfaceSubClass, bInterfaceProtocol;
//                                                     under usblp also ieee1284_id and usbmisc/lp0
//   bus/usb/devices/1-4, bus/usb/devices/1-4:1.0      links to those
//   class/usbmisc/lp0                                 a link to usbmisc/lp0, whose "device"
//                                                     links back to the interface
#pragma once
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace usbtest {

namespace fs = std::filesystem;

// An attribute with this text is made a file that cannot be read: a folder
// in its place (the tests run as root, who reads any file).
inline const std::string kUnreadable = "\x01unreadable";

struct FakeUsbDevice {
  std::string port;  // "1-4", or "1-1.2" behind a hub: on bus 1
  std::string interface_class = "07", interface_subclass = "01", interface_protocol = "02";
  std::optional<std::string> manufacturer, product, serial;  // descriptor strings; none: no file
  std::optional<std::string> ieee1284_id;  // set: usblp drives the interface as lpN and shows it
  std::string vendor_id = "03f0", product_id = "0517";
};

class FakeUsbBus {
 public:
  // A new folder under TMPDIR (else /tmp), with no USB bus in it yet.
  FakeUsbBus() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kavro-sysfs.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make " + pattern);
    root_ = pattern;
  }
  // The folder `root`, made now.
  explicit FakeUsbBus(fs::path root) : root_(std::move(root)) { fs::create_directories(root_); }
  ~FakeUsbBus() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  FakeUsbBus(const FakeUsbBus&) = delete;
  FakeUsbBus& operator=(const FakeUsbBus&) = delete;

  const fs::path& Root() const { return root_; }

  // Bus `bus` with its root hub, as the kernel shows it with nothing plugged in.
  void AddBus(int bus = 1) {
    const std::string hub = "usb" + std::to_string(bus);
    if (fs::exists(Controller() / hub)) return;
    fs::create_directories(root_ / "bus/usb/devices");
    fs::create_directories(root_ / "class/usbmisc");
    AddDevice(Controller() / hub, hub, "1d6b", "0002", "Linux Foundation", "xHCI Host Controller", std::nullopt);
    AddInterface(Controller() / hub / (std::to_string(bus) + "-0:1.0"), "09", "00", "00");
  }

  void Plug(const FakeUsbDevice& d) {
    const std::string bus = d.port.substr(0, d.port.find('-'));
    AddBus(std::stoi(bus));
    const fs::path dir = DeviceFolder(d.port);
    AddDevice(dir, d.port, d.vendor_id, d.product_id, d.manufacturer, d.product, d.serial);
    const fs::path interface = dir / (d.port + ":1.0");
    AddInterface(interface, d.interface_class, d.interface_subclass, d.interface_protocol);
    if (d.ieee1284_id) {
      Write(interface / "ieee1284_id", *d.ieee1284_id, false);  // usblp ends it with no newline
      int n = 0;
      while (fs::exists(fs::symlink_status(root_ / "class/usbmisc" / ("lp" + std::to_string(n))))) ++n;
      const std::string lp = "lp" + std::to_string(n);
      fs::create_directories(interface / "usbmisc" / lp);
      fs::create_directory_symlink("../../../" + d.port + ":1.0", interface / "usbmisc" / lp / "device");
      Link(root_ / "class/usbmisc" / lp, interface / "usbmisc" / lp);
    }
  }

  // Takes the device at `port` (and what hangs from it) off the bus.
  void Unplug(const std::string& port) {
    fs::remove_all(DeviceFolder(port));
    for (const fs::path& folder : {root_ / "bus/usb/devices", root_ / "class/usbmisc"}) {
      std::vector<fs::path> dangling;
      for (const auto& entry : fs::directory_iterator(folder))
        if (!fs::exists(entry.path())) dangling.push_back(entry.path());
      for (const fs::path& link : dangling) fs::remove(link);
    }
  }

 private:
  fs::path Controller() const { return root_ / "devices/pci0000:00/0000:00:14.0"; }

  // Behind a hub ("1-1.2") a device's folder lies in the hub's ("1-1").
  fs::path DeviceFolder(const std::string& port) const {
    fs::path dir = Controller() / ("usb" + port.substr(0, port.find('-')));
    for (std::size_t dot = port.find('.'); dot != std::string::npos; dot = port.find('.', dot + 1))
      dir /= port.substr(0, dot);
    return dir / port;
  }

  // A relative link at `link` to `target`, as sysfs makes them.
  static void Link(const fs::path& link, const fs::path& target) {
    fs::create_directory_symlink(target.lexically_relative(link.parent_path()), link);
  }

  // The kernel ends an attribute's text with a newline.
  static void Write(const fs::path& file, const std::string& text, bool newline = true) {
    if (text == kUnreadable) {
      fs::create_directories(file);
      return;
    }
    std::ofstream(file, std::ios::binary) << text << (newline ? "\n" : "");
  }

  void AddDevice(const fs::path& dir, const std::string& name, const std::string& vendor, const std::string& product_id,
                 const std::optional<std::string>& manufacturer, const std::optional<std::string>& product,
                 const std::optional<std::string>& serial) {
    fs::create_directories(dir);
    Write(dir / "idVendor", vendor);
    Write(dir / "idProduct", product_id);
    Write(dir / "bNumConfigurations", "1");
    if (manufacturer) Write(dir / "manufacturer", *manufacturer);
    if (product) Write(dir / "product", *product);
    if (serial) Write(dir / "serial", *serial);
    Link(root_ / "bus/usb/devices" / name, dir);
  }

  void AddInterface(const fs::path& dir, const std::string& cls, const std::string& subclass,
                    const std::string& protocol) {
    fs::create_directories(dir);
    Write(dir / "bInterfaceClass", cls);
    Write(dir / "bInterfaceSubClass", subclass);
    Write(dir / "bInterfaceProtocol", protocol);
    Write(dir / "bInterfaceNumber", "00");
    Link(root_ / "bus/usb/devices" / dir.filename(), dir);
  }

  fs::path root_;
};

}  // namespace usbtest

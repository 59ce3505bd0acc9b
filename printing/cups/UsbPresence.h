// Whether the printer that a usb queue names is on the USB bus, from what the
// kernel shows every user under /sys: the devices under bus/usb/devices, their
// descriptor strings, and the IEEE 1284 device ID that the usblp driver reads.
// Nothing is opened but those files, so no root is needed and a job in
// progress is not disturbed.
#pragma once
#include <filesystem>
#include <string>

#include "DeviceCheck.h"

namespace printing {

// Looks for the printer of `device_uri`, usb://MAKE/MODEL?serial=SERIAL (the
// scheduler's usb backend; &interface=N may follow) or hp:/usb/MODEL?serial=SERIAL
// (HPLIP), in the kernel's tree under `sysfs_root` ("/sys"). A serial other
// than "?" is matched alone; without one, make and model are. One pass over
// the tree; a file that cannot be read counts as missing.
UsbPresence FindUsbPrinter(const std::string& device_uri, const std::filesystem::path& sysfs_root);

}  // namespace printing

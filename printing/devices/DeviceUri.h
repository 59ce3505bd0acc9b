// The parts of a device URI ("ipp://host:631/ipp/print",
// "socket://[fe80::1]:9100") that a device check needs, for the platforms
// whose own libraries do not split them.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace printing {

struct DeviceUri {
  std::string scheme;    // in lower case
  std::string host;      // without brackets; a user name and password before it are dropped
  int port = 0;          // as given, else the scheme's own
  std::string resource;  // "/" when none is given
};

// The parts of `uri`, or nothing when it is not of the form
// SCHEME://[USER@]HOST[:PORT][/RESOURCE] with a host and a port from 1 to 65535.
std::optional<DeviceUri> SplitDeviceUri(std::string_view uri);

// The value of the option `key` among the options after a URI's '?'
// ("...?ip=10.0.0.5&port=2"), the key compared ignoring case; nothing when
// the URI has no such option.
std::optional<std::string> UriOption(std::string_view uri, std::string_view key);

// SCHEME://HOST:PORT/RESOURCE again, the host in brackets when it holds a ':'.
std::string JoinDeviceUri(const DeviceUri& uri);

}  // namespace printing

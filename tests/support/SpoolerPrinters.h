// Printers that a Windows test or benchmark adds to the spooler (wine's, in
// the tests' profile) on ports of its choosing, and the registry keys by which
// the Standard TCP/IP port monitor knows its ports. Each is removed again
// when its owner goes.
#pragma once
#include <cstdint>
#include <string>

namespace printing::testing {

// A printer named `name` on the port `port`, with the driver of the
// installed printer `like`.
class AddedPrinter {
 public:
  AddedPrinter(std::u16string name, std::u16string port, const std::u16string& like = u"Office");
  ~AddedPrinter();
  AddedPrinter(const AddedPrinter&) = delete;
  AddedPrinter& operator=(const AddedPrinter&) = delete;

  // Zero once added, else the spooler's error.
  std::uint32_t Error() const { return error_; }

 private:
  std::u16string name_;
  std::uint32_t error_ = 0;
};

// How a Standard TCP/IP port asks its printer's SNMP agent for its status.
struct PortSnmp {
  bool enabled = false;
  std::u16string community = u"public";
  std::uint32_t index = 1;
};

// The key of a Standard TCP/IP port: raw (protocol 1) or LPR (2) to
// `host`:`number`.
class TcpPortKey {
 public:
  TcpPortKey(std::u16string port, const std::u16string& host, std::uint32_t number, std::uint32_t protocol,
             const PortSnmp& snmp = {});
  ~TcpPortKey();
  TcpPortKey(const TcpPortKey&) = delete;
  TcpPortKey& operator=(const TcpPortKey&) = delete;

  std::uint32_t Error() const { return error_; }

 private:
  std::u16string port_;
  std::uint32_t error_ = 0;
};

}  // namespace printing::testing

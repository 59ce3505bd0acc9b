#include "SnmpConf.h"

#include <cstdlib>
#include <fstream>
#include <string>

namespace printing {

SnmpAccess ReadSnmpConf() {
  const char* root = std::getenv("CUPS_SERVERROOT");
  std::ifstream in(std::string(root && *root ? root : "/etc/cups") + "/snmp.conf");
  SnmpAccess access;
  constexpr std::string_view kDirective = "community";
  std::string line;
  while (std::getline(in, line)) {
    const auto start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    const auto end = std::min(line.find_first_of(" \t\r", start), line.size());
    std::string directive = line.substr(start, end - start);
    for (char& c : directive) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (directive != kDirective) continue;
    std::string name = line.substr(end);
    name.erase(0, name.find_first_not_of(" \t"));
    name.erase(name.find_last_not_of(" \t\r") + 1);
    access.ask = !name.empty();
    access.community = name;
    break;
  }
  return access;
}

}  // namespace printing

// How CUPS's own network backends ask a printer's SNMP agent: the community
// of their snmp.conf.
#pragma once
#include "DeviceCheck.h"

namespace printing {

// The first Community line of snmp.conf in CUPS_SERVERROOT (else /etc/cups):
// its community, or not asking at all when it names none (as the backends
// take it); "public" when the file or the line is missing.
SnmpAccess ReadSnmpConf();

}  // namespace printing

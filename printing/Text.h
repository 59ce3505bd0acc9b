// Text conversions of the printer layer: UTF-8 and UTF-16, and the ANSI code
// page in which level-2 records carry their strings.
#pragma once
#include <string>
#include <string_view>

namespace printing {

// Invalid input becomes U+FFFD, one per offending byte or code unit.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// The ANSI code page: the system's on Windows (CP_ACP, named "CP1252" and
// so on), elsewhere the C library's codeset for the current LC_CTYPE, unless
// a name has been pinned with SetAnsiCodePage ("ISO-8859-1", "CP1252",
// "UTF-8", ...). An empty name goes back to the system's code page. A name
// the platform does not know is taken as plain ASCII.
void SetAnsiCodePage(std::string name);
std::string AnsiCodePage();

// Characters the code page cannot hold become '?'; bytes that are not valid
// in it become U+FFFD.
std::string Utf8ToAnsi(std::string_view utf8);
std::u16string AnsiToUtf16(std::string_view ansi);
std::string Utf16ToAnsi(std::u16string_view utf16);

}  // namespace printing

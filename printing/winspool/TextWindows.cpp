// The ANSI code page over the Windows conversions: the system's code page
// (CP_ACP) unless one is pinned.
#include "Text.h"

#include <climits>
#include <stdexcept>

// Last: see WindowsApi.h.
#include "WindowsApi.h"

namespace printing {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';
constexpr UINT kAscii = 20127;  // handled here: Windows strips the eighth bit instead
constexpr UINT kUtf8 = CP_UTF8;

std::string& PinnedCodePage() {
  static std::string name;
  return name;
}

std::string Folded(const std::string& name) {
  std::string out;
  for (char c : name)
    if (c != '-' && c != '_' && c != ' ') out += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return out;
}

// The number of a code page name: "UTF-8", "ASCII", "ISO-8859-n", "CPnnnn",
// "WINDOWS-nnnn" or the bare number; 0 for a name it does not know.
UINT CodePageNumber(const std::string& name) {
  const std::string f = Folded(name);
  if (f == "UTF8") return kUtf8;
  if (f == "ASCII" || f == "USASCII" || f == "ANSIX3.41968") return kAscii;
  auto number = [](const std::string& digits) -> UINT {
    if (digits.empty() || digits.size() > 5) return 0;
    UINT n = 0;
    for (char c : digits) {
      if (c < '0' || c > '9') return 0;
      n = n * 10 + static_cast<UINT>(c - '0');
    }
    return n;
  };
  if (f.rfind("ISO8859", 0) == 0) {
    const UINT part = number(f.substr(7));
    return part >= 1 && part <= 15 ? 28590 + part : 0;
  }
  if (f.rfind("WINDOWS", 0) == 0) return number(f.substr(7));
  if (f.rfind("CP", 0) == 0) return number(f.substr(2));
  return number(f);
}

UINT CurrentCodePage() {
  if (PinnedCodePage().empty()) return GetACP();
  const UINT cp = CodePageNumber(PinnedCodePage());
  return cp != 0 && IsValidCodePage(cp) ? cp : kAscii;
}

int Length(std::size_t size) {
  if (size > static_cast<std::size_t>(INT_MAX / 4)) throw std::length_error("text too long to convert");
  return static_cast<int>(size);
}

}  // namespace

void SetAnsiCodePage(std::string name) { PinnedCodePage() = std::move(name); }

std::string AnsiCodePage() {
  if (!PinnedCodePage().empty()) return PinnedCodePage();
  return "CP" + std::to_string(GetACP());
}

std::string Utf16ToAnsi(std::u16string_view s) {
  const UINT cp = CurrentCodePage();
  if (cp == kUtf8) return Utf16ToUtf8(s);
  // No ANSI code page holds a character beyond the BMP: a surrogate pair is
  // one '?', and so is a lone surrogate.
  std::wstring wide;
  wide.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char16_t u = s[i];
    if (u >= 0xD800 && u <= 0xDFFF) {
      if (u <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) ++i;
      wide += L'?';
    } else if (cp == kAscii && u > 0x7F) {
      wide += L'?';
    } else {
      wide += static_cast<wchar_t>(u);
    }
  }
  if (wide.empty()) return {};
  if (cp == kAscii) return std::string(wide.begin(), wide.end());
  const int n = Length(wide.size());
  // No best fit: a character the code page lacks is '?', never a look-alike.
  const int size = WideCharToMultiByte(cp, WC_NO_BEST_FIT_CHARS, wide.data(), n, nullptr, 0, "?", nullptr);
  if (size <= 0) return std::string(wide.size(), '?');
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(cp, WC_NO_BEST_FIT_CHARS, wide.data(), n, out.data(), size, "?", nullptr);
  return out;
}

std::u16string AnsiToUtf16(std::string_view s) {
  const UINT cp = CurrentCodePage();
  if (cp == kUtf8) return Utf8ToUtf16(s);
  std::u16string out;
  out.reserve(s.size());
  if (cp == kAscii) {
    for (char c : s) out += static_cast<unsigned char>(c) < 0x80 ? static_cast<char16_t>(c) : kReplacement;
    return out;
  }
  // Character by character, so that a byte sequence the code page does not
  // define becomes one U+FFFD and the rest survives.
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t len = (IsDBCSLeadByteEx(cp, static_cast<BYTE>(s[i])) && i + 1 < s.size()) ? 2 : 1;
    wchar_t wide[2];
    const int n = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, s.data() + i, static_cast<int>(len), wide, 2);
    if (n <= 0) {
      out += kReplacement;
    } else {
      for (int k = 0; k < n; ++k) out += static_cast<char16_t>(wide[k]);
    }
    i += len;
  }
  return out;
}

}  // namespace printing

// The ANSI code page over iconv: the C library's codeset unless one is pinned.
#include "Text.h"

#include <bit>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>
#include <vector>

namespace printing {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';

std::string& PinnedCodePage() {
  static std::string name;
  return name;
}

bool IsUtf8(const std::string& codeset) {
  std::string folded;
  for (char c : codeset)
    if (c != '-' && c != '_') folded += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return folded == "UTF8";
}

const char* NativeUtf16() {
  return std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
}

// Runs iconv over the whole input. An input sequence that cannot be converted
// is skipped (skip_units bytes, or a whole surrogate pair for UTF-16 input)
// and `replacement` is appended in its place.
std::string Iconv(const char* from, const char* to, std::string_view in,
                  std::size_t unit, std::string_view replacement) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    // A code page that iconv does not know is taken as plain ASCII.
    const bool code_page_is_target = std::strncmp(to, "UTF-16", 6) != 0;
    cd = code_page_is_target ? iconv_open("ANSI_X3.4-1968", from) : iconv_open(to, "ANSI_X3.4-1968");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(replacement);
  }
  std::string out;
  std::vector<char> chunk(4096);
  char* src = const_cast<char*>(in.data());
  std::size_t left = in.size();
  while (true) {
    char* dst = chunk.data();
    std::size_t room = chunk.size();
    std::size_t rc = iconv(cd, left ? &src : nullptr, &left, &dst, &room);
    out.append(chunk.data(), chunk.size() - room);
    if (rc != static_cast<std::size_t>(-1)) {
      if (left == 0) {
        // Flush any shift state.
        dst = chunk.data();
        room = chunk.size();
        iconv(cd, nullptr, nullptr, &dst, &room);
        out.append(chunk.data(), chunk.size() - room);
        break;
      }
      continue;
    }
    if (errno == E2BIG) continue;
    if (errno == EILSEQ) {
      std::size_t skip = unit;
      if (unit == 2 && left >= 4) {
        // A whole pair only when it is one: a lone high surrogate must not
        // take the character after it along.
        char16_t u, next;
        std::memcpy(&u, src, 2);
        std::memcpy(&next, src + 2, 2);
        if (u >= 0xD800 && u <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) skip = 4;
      }
      if (skip > left) skip = left;
      src += skip;
      left -= skip;
      out.append(replacement);
      continue;
    }
    // EINVAL: an incomplete sequence at the end of the input.
    out.append(replacement);
    break;
  }
  iconv_close(cd);
  return out;
}

std::u16string FromNativeUtf16Bytes(const std::string& bytes) {
  std::u16string out(bytes.size() / 2, u'\0');
  std::memcpy(out.data(), bytes.data(), out.size() * 2);
  return out;
}

}  // namespace

void SetAnsiCodePage(std::string name) { PinnedCodePage() = std::move(name); }

std::string AnsiCodePage() {
  if (!PinnedCodePage().empty()) return PinnedCodePage();
  const char* codeset = nl_langinfo(CODESET);
  return codeset && *codeset ? codeset : "ANSI_X3.4-1968";
}

std::string Utf16ToAnsi(std::u16string_view s) {
  const std::string cp = AnsiCodePage();
  if (IsUtf8(cp)) return Utf16ToUtf8(s);
  std::string bytes(s.size() * 2, '\0');
  std::memcpy(bytes.data(), s.data(), bytes.size());
  return Iconv(NativeUtf16(), cp.c_str(), bytes, 2, "?");
}

std::u16string AnsiToUtf16(std::string_view s) {
  const std::string cp = AnsiCodePage();
  if (IsUtf8(cp)) return Utf8ToUtf16(s);
  const char16_t r = kReplacement;
  std::string replacement(reinterpret_cast<const char*>(&r), 2);
  return FromNativeUtf16Bytes(Iconv(cp.c_str(), NativeUtf16(), s, 1, replacement));
}

}  // namespace printing

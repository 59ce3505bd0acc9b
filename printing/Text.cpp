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

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
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

std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  std::size_t i = 0;
  const std::size_t n = s.size();
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  while (i < n) {
    unsigned char c = byte(i);
    if (c < 0x80) {
      out += static_cast<char16_t>(c);
      ++i;
      continue;
    }
    std::size_t len = 0;
    char32_t cp = 0, min = 0;
    if (c >= 0xC2 && c <= 0xDF) { len = 2; cp = c & 0x1F; min = 0x80; }
    else if (c >= 0xE0 && c <= 0xEF) { len = 3; cp = c & 0x0F; min = 0x800; }
    else if (c >= 0xF0 && c <= 0xF4) { len = 4; cp = c & 0x07; min = 0x10000; }
    bool ok = len != 0 && i + len <= n;
    for (std::size_t k = 1; ok && k < len; ++k) {
      unsigned char cc = byte(i + k);
      if ((cc & 0xC0) != 0x80) ok = false;
      else cp = (cp << 6) | (cc & 0x3F);
    }
    if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
    if (!ok) {
      out += kReplacement;
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    i += len;
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    char32_t u = s[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (s[i + 1] - 0xDC00));
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, u);
    }
  }
  return out;
}

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

std::string Utf8ToAnsi(std::string_view s) {
  const std::string cp = AnsiCodePage();
  if (IsUtf8(cp)) return Utf16ToUtf8(Utf8ToUtf16(s));
  return Utf16ToAnsi(Utf8ToUtf16(s));
}

std::u16string AnsiToUtf16(std::string_view s) {
  const std::string cp = AnsiCodePage();
  if (IsUtf8(cp)) return Utf8ToUtf16(s);
  const char16_t r = kReplacement;
  std::string replacement(reinterpret_cast<const char*>(&r), 2);
  return FromNativeUtf16Bytes(Iconv(cp.c_str(), NativeUtf16(), s, 1, replacement));
}

}  // namespace printing

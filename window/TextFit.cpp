#include "TextFit.h"

#include <algorithm>

namespace window {
namespace {

constexpr char16_t kEllipsis = u'\u2026';

bool Space(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

// The most characters of `text` that fit in `width` followed by `suffix`,
// never splitting a surrogate pair.
std::size_t FittingPrefix(std::u16string_view text, std::u16string_view suffix, int width,
                          const std::function<int(std::u16string_view)>& advance) {
  std::size_t low = 0, high = text.size();
  while (low < high) {
    const std::size_t middle = (low + high + 1) / 2;
    if (advance(std::u16string(text.substr(0, middle)) + std::u16string(suffix)) <= width)
      low = middle;
    else
      high = middle - 1;
  }
  if (low > 0 && low < text.size() && text[low] >= 0xDC00 && text[low] <= 0xDFFF) --low;
  return low;
}

}  // namespace

FittedText FitText(std::u16string_view text, int width, int lines,
                   const std::function<int(std::u16string_view)>& advance) {
  lines = std::max(lines, 1);
  // The words, one space between them.
  std::u16string flat;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!Space(text[i]))
      flat += text[i];
    else if (!flat.empty() && flat.back() != u' ')
      flat += u' ';
  }
  if (!flat.empty() && flat.back() == u' ') flat.pop_back();

  // Each line as [start, end) of `flat`, as many words as fit.
  std::vector<std::pair<std::size_t, std::size_t>> spans;
  std::size_t start = 0;
  while (start < flat.size() && spans.size() <= static_cast<std::size_t>(lines)) {
    std::size_t end = start;
    for (std::size_t next = start; next <= flat.size();) {
      std::size_t word_end = flat.find(u' ', next);
      if (word_end == std::u16string::npos) word_end = flat.size();
      if (advance(std::u16string_view(flat).substr(start, word_end - start)) > width) break;
      end = word_end;
      next = word_end + 1;
    }
    if (end == start)  // a word wider than the box: as much of it as fits, one character at least
      end = start + std::max<std::size_t>(FittingPrefix(std::u16string_view(flat).substr(start), u"", width, advance),
                                          1);
    spans.emplace_back(start, end);
    start = end < flat.size() && flat[end] == u' ' ? end + 1 : end;
  }

  FittedText fitted;
  fitted.whole = spans.size() <= static_cast<std::size_t>(lines);
  if (!fitted.whole) spans.resize(static_cast<std::size_t>(lines));
  for (const auto& [from, to] : spans) fitted.lines.push_back(flat.substr(from, to - from));
  if (!fitted.whole) {
    // The last line holds what of the rest fits before "…".
    std::u16string_view rest = std::u16string_view(flat).substr(spans.back().first);
    std::u16string last(rest.substr(0, FittingPrefix(rest, std::u16string(1, kEllipsis), width, advance)));
    while (!last.empty() && last.back() == u' ') last.pop_back();
    fitted.lines.back() = last + kEllipsis;
  }
  return fitted;
}

}  // namespace window

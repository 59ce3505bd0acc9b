// A text fitted to a box of a few lines, as a label that elides shows it
// (ControlLayout::elides): the same lines on every toolkit, each toolkit
// measuring the text in its own font.
#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace window {

struct FittedText {
  std::vector<std::u16string> lines;
  bool whole = true;  // false: the last line ends in "…", and the text goes on beyond it
};

// The lines of `text` in a box `width` wide that holds `lines` lines (at
// least one), wrapped between words: a run of spaces, tabs or line breaks
// is one space, and a word wider than the box is broken where it must be.
// `advance` is the width a piece of text takes as drawn, in the box's units.
FittedText FitText(std::u16string_view text, int width, int lines,
                   const std::function<int(std::u16string_view)>& advance);

}  // namespace window

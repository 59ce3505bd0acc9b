// What the window's code needs of its controls, whatever toolkit draws them:
// a few operations on controls reached by their names. Each toolkit layer
// offers these over its own widgets, built from the layout (Layout.h).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace window {

class Label {
 public:
  virtual ~Label() = default;
  virtual void SetCaption(const std::u16string& text) = 0;
  // A colour of the form 0x00BBGGRR.
  virtual void SetBackColor(std::uint32_t bgr) = 0;
  virtual void SetVisible(bool visible) = 0;
  // Why the label reads as it does, in a sentence: its tooltip and what a
  // screen reader gives as its description. An empty reason takes it away:
  // the label has its own tooltip and description from the layout again
  // (the verdict's labels have no tooltip of their own). Set after the
  // caption: a label that announces its changes (ControlLayout::announces)
  // announces its caption then.
  virtual void SetReason(const std::u16string& reason) = 0;
};

class CommandButton {
 public:
  virtual ~CommandButton() = default;
  virtual void SetEnabled(bool enabled) = 0;
};

class ListBox {
 public:
  virtual ~ListBox() = default;
  virtual void AddItem(const std::u16string& text) = 0;
  virtual void Clear() = 0;
  // Highlights the entry at zero-based `index`; an index with no entry
  // highlights nothing.
  virtual void SetListIndex(int index) = 0;
  // The text of the highlighted entry; empty when none is highlighted.
  virtual std::u16string Text() const = 0;
  virtual void SetVisible(bool visible) = 0;
};

class CheckBox {
 public:
  virtual ~CheckBox() = default;
  // 0 when not ticked, 1 when ticked.
  virtual int Value() const = 0;
};

// The system's clipboard.
class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // Puts `text` on the clipboard as plain text, in place of what it held.
  // Its lines end in "\n"; the clipboard gets the system's own line ends.
  virtual void SetText(const std::u16string& text) = 0;
};

// The window's controls by name. Asking for a name that the layout does not
// give that kind of control throws std::out_of_range.
class Controls {
 public:
  virtual ~Controls() = default;
  virtual Label& LabelNamed(std::string_view name) = 0;
  virtual CommandButton& ButtonNamed(std::string_view name) = 0;
  virtual ListBox& ListNamed(std::string_view name) = 0;
  virtual CheckBox& CheckNamed(std::string_view name) = 0;
  // With them, the clipboard that the window copies to.
  virtual Clipboard& SystemClipboard() = 0;
};

}  // namespace window

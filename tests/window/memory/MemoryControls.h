// The window's controls in memory, built from its layout, for testing the
// window's behaviour without a toolkit or a display. A user's actions are the
// methods of MemoryWindow.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Controls.h"
#include "Form1.h"
#include "Layout.h"

namespace windowtest {

struct MemoryLabel : window::Label {
  std::u16string caption;
  std::int64_t background = window::kDefaultColour;
  bool visible = true;
  std::u16string reason;
  void SetCaption(const std::u16string& text) override { caption = text; }
  void SetBackColor(std::uint32_t bgr) override { background = bgr; }
  void SetVisible(bool v) override { visible = v; }
  void SetReason(const std::u16string& r) override { reason = r; }
};

struct MemoryButton : window::CommandButton {
  bool enabled = true;
  void SetEnabled(bool e) override { enabled = e; }
};

struct MemoryList : window::ListBox {
  std::vector<std::u16string> entries;
  int highlighted = -1;
  bool visible = true;
  void AddItem(const std::u16string& text) override { entries.push_back(text); }
  void Clear() override {
    entries.clear();
    highlighted = -1;
  }
  void SetListIndex(int index) override {
    highlighted = index >= 0 && index < static_cast<int>(entries.size()) ? index : -1;
  }
  std::u16string Text() const override { return highlighted < 0 ? u"" : entries[highlighted]; }
  void SetVisible(bool v) override { visible = v; }
};

struct MemoryCheck : window::CheckBox {
  bool ticked = false;
  int Value() const override { return ticked ? 1 : 0; }
};

struct MemoryClipboard : window::Clipboard {
  std::u16string text;
  void SetText(const std::u16string& t) override { text = t; }
};

class MemoryControls : public window::Controls {
 public:
  MemoryControls();
  window::Label& LabelNamed(std::string_view name) override { return Find(labels_, name); }
  window::CommandButton& ButtonNamed(std::string_view name) override { return Find(buttons_, name); }
  window::ListBox& ListNamed(std::string_view name) override { return Find(lists_, name); }
  window::CheckBox& CheckNamed(std::string_view name) override { return Find(checks_, name); }
  window::Clipboard& SystemClipboard() override { return clipboard; }

  MemoryLabel& Label(std::string_view name) { return Find(labels_, name); }
  MemoryButton& Button(std::string_view name) { return Find(buttons_, name); }
  MemoryList& List(std::string_view name) { return Find(lists_, name); }
  MemoryCheck& Check(std::string_view name) { return Find(checks_, name); }
  MemoryClipboard clipboard;

 private:
  template <class T>
  static T& Find(std::map<std::string, T, std::less<>>& controls, std::string_view name);

  std::map<std::string, MemoryLabel, std::less<>> labels_;
  std::map<std::string, MemoryButton, std::less<>> buttons_;
  std::map<std::string, MemoryList, std::less<>> lists_;
  std::map<std::string, MemoryCheck, std::less<>> checks_;
};

// Form1 over in-memory controls, loaded as the toolkits load it, and worked
// as a user works it.
class MemoryWindow {
 public:
  explicit MemoryWindow(printing::PrinterServices& services);

  void LoadPrinters() { form.cmdLoadPrinters_Click(); }
  // Highlights `row` (-1: nothing), then double-clicks the list.
  void DoubleClick(int row);
  // Double-clicks the first entry that reads `entry`; false if none does.
  bool Choose(std::u16string_view entry);
  // A click on cmdTest, which a disabled button ignores.
  void Test();
  void ClickShowTech();
  // Ctrl+C; what it copied.
  const std::u16string& Copy() { return form.mnuCopy_Click(), controls.clipboard.text; }

  MemoryControls controls;
  Form1 form;
};

}  // namespace windowtest

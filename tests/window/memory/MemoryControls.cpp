#include "MemoryControls.h"

#include <stdexcept>

namespace windowtest {

MemoryControls::MemoryControls() {
  for (const window::ControlLayout& c : window::kControls) {
    const std::string name(c.name);
    switch (c.kind) {
      case window::Kind::Label: {
        MemoryLabel& label = labels_[name];
        label.caption = c.text;
        label.background = c.background;
        break;
      }
      case window::Kind::CommandButton:
        buttons_[name].enabled = c.enabled;
        break;
      case window::Kind::ListBox:
        lists_[name];
        break;
      case window::Kind::CheckBox:
        checks_[name];
        break;
    }
  }
}

template <class T>
T& MemoryControls::Find(std::map<std::string, T, std::less<>>& controls, std::string_view name) {
  const auto found = controls.find(name);
  if (found == controls.end()) throw std::out_of_range("no such control: " + std::string(name));
  return found->second;
}

MemoryWindow::MemoryWindow(printing::PrinterServices& services) : form(controls, services) { form.Form_Load(); }

void MemoryWindow::DoubleClick(int row) {
  controls.List("lstPrinters").SetListIndex(row);
  form.lstPrinters_DblClick();
}

bool MemoryWindow::Choose(std::u16string_view entry) {
  const auto& entries = controls.List("lstPrinters").entries;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i] != entry) continue;
    DoubleClick(static_cast<int>(i));
    return true;
  }
  return false;
}

void MemoryWindow::Test() {
  if (controls.Button("cmdTest").enabled) form.cmdTest_Click();
}

void MemoryWindow::ClickShowTech() {
  MemoryCheck& check = controls.Check("chkShowTech");
  check.ticked = !check.ticked;
  form.chkShowTech_Click();
}

}  // namespace windowtest

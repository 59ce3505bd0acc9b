// The program's one window: the printer list, the selection, the test
// command with its verdict, and the technical view of the last record read.
// It works through its controls by name (Controls.h); a toolkit layer draws
// them and raises the five events below (through window::Raise, Events.h).
#pragma once
#include <string>

#include "Controls.h"
#include "Module1.h"
#include "PrinterServices.h"

class Form1 : public probe::TechnicalView {
 public:
  Form1(window::Controls& controls, printing::PrinterServices& services);

  // The device name chosen for testing; empty when none is chosen.
  const std::u16string& SelectedPrinter() const { return selected_printer_; }
  probe::Module1& Probe() { return module1_; }

  // Events, raised by the toolkit layer.
  void Form_Load();
  void cmdLoadPrinters_Click();
  void lstPrinters_DblClick();
  void cmdTest_Click();
  void chkShowTech_Click();

  // The technical view, written by the printer test.
  void List1Clear() override;
  void List1AddItem(const std::u16string& line) override;
  void SetLabel1Caption(const std::u16string& caption) override;

 private:
  void ShowSelectedPrinter();
  // The verdict of result `code` and why it was given; an empty code shows
  // "not checked", with no reason.
  void ShowResult(const std::u16string& code, const std::u16string& reason = u"");

  window::Controls& controls_;
  printing::PrinterServices& services_;
  probe::Module1 module1_;
  std::u16string selected_printer_;
};

// The program's one window: the printer list, the selection, the test
// command with its verdict, and the technical view of the last record read.
// It works through its controls by name (Controls.h); a toolkit layer draws
// them and raises the six events below (through window::Raise, Events.h).
#pragma once
#include <ctime>
#include <optional>
#include <string>
#include <vector>

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
  // Ctrl+C, or "Copy" on the verdict: a report of the chosen printer and its
  // verdict on the clipboard, as plain text for a help desk's ticket.
  void mnuCopy_Click();

  // The technical view, written by the printer test.
  void List1Clear() override;
  void List1AddItem(const std::u16string& line) override;
  void SetLabel1Caption(const std::u16string& caption) override;

 private:
  void ShowSelectedPrinter();
  // The verdict of result `code` and why it was given; an empty code shows
  // "not checked", with no reason.
  void ShowResult(const std::u16string& code, const std::u16string& reason = u"");
  // The text that mnuCopy_Click copies.
  std::u16string Summary();

  window::Controls& controls_;
  printing::PrinterServices& services_;
  probe::Module1 module1_;
  std::u16string selected_printer_;
  // The verdict shown, and when it was given; none: "not checked".
  struct Verdict {
    std::u16string caption, explanation, reason;
    std::time_t given;
  };
  std::optional<Verdict> verdict_;
  // What the last test wrote into the technical view: an earlier test's
  // lines, still shown after a test that read no record, are not its.
  std::vector<std::u16string> read_lines_;
  std::u16string read_bits_;
};

#include "Form1.h"

#include <cstdint>
#include <ctime>
#include <exception>
#include <string>

#include "Layout.h"
#include "Report.h"
#include "Text.h"

using namespace window;

Form1::Form1(Controls& controls, printing::PrinterServices& services)
    : controls_(controls), services_(services), module1_(services, *this) {}

void Form1::Form_Load() {
  controls_.LabelNamed("lblDescribe")
      .SetCaption(std::u16string(u"KAVRO SOFTWARE: Utility program to read and display printers ") +
                  u"available to your PC. This does not alter anything " +
                  u"on your computer and is safe to use at any time.");
  controls_.ListNamed("List1").SetVisible(false);
  controls_.LabelNamed("Label1").SetVisible(false);
  controls_.LabelNamed("lblReason").SetVisible(false);
}

void Form1::cmdLoadPrinters_Click() {
  ListBox& list = controls_.ListNamed("lstPrinters");
  try {
    const printing::PrinterCollection printers = services_.Printers();
    const std::int32_t last = printers.Count() - 1;
    for (std::int32_t i = 0; i <= last; ++i) list.AddItem(printers.Item(i).DeviceName);
  } catch (const std::exception& e) {
    Report(std::string("could not read the installed printers: ") + e.what());
  }
  // With no printer listed this highlights nothing.
  list.SetListIndex(0);
  ShowSelectedPrinter();
}

void Form1::lstPrinters_DblClick() {
  const std::u16string text = controls_.ListNamed("lstPrinters").Text();
  const std::size_t bracket = text.find(u'[');
  if (bracket == std::u16string::npos || bracket == 0) {
    selected_printer_ = text;
  } else {
    const std::u16string before = text.substr(0, bracket);
    const std::size_t first = before.find_first_not_of(u' ');
    selected_printer_ =
        first == std::u16string::npos ? u"" : before.substr(first, before.find_last_not_of(u' ') - first + 1);
  }
  ShowSelectedPrinter();
  ShowResult(u"");
}

void Form1::ShowSelectedPrinter() {
  Label& name = controls_.LabelNamed("lblPrinterName");
  CommandButton& test = controls_.ButtonNamed("cmdTest");
  if (!selected_printer_.empty()) {
    name.SetCaption(selected_printer_);
    test.SetEnabled(true);
  } else {
    name.SetCaption(u"** No printer selected **");
    test.SetEnabled(false);
  }
}

void Form1::chkShowTech_Click() {
  const bool shown = controls_.CheckNamed("chkShowTech").Value() == 1;
  controls_.ListNamed("List1").SetVisible(shown);
  controls_.LabelNamed("Label1").SetVisible(shown);
  controls_.LabelNamed("lblReason").SetVisible(shown);
}

void Form1::cmdTest_Click() {
  controls_.LabelNamed("lblResult").SetCaption(u"");
  controls_.LabelNamed("lblReason").SetCaption(u"");
  verdict_.reset();
  read_lines_.clear();
  read_bits_.clear();
  std::u16string code;
  std::u16string reason;
  try {
    code = module1_.TestPrinter(selected_printer_);
    reason = module1_.Reason();
  } catch (const std::exception& e) {
    // No result code: the test failed on the way. Say so where a developer
    // looks, and show the user that the printer could not be read, and why.
    Report("the test of printer \"" + printing::Utf16ToUtf8(selected_printer_) + "\" failed: " + e.what());
    code = u"PROBLEM";
    reason = u"The printer could not be read: " + printing::Utf8ToUtf16(e.what()) + u".";
  }
  ShowResult(code, reason);
}

void Form1::ShowResult(const std::u16string& code, const std::u16string& reason) {
  struct Row {
    std::u16string_view code;
    std::u16string_view caption;
    std::uint32_t colour;
    std::u16string_view explanation;
  };
  static constexpr Row rows[] = {
      {u"NO", u"Printer Not Ready (at this time)", kLightRed, u"Printer driver found and accessed OK"},
      {u"YES", u"Printer Ready", kLightGreen, u"Printer driver found and accessed OK"},
      {u"NOTFOUND", u"Printer Not available", kLightRed, u"Cannot find printer driver in Windows"},
      {u"CANNOTOPEN", u"Printer Not available", kLightRed, u"Printer found but cannot access driver"},
      {u"PROBLEM", u"Printer Not available", kLightRed, u"Printer found but problem trying to access driver"},
  };
  Label& result = controls_.LabelNamed("lblResult");
  Label& explanation = controls_.LabelNamed("lblLongResult");
  // The technical view shows the reason in words.
  controls_.LabelNamed("lblReason").SetCaption(code.empty() ? u"" : reason);
  // The verdict's reason is set last: the verdict is announced then.
  verdict_.reset();
  if (code.empty()) {
    result.SetCaption(u"not checked");
    result.SetBackColor(kLightYellow);
    explanation.SetVisible(false);
    explanation.SetReason(u"");
    result.SetReason(u"");
    return;
  }
  for (const Row& row : rows) {
    if (code != row.code) continue;
    result.SetCaption(std::u16string(row.caption));
    result.SetBackColor(row.colour);
    explanation.SetVisible(true);
    explanation.SetCaption(std::u16string(row.explanation));
    explanation.SetReason(reason);
    result.SetReason(reason);
    verdict_ = Verdict{std::u16string(row.caption), std::u16string(row.explanation), reason, std::time(nullptr)};
    return;
  }
}

void Form1::mnuCopy_Click() { controls_.SystemClipboard().SetText(Summary()); }

std::u16string Form1::Summary() {
  std::u16string text = u"Printer: " + (selected_printer_.empty() ? u"none selected" : selected_printer_) + u"\n";
  if (!verdict_) return text + u"Result: not checked\n";
  text += u"Result: " + verdict_->caption + u"\nExplanation: " + verdict_->explanation + u"\n";
  if (!verdict_->reason.empty()) text += u"Reason: " + verdict_->reason + u"\n";
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &verdict_->given);
#else
  localtime_r(&verdict_->given, &local);
#endif
  char when[32];
  const std::size_t length = std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
  text += u"Tested: " + std::u16string(when, when + length) + u"\n";
  if (controls_.CheckNamed("chkShowTech").Value() != 1) return text;
  text += u"Technical information:\n";
  if (read_lines_.empty() && read_bits_.empty()) text += u"  none: this test read no record of the printer\n";
  for (const std::u16string& line : read_lines_) text += u"  " + line + u"\n";
  if (!read_bits_.empty()) text += u"  Attribute bits: " + read_bits_ + u"\n";
  return text;
}

void Form1::List1Clear() {
  controls_.ListNamed("List1").Clear();
  read_lines_.clear();
}

void Form1::List1AddItem(const std::u16string& line) {
  controls_.ListNamed("List1").AddItem(line);
  read_lines_.push_back(line);
}

void Form1::SetLabel1Caption(const std::u16string& caption) {
  controls_.LabelNamed("Label1").SetCaption(caption);
  read_bits_ = caption;
}

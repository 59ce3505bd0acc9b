// The window's behaviour over in-memory controls: the selection, the load
// command, the verdicts and the technical view, as a user meets them.
#include <gtest/gtest.h>

#include <ctime>
#include <stdexcept>

#include "CapturedErrors.h"
#include "MemoryControls.h"
#include "MemoryPrinters.h"

namespace {

using window::kLightCyan;
using window::kLightGreen;
using window::kLightOrange;
using window::kLightRed;
using window::kLightYellow;
using window::kWhite;

using windowtest::CapturedErrors;

class FormTest : public ::testing::Test {
 protected:
  windowtest::MemoryLabel& Label(const char* name) { return w.controls.Label(name); }
  windowtest::MemoryList& List(const char* name) { return w.controls.List(name); }
  bool TestEnabled() { return w.controls.Button("cmdTest").enabled; }

  printing::MemoryPrinters printers;
  windowtest::MemoryWindow w{printers};
};

TEST_F(FormTest, AtStartTheDescriptionShowsAndTheTechnicalViewIsHidden) {
  EXPECT_EQ(Label("lblDescribe").caption,
            u"KAVRO SOFTWARE: Utility program to read and display printers available to your PC. "
            u"This does not alter anything on your computer and is safe to use at any time.");
  EXPECT_FALSE(List("List1").visible);
  EXPECT_FALSE(Label("Label1").visible);
  EXPECT_FALSE(Label("lblReason").visible);
  EXPECT_FALSE(TestEnabled());
  EXPECT_TRUE(List("lstPrinters").entries.empty());
  EXPECT_TRUE(w.form.SelectedPrinter().empty());
  // Empty coloured boxes.
  const std::pair<const char*, std::uint32_t> boxes[] = {
      {"lblPrinterName", kLightOrange}, {"lblResult", kWhite}, {"lblLongResult", kLightCyan}};
  for (const auto& [name, colour] : boxes) {
    EXPECT_TRUE(Label(name).visible) << name;
    EXPECT_TRUE(Label(name).caption.empty()) << name;
    EXPECT_EQ(Label(name).background, colour) << name;
  }
}

TEST_F(FormTest, LoadingAppendsEveryPrinterAndHighlightsTheFirstEntry) {
  printers.Add(u"Office");
  printers.Add(u"Lab [A] [B]");
  w.LoadPrinters();
  EXPECT_EQ(List("lstPrinters").entries, (std::vector<std::u16string>{u"Office", u"Lab [A] [B]"}));
  EXPECT_EQ(List("lstPrinters").highlighted, 0);
  EXPECT_EQ(Label("lblPrinterName").caption, u"** No printer selected **");
  EXPECT_FALSE(TestEnabled());

  List("lstPrinters").SetListIndex(1);
  w.LoadPrinters();
  EXPECT_EQ(List("lstPrinters").entries,
            (std::vector<std::u16string>{u"Office", u"Lab [A] [B]", u"Office", u"Lab [A] [B]"}));
  EXPECT_EQ(List("lstPrinters").highlighted, 0);
  EXPECT_EQ(printers.CollectionReads, 2);
}

TEST_F(FormTest, LoadingNoPrinterHighlightsNothingAndShowsTheSelection) {
  w.LoadPrinters();
  EXPECT_EQ(List("lstPrinters").highlighted, -1);
  EXPECT_EQ(Label("lblPrinterName").caption, u"** No printer selected **");
  EXPECT_FALSE(TestEnabled());
}

TEST_F(FormTest, ACollectionThatFailsIsReportedAndTheListKeepsWhatItHas) {
  printers.Add(u"Office");
  w.LoadPrinters();
  printers.Fault = [](const std::string& call) {
    if (call == "Printers") throw std::runtime_error("scheduler went away");
  };
  CapturedErrors errors;
  w.LoadPrinters();
  EXPECT_NE(errors.Text().find("scheduler went away"), std::string::npos) << errors.Text();
  EXPECT_EQ(List("lstPrinters").entries, std::vector<std::u16string>{u"Office"});
  EXPECT_EQ(List("lstPrinters").highlighted, 0);
}

TEST_F(FormTest, ADoubleClickChoosesTheNameBeforeTheFirstBracket) {
  struct Case {
    std::u16string entry;
    std::u16string chosen;  // empty: nothing chosen
  };
  const Case cases[] = {
      {u"Office Laser [2nd floor]", u"Office Laser"},
      {u"Lab [A] [B]", u"Lab"},
      {u"[spare] Laser", u"[spare] Laser"},
      {u"  Plain name  ", u"  Plain name  "},
      {u"   [spare]", u""},
      {u"\tTabbed [x]", u"\tTabbed"},  // only spaces are trimmed
  };
  for (const Case& c : cases) printers.Add(c.entry);
  w.LoadPrinters();
  // A double-click on the chosen entry and one with nothing highlighted, after each.
  for (int row = 0; row < static_cast<int>(std::size(cases)); ++row) {
    w.DoubleClick(row);
    const std::u16string& chosen = cases[row].chosen;
    EXPECT_EQ(w.form.SelectedPrinter(), chosen) << row;
    EXPECT_EQ(Label("lblPrinterName").caption, chosen.empty() ? u"** No printer selected **" : chosen) << row;
    EXPECT_EQ(TestEnabled(), !chosen.empty()) << row;
    EXPECT_EQ(Label("lblResult").caption, u"not checked");
    EXPECT_EQ(Label("lblResult").background, kLightYellow);
    EXPECT_FALSE(Label("lblLongResult").visible);
  }
  w.DoubleClick(-1);
  EXPECT_TRUE(w.form.SelectedPrinter().empty());
  EXPECT_EQ(Label("lblPrinterName").caption, u"** No printer selected **");
  EXPECT_FALSE(TestEnabled());
}

TEST_F(FormTest, AChoiceSurvivesAReloadAndTheVerdictStays) {
  printers.Add(u"Office");
  w.LoadPrinters();
  ASSERT_TRUE(w.Choose(u"Office"));
  w.Test();
  ASSERT_EQ(Label("lblResult").caption, u"Printer Ready");
  w.LoadPrinters();
  EXPECT_EQ(Label("lblPrinterName").caption, u"Office");
  EXPECT_TRUE(TestEnabled());
  EXPECT_EQ(Label("lblResult").caption, u"Printer Ready");
  EXPECT_EQ(Label("lblResult").background, kLightGreen);
}

TEST_F(FormTest, TheCheckBoxShowsAndHidesTheTechnicalView) {
  w.ClickShowTech();
  EXPECT_TRUE(List("List1").visible);
  EXPECT_TRUE(Label("Label1").visible);
  EXPECT_TRUE(Label("lblReason").visible);
  EXPECT_TRUE(List("List1").entries.empty());
  EXPECT_TRUE(Label("Label1").caption.empty());
  w.ClickShowTech();
  EXPECT_FALSE(List("List1").visible);
  EXPECT_FALSE(Label("Label1").visible);
  EXPECT_FALSE(Label("lblReason").visible);
}

TEST_F(FormTest, EachResultCodeShowsItsRowAndADoubleClickResetsIt) {
  struct Case {
    std::u16string name;
    std::u16string caption;
    std::uint32_t colour;
    std::u16string explanation;
  };
  printing::Record ready, offline;
  offline.Attributes = 0x400;
  printers.Add(u"Ready", ready);
  printers.Add(u"Offline", offline);
  printers.Add(u"Locked", ready).CannotOpen = true;
  printers.Add(u"Broken", ready).QueryFails = true;
  printers.Add(u"Gone", ready);
  w.LoadPrinters();
  printers.Installed.pop_back();  // removed after the list was loaded
  const Case cases[] = {
      {u"Ready", u"Printer Ready", kLightGreen, u"Printer driver found and accessed OK"},
      {u"Offline", u"Printer Not Ready (at this time)", kLightRed, u"Printer driver found and accessed OK"},
      {u"Gone", u"Printer Not available", kLightRed, u"Cannot find printer driver in Windows"},
      {u"Locked", u"Printer Not available", kLightRed, u"Printer found but cannot access driver"},
      {u"Broken", u"Printer Not available", kLightRed, u"Printer found but problem trying to access driver"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(w.Choose(c.name));
    EXPECT_FALSE(Label("lblLongResult").visible);
    w.Test();
    EXPECT_EQ(Label("lblResult").caption, c.caption);
    EXPECT_EQ(Label("lblResult").background, c.colour);
    EXPECT_TRUE(Label("lblLongResult").visible);
    EXPECT_EQ(Label("lblLongResult").caption, c.explanation);
    EXPECT_EQ(printers.OpenHandleCount(), 0u);
  }
  // The reset keeps the explanation's text, hidden.
  ASSERT_TRUE(w.Choose(u"Ready"));
  EXPECT_EQ(Label("lblLongResult").caption, u"Printer found but problem trying to access driver");
}

TEST_F(FormTest, ATestFillsTheTechnicalViewEvenWhileHidden) {
  printing::Record r;
  r.Attributes = 2628;
  printers.Add(u"Office", r);
  w.LoadPrinters();
  ASSERT_TRUE(w.Choose(u"Office"));
  w.Test();
  ASSERT_EQ(List("List1").entries.size(), 21u);
  EXPECT_EQ(List("List1").entries[13], u"Buffer No. 13  Buffer Value 2628");
  EXPECT_EQ(Label("Label1").caption, u"0101001000100");
  EXPECT_FALSE(List("List1").visible);
  w.Test();
  EXPECT_EQ(List("List1").entries.size(), 21u);
  EXPECT_EQ(Label("lblResult").caption, u"Printer Ready");
}

TEST_F(FormTest, AFailingTestShowsAProblemAndWhyReportsItAndTheWindowGoesOn) {
  printers.Add(u"Office");
  w.LoadPrinters();
  ASSERT_TRUE(w.Choose(u"Office"));
  printers.Fault = [](const std::string& call) {
    if (call == "GetPrinterA") throw std::runtime_error("spooler went away");
  };
  {
    CapturedErrors errors;
    w.Test();
    EXPECT_NE(errors.Text().find("spooler went away"), std::string::npos) << errors.Text();
    EXPECT_NE(errors.Text().find("\"Office\""), std::string::npos) << errors.Text();
  }
  EXPECT_EQ(Label("lblResult").caption, u"Printer Not available");
  EXPECT_EQ(Label("lblLongResult").caption, u"Printer found but problem trying to access driver");
  EXPECT_EQ(printers.OpenHandleCount(), 0u);
  // Both labels give why, and the technical view says it, until another
  // choice; after a test that works, the probe's reason.
  const auto reasons = [this] {
    return Label("lblResult").reason + u"|" + Label("lblLongResult").reason + u"|" + Label("lblReason").caption;
  };
  const std::u16string why = u"The printer could not be read: spooler went away.";
  EXPECT_EQ(reasons(), why + u"|" + why + u"|" + why);
  ASSERT_TRUE(w.Choose(u"Office"));
  EXPECT_EQ(reasons(), u"||");

  printers.Fault = nullptr;
  w.Test();
  EXPECT_EQ(Label("lblResult").caption, u"Printer Ready");
  const std::u16string& probed = w.form.Probe().Reason();
  EXPECT_EQ(reasons(), probed + u"|" + probed + u"|" + probed);
}

TEST_F(FormTest, CopyReportsThePrinterItsVerdictWhyAndWhenAndTheTechnicalViewWhenShown) {
  printing::Record offline;
  offline.Attributes = 0x400;
  for (const auto& [name, record] : {std::pair{u"Ready", printing::Record{}}, {u"Offline", offline}, {u"Gone", {}}})
    printers.Add(name, record);
  w.LoadPrinters();
  printers.Installed.pop_back();  // removed after the list was loaded
  EXPECT_EQ(w.Copy(), u"Printer: none selected\nResult: not checked\n");
  const auto now = [] {  // as the report writes it: such times sort as they follow
    char text[32];
    const std::time_t t = std::time(nullptr);
    return std::u16string(text, text + std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", std::localtime(&t)));
  };
  // For Gone the technical view still shows Offline's record, which is not Gone's.
  const struct {
    std::u16string name, verdict;
    bool technical;
  } cases[] = {
      {u"Ready", u"Printer Ready\nExplanation: Printer driver found and accessed OK\n", false},
      {u"Offline", u"Printer Not Ready (at this time)\nExplanation: Printer driver found and accessed OK\n", true},
      {u"Gone", u"Printer Not available\nExplanation: Cannot find printer driver in Windows\n", true}};
  for (const auto& c : cases) {
    ASSERT_TRUE(w.Choose(c.name));
    if (w.controls.Check("chkShowTech").ticked != c.technical) w.ClickShowTech();
    EXPECT_EQ(w.Copy(), u"Printer: " + c.name + u"\nResult: not checked\n");
    const std::u16string before = now();
    w.Test();
    const std::u16string after = now(), copied = w.Copy(), why = w.form.Probe().Reason();
    const std::u16string head = u"Printer: " + c.name + u"\nResult: " + c.verdict + u"Reason: " + why + u"\nTested: ",
                         when = copied.substr(head.size(), before.size());
    EXPECT_EQ(copied.substr(0, head.size()), head);
    EXPECT_TRUE(before <= when && when <= after) << std::string(when.begin(), when.end());
    std::u16string view = u"\nTechnical information:\n";
    for (const std::u16string& line : List("List1").entries) view += u"  " + line + u"\n";
    view += u"  Attribute bits: " + Label("Label1").caption + u"\n";
    if (c.name == u"Gone") view = u"\nTechnical information:\n  none: this test read no record of the printer\n";
    EXPECT_EQ(copied.substr(head.size() + when.size()), c.technical ? view : u"\n");
  }
  EXPECT_EQ(List("List1").entries.size(), 21u);
}

}  // namespace

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

#include "CapturedErrors.h"
#include "Contrast.h"
#include "DarkPalette.h"
#include "Layout.h"
#include "QtWindow.h"
#include "MemoryPrinters.h"

namespace {

const QColor kWhite(0xFF, 0xFF, 0xFF);
const QColor kLightOrange(0xFF, 0xE0, 0xC0);
const QColor kLightCyan(0xE0, 0xFF, 0xFF);
const QColor kLightYellow(0xFF, 0xFF, 0x80);
const QColor kLightRed(0xFF, 0x80, 0x80);
const QColor kLightGreen(0x80, 0xFF, 0x80);

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window = std::make_unique<QtWindow>(printers);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  }

  template <class T>
  T* Control(const char* name) {
    auto* w = window->findChild<T*>(QLatin1String(name));
    if (w == nullptr) throw std::logic_error(std::string("no control ") + name);
    return w;
  }
  QLabel* Label(const char* name) { return Control<QLabel>(name); }
  QListWidget* List(const char* name) { return Control<QListWidget>(name); }

  void LoadPrinters() { QTest::mouseClick(Control<QPushButton>("cmdLoadPrinters"), Qt::LeftButton); }
  void Test() { QTest::mouseClick(Control<QPushButton>("cmdTest"), Qt::LeftButton); }
  // A user's double-click at `at` inside the printer list (its first press highlights).
  void DoubleClickAt(QPoint at) {
    QWidget* viewport = List("lstPrinters")->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
  }
  void DoubleClickEntry(int row) {
    QListWidget* list = List("lstPrinters");
    DoubleClickAt(list->visualItemRect(list->item(row)).center());
  }
  void Choose(const QString& entry) {
    QListWidget* list = List("lstPrinters");
    const auto found = list->findItems(entry, Qt::MatchExactly);
    ASSERT_FALSE(found.isEmpty()) << entry.toStdString();
    DoubleClickEntry(list->row(found.front()));
  }
  // What the window shows at a point, as drawn.
  QColor Pixel(const char* name) {
    QWidget* w = window->findChild<QWidget*>(QLatin1String(name));
    const QImage image = window->grab().toImage();
    const QPoint at = w->geometry().bottomRight() - QPoint(2, 2);
    return image.pixelColor(at * image.devicePixelRatio());
  }
  // Office, with this attribute word, loaded, chosen by double-click and tested.
  void TestOffice(std::int32_t attributes) {
    printing::Record r;
    r.Attributes = attributes;
    printers.Add(u"Office", r);
    LoadPrinters();
    Choose("Office");
    Test();
  }
  // A control as drawn: the colour at its bottom-right corner (inside a
  // two-pixel margin), and the contrast to it of the pixel that stands out most (its text's).
  struct Drawn {
    QColor background;
    double text_contrast;
  };
  Drawn Read(const char* name) {
    const QImage image = window->grab(Control<QWidget>(name)->geometry()).toImage();
    const QColor background = image.pixelColor(image.width() - 3, image.height() - 3);
    double most = 1;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        most = std::max(most, window::ContrastRatio(Bgr(image.pixelColor(x, y)), Bgr(background)));
    return {background, most};
  }
  static std::uint32_t Bgr(const QColor& c) {
    return static_cast<std::uint32_t>(c.red() | c.green() << 8 | c.blue() << 16);
  }
  QColor Background(const char* name) { return Label(name)->palette().color(QPalette::Window); }
  // The description of a verdict's label: the last test's reason, or its own.
  QString Reasoned(const char* own) {
    const std::u16string& reason = window->Form().Probe().Reason();
    return reason.empty() ? own : QString::fromStdU16String(reason);
  }
  QString Text(const char* name) { return Label(name)->text(); }

  printing::MemoryPrinters printers;
  std::unique_ptr<QtWindow> window;
};

TEST_F(WindowTest, ControlsStandWhereAndAsTheyAreLaidOut) {
  const std::map<window::Kind, const char*> classes = {{window::Kind::Label, "QLabel"},
                                                       {window::Kind::CommandButton, "QPushButton"},
                                                       {window::Kind::ListBox, "QListWidget"},
                                                       {window::Kind::CheckBox, "QCheckBox"}};
  QList<QRect> placed;
  for (const window::ControlLayout& c : window::kControls) {
    const QString name = QString::fromUtf8(c.name.data(), c.name.size());
    QWidget* w = window->findChild<QWidget*>(name);
    ASSERT_NE(w, nullptr) << c.name;
    EXPECT_STREQ(w->metaObject()->className(), classes.at(c.kind)) << c.name;
    EXPECT_EQ(w->geometry(), QRect(c.left / 15, c.top / 15, c.width / 15, c.height / 15)) << c.name;
    if (c.points > 0) {
      EXPECT_EQ(w->font().family(), "Arial") << c.name;
      EXPECT_DOUBLE_EQ(w->font().pointSizeF(), c.points) << c.name;
      EXPECT_EQ(w->font().weight(), QFont::Normal) << c.name;
      EXPECT_FALSE(w->font().italic() || w->font().underline() || w->font().strikeOut()) << c.name;
    }
    if (auto* label = qobject_cast<QLabel*>(w)) {
      EXPECT_EQ(w->focusPolicy(), Qt::NoFocus) << c.name;
      EXPECT_EQ(label->textFormat(), Qt::PlainText) << c.name;
      EXPECT_EQ(label->wordWrap(), c.wraps) << c.name;
    }
    placed << w->geometry();
  }
  // No two controls overlap, and all lie inside the window.
  for (int a = 0; a < placed.size(); ++a) {
    EXPECT_TRUE(window->rect().contains(placed[a])) << a;
    for (int b = a + 1; b < placed.size(); ++b) EXPECT_FALSE(placed[a].intersects(placed[b])) << a << ", " << b;
  }
  EXPECT_EQ(List("lstPrinters")->geometry(), QRect(18, 144, 281, 244));
  EXPECT_EQ(Control<QPushButton>("cmdLoadPrinters")->text(), "Get available printers");
  EXPECT_EQ(Control<QCheckBox>("chkShowTech")->text(), "Show technical info");
  EXPECT_EQ(Text("lbl4Select"), "Available printers (double-click to select)");

  EXPECT_EQ(window->windowTitle(), "Test Printer");
  // The program's icon in the title bar: the printer's body, drawn opaque.
  const QImage icon = window->windowIcon().pixmap(32, 32).toImage();
  ASSERT_FALSE(icon.isNull());
  EXPECT_EQ(icon.pixelColor(8, 14).alpha(), 255);
  EXPECT_EQ(window->size(), QSize(624, 519));
  EXPECT_EQ(Label("lbl4Select")->toolTip(), "These printers are currently connected to your computer");
  EXPECT_TRUE(Label("lblDescribe")->wordWrap());
}

TEST_F(WindowTest, AtStartTheLabelsAreDrawnAsEmptyColouredBoxesAndTheTechnicalViewIsHidden) {
  EXPECT_TRUE(Text("lblDescribe").startsWith("KAVRO SOFTWARE: Utility program"));
  EXPECT_FALSE(List("List1")->isVisible());
  EXPECT_FALSE(Label("Label1")->isVisible());
  EXPECT_FALSE(Control<QPushButton>("cmdTest")->isEnabled());
  EXPECT_EQ(Pixel("lblDescribe"), kWhite);
  EXPECT_EQ(Pixel("lblPrinterName"), kLightOrange);
  EXPECT_EQ(Pixel("lblLongResult"), kLightCyan);
  EXPECT_EQ(Pixel("lblResult"), kWhite);
}

TEST_F(WindowTest, FocusStartsInThePrinterListAndFollowsTheTabOrder) {
  QApplication::setActiveWindow(window.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  EXPECT_EQ(QApplication::focusWidget(), List("lstPrinters"));

  // The controls that take focus by Tab, in the order Tab visits them.
  QStringList chain;
  QWidget* w = Control<QPushButton>("cmdTest");
  do {
    if (w->focusPolicy() & Qt::TabFocus && w->parentWidget() == window.get()) chain << w->objectName();
    w = w->nextInFocusChain();
  } while (w->objectName() != "cmdTest");
  EXPECT_EQ(chain, QStringList({"cmdTest", "List1", "lstPrinters", "cmdLoadPrinters", "chkShowTech"}));

  // Tab skips the labels, the disabled button and the hidden list.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), Control<QPushButton>("cmdLoadPrinters"));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), Control<QCheckBox>("chkShowTech"));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), List("lstPrinters"));
}

TEST_F(WindowTest, NothingMovesWhenTheWindowIsResized) {
  QList<QRect> before;
  for (QWidget* w : window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) before << w->geometry();
  window->resize(900, 700);
  QApplication::processEvents();
  EXPECT_EQ(window->size(), QSize(624, 519));
  QList<QRect> after;
  for (QWidget* w : window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) after << w->geometry();
  EXPECT_EQ(before, after);
}

TEST_F(WindowTest, ADoubleClickBelowTheEntriesIsTheListsDoubleClick) {
  printers.Add(u"Office");
  printers.Add(u"Lab");
  LoadPrinters();
  List("lstPrinters")->setCurrentRow(1);
  const QRect area = List("lstPrinters")->viewport()->rect();
  QTest::mouseDClick(List("lstPrinters")->viewport(), Qt::LeftButton, {}, area.bottomLeft() + QPoint(10, -10));
  // The highlight stays on Lab, so Lab is chosen.
  EXPECT_EQ(window->Form().SelectedPrinter(), u"Lab");
  EXPECT_EQ(Text("lblPrinterName"), "Lab");
  EXPECT_EQ(Text("lblResult"), "not checked");
}

TEST_F(WindowTest, ADoubleClickInAnEmptyListChoosesNothing) {
  printers.Add(u"Office");
  LoadPrinters();
  Choose("Office");
  ASSERT_EQ(window->Form().SelectedPrinter(), u"Office");
  List("lstPrinters")->clear();
  DoubleClickAt({20, 20});
  EXPECT_TRUE(window->Form().SelectedPrinter().empty());
  EXPECT_EQ(Text("lblPrinterName"), "** No printer selected **");
  EXPECT_FALSE(Control<QPushButton>("cmdTest")->isEnabled());
  EXPECT_EQ(Text("lblResult"), "not checked");
}

TEST_F(WindowTest, TheCheckBoxShowsAndHidesTheTechnicalView) {
  auto* check = Control<QCheckBox>("chkShowTech");
  QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(5, check->height() / 2));
  EXPECT_TRUE(List("List1")->isVisible());
  EXPECT_TRUE(Label("Label1")->isVisible());
  EXPECT_TRUE(Label("lblReason")->isVisible());
  EXPECT_EQ(List("List1")->count(), 0);
  EXPECT_TRUE(Text("Label1").isEmpty());
  EXPECT_EQ(Pixel("Label1"), kWhite);
  check->setFocus();
  QTest::keyClick(check, Qt::Key_Space);
  EXPECT_FALSE(List("List1")->isVisible());
  EXPECT_FALSE(Label("Label1")->isVisible());
  EXPECT_FALSE(Label("lblReason")->isVisible());
}

TEST_F(WindowTest, ADoubleClickOnAnEntryChoosesItAndVerdictsAreDrawnInTheirColours) {
  printing::Record offline;
  offline.Attributes = 0x400;
  printers.Add(u"<b>Markup</b> & co");
  printers.Add(u"Offline", offline);
  LoadPrinters();
  Choose("<b>Markup</b> & co");
  EXPECT_EQ(window->Form().SelectedPrinter(), u"<b>Markup</b> & co");
  EXPECT_EQ(Text("lblPrinterName"), "<b>Markup</b> & co");  // shown as written, never as markup
  EXPECT_EQ(Pixel("lblResult"), kLightYellow);
  EXPECT_FALSE(Label("lblLongResult")->isVisible());
  Test();
  EXPECT_EQ(Text("lblResult"), "Printer Ready");
  EXPECT_EQ(Pixel("lblResult"), kLightGreen);
  EXPECT_TRUE(Label("lblLongResult")->isVisible());
  Choose("Offline");
  Test();
  EXPECT_EQ(Text("lblResult"), "Printer Not Ready (at this time)");
  EXPECT_EQ(Pixel("lblResult"), kLightRed);
}

TEST_F(WindowTest, UnderADarkSchemeColouredLabelsKeepReadableTextAndTheRestFollowsTheScheme) {
  printers.Add(u"Office");
  const auto work = [this] {
    LoadPrinters();
    Choose("Office");
    Test();
    QTest::mouseClick(Control<QCheckBox>("chkShowTech"), Qt::LeftButton, {}, QPoint(5, 5));
  };
  work();
  const QPalette dark = DarkPalette();
  const ApplicationPalette scheme(dark);  // while the window is open
  const std::pair<const char*, QColor> labels[] = {{"lblDescribe", kWhite},     {"lblPrinterName", kLightOrange},
                                                   {"lblLongResult", kLightCyan}, {"lblResult", kLightGreen},
                                                   {"Label1", kWhite}};
  for (bool reopened : {false, true}) {
    if (reopened) {  // a window opened under the scheme
      window = std::make_unique<QtWindow>(printers);
      window->show();
      ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
      work();
    }
    ASSERT_EQ(Text("lblResult"), "Printer Ready");
    for (const auto& [name, background] : labels) {
      const Drawn label = Read(name);
      EXPECT_EQ(label.background, background) << name << (reopened ? ", reopened" : "");
      EXPECT_GE(label.text_contrast, window::kReadableContrast) << name << (reopened ? ", reopened" : "");
    }
    // The rest is drawn in the scheme's colours, and reads too.
    const Drawn heading = Read("lbl4Select");
    EXPECT_EQ(heading.background, dark.color(QPalette::Window)) << reopened;
    EXPECT_GE(heading.text_contrast, window::kReadableContrast) << reopened;
    EXPECT_EQ(Read("List1").background, dark.color(QPalette::Base)) << reopened;
  }
}

TEST_F(WindowTest, EnterInThePrinterListChoosesTheHighlightedEntry) {
  printers.Add(u"Office");
  printers.Add(u"Lab [2nd floor]");
  LoadPrinters();
  QListWidget* list = List("lstPrinters");
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Down);
  ASSERT_EQ(list->currentRow(), 1);
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(window->Form().SelectedPrinter(), u"Lab");
  EXPECT_TRUE(Control<QPushButton>("cmdTest")->isEnabled());
  QTest::keyClick(list, Qt::Key_Up);
  QTest::keyClick(list, Qt::Key_Enter);  // the keypad's
  EXPECT_EQ(window->Form().SelectedPrinter(), u"Office");
  EXPECT_EQ(Text("lblResult"), "not checked");
}

TEST_F(WindowTest, AScreenReaderNamesEveryControlAndReadsTheVerdict) {
  TestOffice(2628);
  QAccessibleInterface* form = QAccessible::queryAccessibleInterface(window.get());
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->text(QAccessible::Name), "Test Printer");

  struct Expected {
    const char* name;
    QAccessible::Role role;
    QString spoken;       // what a screen reader says for it
    QString description;  // and adds on request (a tooltip is one)
  };
  const Expected controls[] = {
      {"lblDescribe", QAccessible::StaticText, Text("lblDescribe"), ""},
      {"cmdLoadPrinters", QAccessible::Button, "Get available printers", ""},
      {"lbl4Select", QAccessible::StaticText, "Available printers (double-click to select)",
       "These printers are currently connected to your computer"},
      {"lstPrinters", QAccessible::List, "Available printers", "Double-click a printer to select it"},
      {"lblPrinterName", QAccessible::StaticText, "Office", "Selected printer"},
      {"cmdTest", QAccessible::Button, "Test Printer", ""},
      {"lblLongResult", QAccessible::StaticText, "Printer driver found and accessed OK",
       Reasoned("Explanation of the test result")},
      {"lblResult", QAccessible::StaticText, "Printer Ready", Reasoned("Test result")},
      {"chkShowTech", QAccessible::CheckBox, "Show technical info", ""},
      {"List1", QAccessible::List, "Technical information", ""},
      {"Label1", QAccessible::StaticText, "0101001000100", "Attribute bits"},
      {"lblReason", QAccessible::StaticText, Reasoned(""), "Reason for the test result"},
      // Unseen: what Orca speaks of itself as it shows.
      {"notification", QAccessible::Notification, "Printer Ready. " + Reasoned(""), ""},
  };
  ASSERT_EQ(form->childCount(), static_cast<int>(std::size(controls)));
  for (int i = 0; i < form->childCount(); ++i) {
    QAccessibleInterface* child = form->child(i);
    EXPECT_FALSE(child->text(QAccessible::Name).isEmpty()) << child->object()->objectName().toStdString();
  }
  for (const Expected& e : controls) {
    QAccessibleInterface* control = QAccessible::queryAccessibleInterface(Control<QWidget>(e.name));
    ASSERT_NE(control, nullptr) << e.name;
    EXPECT_EQ(control->parent(), form) << e.name;
    EXPECT_EQ(control->role(), e.role) << e.name;
    EXPECT_EQ(control->text(QAccessible::Name).toStdString(), e.spoken.toStdString()) << e.name;
    EXPECT_EQ(control->text(QAccessible::Description).toStdString(), e.description.toStdString()) << e.name;
  }
  EXPECT_EQ(Text("lblReason").replace('\n', ' '), Reasoned(""));  // whole, with no tip
  EXPECT_EQ(Label("lblReason")->toolTip(), "");
  QWidget* notification = Control<QWidget>("notification");
  EXPECT_TRUE(notification->isVisible() && notification->geometry().isEmpty());
  EXPECT_EQ(notification->focusPolicy(), Qt::NoFocus);
  // The entries of the printer list are read by their names.
  QAccessibleInterface* list = QAccessible::queryAccessibleInterface(List("lstPrinters"));
  ASSERT_GT(list->childCount(), 0);
  EXPECT_EQ(list->child(0)->text(QAccessible::Name), "Office");

  // Another verdict is read as it now stands.
  printers.Installed.front().Info.Attributes = 0x400;
  Test();
  EXPECT_EQ(QAccessible::queryAccessibleInterface(Label("lblResult"))->text(QAccessible::Name).toStdString(),
            "Printer Not Ready (at this time)");

  // A failure's reason is the tooltip and description of the verdict's labels, until another choice;
  // the technical view's label says it as far as its box holds, and whole in its tip.
  const QString failure = QString("the spooler went away, ").repeated(12);
  printers.Fault = [&](const std::string& call) {
    if (call == "GetPrinterA") throw std::runtime_error(failure.toStdString());
  };
  QLabel* why = Label("lblReason");
  const QFontMetrics metrics(why->font());
  for (const QString& reason : {"The printer could not be read: " + failure + ".", QString()}) {
    const windowtest::CapturedErrors reported;
    reason.isEmpty() ? Choose("Office") : Test();
    for (const auto& [name, own] : {std::pair{"lblResult", "Test result"},
                                    std::pair{"lblLongResult", "Explanation of the test result"}}) {
      EXPECT_EQ(Label(name)->toolTip().toStdString(), reason.toStdString()) << name;
      const QString description = QAccessible::queryAccessibleInterface(Label(name))->text(QAccessible::Description);
      EXPECT_EQ(description.toStdString(), (reason.isEmpty() ? own : reason).toStdString()) << name;
    }
    EXPECT_EQ(notification->isVisible(), !reason.isEmpty());
    const QString shown = why->text().replace('\n', ' ');
    EXPECT_EQ(shown, reason.isEmpty() ? "" : reason.left(shown.size() - 1) + QChar(0x2026));
    EXPECT_EQ(why->toolTip(), reason);
    EXPECT_LE(why->text().count('\n') + 1, why->height() / metrics.lineSpacing());
    for (const QString& line : why->text().split('\n')) EXPECT_LE(metrics.horizontalAdvance(line), why->width());
  }
}

TEST_F(WindowTest, CtrlCAnywhereAndCopyOnTheVerdictPutTheReportOnTheClipboard) {
  TestOffice(0);
  QTest::mouseClick(Control<QCheckBox>("chkShowTech"), Qt::LeftButton, {}, QPoint(5, 5));
  QApplication::setActiveWindow(window.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  QClipboard* clipboard = QGuiApplication::clipboard();
  const auto copied = [clipboard](const char* where) {
    const QString text = clipboard->text();
    EXPECT_TRUE(text.startsWith("Printer: Office\nResult: Printer Ready\n")) << where << ": " << text.toStdString();
    EXPECT_EQ(text.count("\n  Buffer No. "), 21) << where;
    clipboard->clear();
  };
  for (const char* focus : {"lstPrinters", "cmdLoadPrinters", "cmdTest", "chkShowTech", "List1"}) {
    Control<QWidget>(focus)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);
    copied(focus);
  }
  for (const char* name : {"lblResult", "lblLongResult"}) {  // "Copy", the one item of their context menu
    ASSERT_EQ(Label(name)->contextMenuPolicy(), Qt::ActionsContextMenu);
    ASSERT_EQ(Label(name)->actions().size(), 1);
    EXPECT_EQ(Label(name)->actions()[0]->text(), "Copy");
    Label(name)->actions()[0]->trigger();
    copied(name);
  }
}

TEST_F(WindowTest, ThePointerShowsBusyWhileATestRunsAndIsRestoredAfterIt) {
  printers.Add(u"Office");
  LoadPrinters();
  Choose("Office");
  std::vector<bool> busy;  // per spooler call: whether the pointer showed the wait cursor
  bool spooler_fails = false;
  printers.Fault = [&](const std::string& call) {
    const QCursor* cursor = QApplication::overrideCursor();
    busy.push_back(cursor != nullptr && cursor->shape() == Qt::WaitCursor);
    if (spooler_fails && call == "GetPrinterA") throw std::runtime_error("spooler went away");
  };
  Test();
  ASSERT_EQ(Text("lblResult"), "Printer Ready");
  ASSERT_GE(busy.size(), 2u);
  EXPECT_EQ(std::count(busy.begin(), busy.end(), false), 0);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  // A test that fails on the way restores it too.
  busy.clear();
  spooler_fails = true;
  {
    const windowtest::CapturedErrors reported;
    Test();
  }
  ASSERT_EQ(Text("lblResult"), "Printer Not available");
  ASSERT_FALSE(busy.empty());
  EXPECT_EQ(std::count(busy.begin(), busy.end(), false), 0);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WindowTest, AFailureThatATestLetsOutIsReportedAndTheWindowGoesOn) {
  struct Unforeseen {};  // not a std::exception: the test's handler does not catch it
  printers.Add(u"Office");
  LoadPrinters();
  Choose("Office");
  printers.Fault = [](const std::string& call) {
    if (call == "GetPrinterA") throw Unforeseen{};
  };
  {
    windowtest::CapturedErrors reported;
    Test();
    const std::string& line = reported.Text();
    EXPECT_TRUE(line.starts_with("KAVRO_TEST_PRINTERS: ") && line.find('\n') == line.size() - 1) << line;
  }
  EXPECT_EQ(Text("lblResult"), "");  // the test stopped where it failed
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(printers.OpenHandleCount(), 0u);
  printers.Fault = nullptr;
  Test();
  EXPECT_EQ(Text("lblResult"), "Printer Ready");
}

}  // namespace

// The window with the real Orca (scripts/screen-reader.sh), on a virtual X
// display with buses of its own, over a private scheduler: what Orca says
// after each test, the notification it speaks as AT-SPI gives it, and what
// Ctrl+C puts on the X clipboard. One Orca session for all: Orca takes
// seconds to start.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "CupsPrinters.h"
#include "PrivateScheduler.h"
#include "QtWindow.h"

namespace {

// What `program` writes, run while the window goes on answering (AT-SPI, X selections).
QString Output(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(program, arguments);
  if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 20000)) process.kill();
  return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// The window's notification, as an AT-SPI client finds it: name|showing|focusable|area.
QString NotificationOverAtSpi() {
  return Output("/usr/bin/python3", {"-c", R"(import pyatspi
for app in pyatspi.Registry.getDesktop(0):
    if app is not None and app.name == "KAVRO_TEST_PRINTERS":
        for o in pyatspi.findAllDescendants(app, lambda o: o.getRole() == pyatspi.ROLE_NOTIFICATION):
            s, e = o.getState(), o.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            print(o.name, s.contains(pyatspi.STATE_SHOWING), s.contains(pyatspi.STATE_FOCUSABLE), e.width * e.height, sep="|"))"});
}

TEST(ScreenReaderTest, OrcaSaysEachVerdictAndWhyAndCtrlCPutsTheReportOnTheXClipboard) {
  cupstest::PrivateScheduler scheduler;
  scheduler.Start();
  scheduler.Run("lpadmin -p Office -E -v file:///dev/null && lpadmin -p Paused -E -v file:///dev/null");
  scheduler.Run("cupsdisable Paused");
  const struct Reader {
    cupstest::FolderKeeper folder;
    std::string Dir() const { return folder.Dir(); }
    ~Reader() { std::system((KAVRO_SCREEN_READER " stop " + Dir()).c_str()); }  // before the folder goes
  } reader;
  ASSERT_EQ(std::system((cupstest::OwnerEnvironment() + " " KAVRO_SCREEN_READER " start " + reader.Dir()).c_str()), 0);
  std::ifstream environment(reader.Dir() + "/environment");
  for (std::string line; std::getline(environment, line);)
    setenv(line.substr(0, line.find('=')).c_str(), line.substr(line.find('=') + 1).c_str(), 1);
  int argc = 1;
  char name[] = "KAVRO_TEST_PRINTERS";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  printing::CupsPrinters printers;
  QtWindow window(printers);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  const auto choose_and_test = [&](const QString& printer, bool test) {
    auto* list = window.findChild<QListWidget*>("lstPrinters");
    const QPoint at = list->visualItemRect(list->findItems(printer, Qt::MatchExactly).value(0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    if (test) QTest::mouseClick(window.findChild<QPushButton*>("cmdTest"), Qt::LeftButton);
    return QString::fromStdU16String(window.Form().Probe().Reason());
  };
  // What Orca has said, once it has taken in all that came before: a button
  // added now, renamed until Orca's log, written in blocks, shows that Orca
  // has read its name. (Orca reads an object's name as it takes in an event,
  // so the button is new each time.)
  std::unique_ptr<QPushButton> mark;
  int marks = 0;
  const auto said = [&] {
    const QString name = QString("Orca has heard up to here, %1").arg(++marks);
    mark = std::make_unique<QPushButton>(&window);
    mark->setFocusPolicy(Qt::NoFocus);
    mark->show();
    QString log;
    bool heard = false;
    for (int i = 0; i < 60 && !heard; ++i) {  // 30 s
      mark->setText(i % 2 == 0 ? name : name + ".");
      QTest::qWait(500);
      QFile file(QString::fromStdString(reader.Dir() + "/orca.log"));
      log = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : "";
      heard = log.contains("OBJECT EVENT: object:property-change:accessible-name (0, 0, [push button | " + name);
    }
    QStringList notifications;
    for (const auto& line : QRegularExpression("SPEECH OUTPUT: '(notification .*)'\\{").globalMatch(log))
      notifications << line.captured(1);
    return heard ? notifications : QStringList{"Orca has not caught up in 30 s"};
  };
  QTest::mouseClick(window.findChild<QPushButton*>("cmdLoadPrinters"), Qt::LeftButton);
  const QString ready = "notification Printer Ready. " + choose_and_test("Office", true);
  EXPECT_EQ(said(), QStringList{ready});
  const QString paused = "notification Printer Not Ready (at this time). " + choose_and_test("Paused", true);
  EXPECT_TRUE(paused.contains("the print queue is paused")) << paused.toStdString();
  EXPECT_EQ(said(), QStringList({ready, paused}));
  EXPECT_EQ(NotificationOverAtSpi().toStdString(), paused.mid(13).toStdString() + "|True|False|0");

  // The keys reach the window once Orca has let them pass.
  QTest::keyClick(&window, Qt::Key_C, Qt::ControlModifier);
  EXPECT_TRUE(QTest::qWaitFor([] { return !QGuiApplication::clipboard()->text().isEmpty(); }, 30000));
  const QString copied = Output("xclip", {"-o", "-selection", "clipboard", "-t", "UTF8_STRING"});
  EXPECT_EQ(copied.toStdString(), QGuiApplication::clipboard()->text().trimmed().toStdString());
  EXPECT_TRUE(copied.startsWith("Printer: Paused\nResult: Printer Not Ready (at this time)\n")) << copied.toStdString();

  choose_and_test("Paused", false);  // "not checked": nothing shows, so Orca says nothing
  EXPECT_EQ(NotificationOverAtSpi(), "|False|False|0");
}

}  // namespace

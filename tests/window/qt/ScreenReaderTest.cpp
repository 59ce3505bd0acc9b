// The window with the real Orca (scripts/screen-reader.sh) on a virtual X
// display, over a private scheduler: what Orca, an AT-SPI client, says after
// a test of a ready and of a paused queue. Orca takes seconds to start and
// to take in what the window does.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <cstdlib>
#include <fstream>
#include <ostream>

#include "CupsPrinters.h"
#include "PrivateScheduler.h"
#include "QtWindow.h"

void PrintTo(const QString& text, std::ostream* out) { *out << text.toStdString(); }

TEST(ScreenReaderTest, OrcaSaysEachVerdictAndWhy) {
  cupstest::PrivateScheduler scheduler;
  scheduler.Start();
  scheduler.Run("lpadmin -p Office -E -v file:///dev/null && lpadmin -p Paused -E -v file:///dev/null");
  scheduler.Run("cupsdisable Paused");
  const struct Reader {
    cupstest::FolderKeeper folder;
    ~Reader() { std::system((KAVRO_SCREEN_READER " stop " + folder.Dir()).c_str()); }  // before the folder goes
  } reader;
  const std::string dir = reader.folder.Dir();
  ASSERT_EQ(std::system((cupstest::OwnerEnvironment() + " " KAVRO_SCREEN_READER " start " + dir).c_str()), 0);
  std::ifstream environment(dir + "/environment");
  for (std::string line; std::getline(environment, line);)
    setenv(line.substr(0, line.find('=')).c_str(), line.substr(line.find('=') + 1).c_str(), 1);
  int argc = 1;
  char name[] = "KAVRO_TEST_PRINTERS", *argv[] = {name, nullptr};
  QApplication app(argc, argv);
  printing::CupsPrinters printers;
  QtWindow window(printers);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QTest::mouseClick(window.findChild<QPushButton*>("cmdLoadPrinters"), Qt::LeftButton);
  const auto tested = [&](const QString& printer) {
    auto* list = window.findChild<QListWidget*>("lstPrinters");
    const QPoint at = list->visualItemRect(list->findItems(printer, Qt::MatchExactly).value(0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseClick(window.findChild<QPushButton*>("cmdTest"), Qt::LeftButton);
    return QString::fromStdU16String(window.Form().Probe().Reason());
  };
  // What Orca says as notifications, once it has said `expected` (or in 30
  // s): its log is written in blocks, which a button renamed each half
  // second fills.
  QPushButton grow(&window);
  grow.show();
  const auto said = [&](const QStringList& expected) {
    QStringList notifications;
    for (int i = 0; i < 60 && notifications != expected; ++i) {
      grow.setText(QString::number(i));
      QTest::qWait(500);
      QFile log(QString::fromStdString(dir + "/orca.log"));
      notifications.clear();
      for (const auto& line : QRegularExpression("SPEECH OUTPUT: '(notification .*)'\\{")
                                  .globalMatch(log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : ""))
        notifications << line.captured(1);
    }
    return notifications;
  };
  const QString ready = "notification Printer Ready. " + tested("Office");
  EXPECT_EQ(said({ready}), QStringList{ready});
  const QString paused = "notification Printer Not Ready (at this time). " + tested("Paused");  // "not checked" unsaid
  EXPECT_TRUE(paused.contains("the print queue is paused")) << paused.toStdString();
  EXPECT_EQ(said({ready, paused}), QStringList({ready, paused}));
  QTest::mouseClick(window.findChild<QPushButton*>("cmdTest"), Qt::LeftButton);  // the same verdict, said again
  EXPECT_EQ(said({ready, paused, paused}), QStringList({ready, paused, paused}));
}

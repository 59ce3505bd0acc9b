// Grabs the window to a PNG as a user would see it after working it: the
// printers loaded, one chosen by double-click and tested, the technical view
// shown. Printers come from the CUPS scheduler that the environment names.
// With --dark, under a dark colour scheme (DarkPalette.h); with --why, the
// pointer resting on the verdict, its tooltip showing why.
//   grab_window [--dark] [--why] OUT.png [PRINTER]
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QToolTip>

#include <cstdio>
#include <cstring>

#include "CupsPrinters.h"
#include "DarkPalette.h"
#include "QtWindow.h"

int main(int argc, char** argv) {
  bool dark = false, why = false;
  for (bool* option : {&dark, &why}) {
    const char* name = option == &dark ? "--dark" : "--why";
    if (argc > 1 && std::strcmp(argv[1], name) == 0) {
      *option = true;
      argv[1] = argv[0];
      --argc;
      ++argv;
    }
  }
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s [--dark] [--why] OUT.png [PRINTER]\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  if (dark) QApplication::setPalette(DarkPalette());
  printing::CupsPrinters printers;
  QtWindow window(printers);
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return 1;

  QTest::mouseClick(window.findChild<QPushButton*>("cmdLoadPrinters"), Qt::LeftButton);
  auto* list = window.findChild<QListWidget*>("lstPrinters");
  if (argc == 3) {
    const auto found = list->findItems(QString::fromLocal8Bit(argv[2]), Qt::MatchExactly);
    if (found.isEmpty()) {
      std::fprintf(stderr, "no printer \"%s\" listed\n", argv[2]);
      return 1;
    }
    const QPoint at = list->visualItemRect(found.front()).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseClick(window.findChild<QPushButton*>("cmdTest"), Qt::LeftButton);
    QTest::mouseClick(window.findChild<QCheckBox*>("chkShowTech"), Qt::LeftButton);
  }
  QTest::qWait(50);
  QPixmap picture = window.grab();
  if (why) {
    // The tip is a window of its own: drawn where it shows, over the window,
    // the picture grown to hold it.
    auto* verdict = window.findChild<QLabel*>("lblResult");
    const QPoint pointer = verdict->mapToGlobal(verdict->rect().center());
    QToolTip::showText(pointer, verdict->toolTip(), verdict);
    QTest::qWait(200);
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (!top->isVisible() || !top->inherits("QTipLabel")) continue;
      const QRect both = window.geometry().united(top->geometry().adjusted(0, 0, 8, 8));
      QPixmap grown(both.size());
      grown.fill(window.palette().color(QPalette::Window));
      QPainter painter(&grown);
      painter.drawPixmap(window.geometry().topLeft() - both.topLeft(), picture);
      painter.drawPixmap(top->geometry().topLeft() - both.topLeft(), top->grab());
      painter.end();
      picture = grown;
    }
  }
  if (!picture.save(QString::fromLocal8Bit(argv[1]))) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}

// Grabs the window to a PNG as a user would see it after working it: the
// printers loaded, one chosen by double-click and tested, the technical view
// shown. Printers come from the CUPS scheduler that the environment names.
// With --dark, under a dark colour scheme (DarkPalette.h).
//   grab_window [--dark] OUT.png [PRINTER]
#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <cstdio>
#include <cstring>

#include "CupsPrinters.h"
#include "DarkPalette.h"
#include "QtWindow.h"

int main(int argc, char** argv) {
  const bool dark = argc > 1 && std::strcmp(argv[1], "--dark") == 0;
  if (dark) {
    argv[1] = argv[0];
    --argc;
    ++argv;
  }
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s [--dark] OUT.png [PRINTER]\n", argv[0]);
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
  if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}

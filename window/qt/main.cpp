#include <QApplication>

#include "CupsPrinters.h"
#include "QtWindow.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("KAVRO_TEST_PRINTERS"));
  QApplication::setApplicationVersion(QStringLiteral(KAVRO_VERSION));
  // Lets the desktop match the window to its menu entry and icon.
  QApplication::setDesktopFileName(QStringLiteral(KAVRO_APP_ID));
  printing::CupsPrinters printers;
  QtWindow window(printers);
  window.show();
  return app.exec();
}

#include <QApplication>

#include "Form1.h"
#ifdef _WIN32
#include "WinspoolPrinters.h"
#else
#include "CupsPrinters.h"
#endif

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("KAVRO_TEST_PRINTERS"));
  QApplication::setApplicationVersion(QStringLiteral(KAVRO_VERSION));
  // Lets the desktop match the window to its menu entry and icon.
  QApplication::setDesktopFileName(QStringLiteral(KAVRO_APP_ID));
#ifdef _WIN32
  printing::WinspoolPrinters printers;
#else
  printing::CupsPrinters printers;
#endif
  Form1 window(printers);
  window.show();
  return app.exec();
}

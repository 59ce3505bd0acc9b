#include <QApplication>

#include "CupsPrinters.h"
#include "Form1.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("KAVRO_TEST_PRINTERS"));
  QApplication::setApplicationVersion(QStringLiteral(KAVRO_VERSION));
  printing::CupsPrinters printers;
  Form1 window(printers);
  window.show();
  return app.exec();
}

// The program's one window: the printer list, the selection, the test
// command with its verdict, and the technical view of the last record read.
#pragma once
#include <QWidget>
#include <string>

#include "Module1.h"
#include "PrinterServices.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

class Form1 : public QWidget, public probe::TechnicalView {
  Q_OBJECT

 public:
  explicit Form1(printing::PrinterServices& services, QWidget* parent = nullptr);

  // The device name chosen for testing; empty when none is chosen.
  const std::u16string& SelectedPrinter() const { return selected_printer_; }
  probe::Module1& Probe() { return module1_; }

  // The technical view, written by the printer test.
  void List1Clear() override;
  void List1AddItem(const std::u16string& line) override;
  void SetLabel1Caption(const std::u16string& caption) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Form_Load();
  void cmdLoadPrinters_Click();
  void lstPrinters_DblClick();
  void cmdTest_Click();
  void chkShowTech_Click();
  void ShowSelectedPrinter();
  void ShowResult(const std::u16string& code);

  printing::PrinterServices& services_;
  probe::Module1 module1_;
  std::u16string selected_printer_;

  QLabel* lblDescribe;
  QPushButton* cmdLoadPrinters;
  QLabel* lbl4Select;
  QListWidget* lstPrinters;
  QLabel* lblPrinterName;
  QPushButton* cmdTest;
  QLabel* lblLongResult;
  QLabel* lblResult;
  QCheckBox* chkShowTech;
  QListWidget* List1;
  QLabel* Label1;
};

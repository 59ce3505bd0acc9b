#include "Form1.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSvgRenderer>

#include <exception>
#include <iostream>

#include "Text.h"

// The resources of this library (window.qrc), which a static library has to
// register itself; outside any namespace, as Q_INIT_RESOURCE requires.
static void InitWindowResources() { Q_INIT_RESOURCE(window); }

namespace {

// Positions and sizes are laid out in twips, 15 to the logical pixel.
QRect Twips(int left, int top, int width, int height) {
  return QRect(left / 15, top / 15, width / 15, height / 15);
}

// A colour value of the form 0x00BBGGRR.
QColor Bgr(unsigned value) {
  return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

constexpr unsigned kWhite = 0x00FFFFFF;
constexpr unsigned kLightOrange = 0x00C0E0FF;
constexpr unsigned kLightCyan = 0x00FFFFE0;
constexpr unsigned kLightYellow = 0x0080FFFF;
constexpr unsigned kLightRed = 0x008080FF;
constexpr unsigned kLightGreen = 0x0080FF80;

QFont Arial(double points) {
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(points);
  font.setWeight(QFont::Normal);
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  return font;
}

void SetBackground(QLabel* label, unsigned bgr) {
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, Bgr(bgr));
  label->setPalette(palette);
}

QLabel* MakeLabel(QWidget* parent, const char* name, QRect geometry, double points) {
  auto* label = new QLabel(parent);
  label->setObjectName(QLatin1String(name));
  label->setGeometry(geometry);
  label->setFont(Arial(points));
  label->setTextFormat(Qt::PlainText);  // printer names are shown as they are, never as markup
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setFocusPolicy(Qt::NoFocus);
  return label;
}

QString FromU16(const std::u16string& text) { return QString::fromStdU16String(text); }

// The program's icon, drawn from its scalable picture at the sizes desktops
// ask for; empty if the picture cannot be read.
QIcon ProgramIcon() {
  InitWindowResources();
  QSvgRenderer picture(QStringLiteral(":/window/icon.svg"));
  QIcon icon;
  if (!picture.isValid()) return icon;
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    picture.render(&painter);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

// Shows the busy pointer for as long as it lives, however its scope is left.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

Form1::Form1(printing::PrinterServices& services, QWidget* parent)
    : QWidget(parent), services_(services), module1_(services, *this) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Test Printer"));
  setWindowIcon(ProgramIcon());
  setFixedSize(9360 / 15, 7785 / 15);

  lblDescribe = MakeLabel(this, "lblDescribe", Twips(270, 120, 4245, 1035), 9.75);
  lblDescribe->setWordWrap(true);
  lblDescribe->setAutoFillBackground(true);
  SetBackground(lblDescribe, kWhite);

  cmdLoadPrinters = new QPushButton(QStringLiteral("Get available printers"), this);
  cmdLoadPrinters->setObjectName(QStringLiteral("cmdLoadPrinters"));
  cmdLoadPrinters->setGeometry(Twips(270, 1440, 2025, 375));
  cmdLoadPrinters->setFont(Arial(9));

  lbl4Select = MakeLabel(this, "lbl4Select", Twips(360, 1890, 4125, 225), 9);
  lbl4Select->setText(QStringLiteral("Available printers (double-click to select)"));
  lbl4Select->setToolTip(QStringLiteral("These printers are currently connected to your computer"));

  lstPrinters = new QListWidget(this);
  lstPrinters->setObjectName(QStringLiteral("lstPrinters"));
  lstPrinters->setGeometry(Twips(270, 2160, 4215, 3660));
  lstPrinters->setFont(Arial(9));
  lstPrinters->setSelectionMode(QAbstractItemView::SingleSelection);
  lstPrinters->setSortingEnabled(false);
  lstPrinters->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lstPrinters->viewport()->installEventFilter(this);

  lblPrinterName = MakeLabel(this, "lblPrinterName", Twips(300, 5970, 4155, 315), 9);
  lblPrinterName->setAutoFillBackground(true);
  SetBackground(lblPrinterName, kLightOrange);

  cmdTest = new QPushButton(QStringLiteral("Test Printer"), this);
  cmdTest->setObjectName(QStringLiteral("cmdTest"));
  cmdTest->setGeometry(Twips(1200, 6360, 1455, 375));
  cmdTest->setFont(Arial(9.75));
  cmdTest->setEnabled(false);

  lblLongResult = MakeLabel(this, "lblLongResult", Twips(270, 6780, 4185, 315), 9);
  lblLongResult->setAutoFillBackground(true);
  SetBackground(lblLongResult, kLightCyan);

  lblResult = MakeLabel(this, "lblResult", Twips(300, 7200, 4185, 315), 12);
  lblResult->setAutoFillBackground(true);
  SetBackground(lblResult, kWhite);

  chkShowTech = new QCheckBox(QStringLiteral("Show technical info"), this);
  chkShowTech->setObjectName(QStringLiteral("chkShowTech"));
  chkShowTech->setGeometry(Twips(5460, 210, 3405, 255));

  List1 = new QListWidget(this);
  List1->setObjectName(QStringLiteral("List1"));
  List1->setGeometry(Twips(4950, 480, 3975, 5940));
  List1->setFont(Arial(8.25));
  List1->setSelectionMode(QAbstractItemView::SingleSelection);
  List1->setEditTriggers(QAbstractItemView::NoEditTriggers);

  Label1 = MakeLabel(this, "Label1", Twips(6270, 6570, 2655, 315), 12);
  Label1->setAutoFillBackground(true);
  SetBackground(Label1, kWhite);

  // What a screen reader announces. Buttons, the check box and the labels
  // with fixed captions are read by their text; the lists by their role. The
  // labels whose text changes are read by that text, with their role as the
  // description.
  lstPrinters->setAccessibleName(QStringLiteral("Available printers"));
  lstPrinters->setAccessibleDescription(QStringLiteral("Double-click a printer to select it"));
  List1->setAccessibleName(QStringLiteral("Technical information"));
  lblPrinterName->setAccessibleDescription(QStringLiteral("Selected printer"));
  lblResult->setAccessibleDescription(QStringLiteral("Test result"));
  lblLongResult->setAccessibleDescription(QStringLiteral("Explanation of the test result"));
  Label1->setAccessibleDescription(QStringLiteral("Attribute bits"));

  // Tab order. The labels between these take no focus, so the chain holds
  // only the controls that can; disabled or hidden ones are skipped.
  QWidget* order[] = {cmdTest, List1, lstPrinters, cmdLoadPrinters, chkShowTech};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

  connect(cmdLoadPrinters, &QPushButton::clicked, this, [this] { cmdLoadPrinters_Click(); });
  connect(cmdTest, &QPushButton::clicked, this, [this] { cmdTest_Click(); });
  connect(chkShowTech, &QCheckBox::clicked, this, [this] { chkShowTech_Click(); });

  Form_Load();
  lstPrinters->setFocus();
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  // Anywhere inside the list, below the last entry too, a double-click is
  // the list's double-click.
  if (watched == lstPrinters->viewport() && event->type() == QEvent::MouseButtonDblClick)
    lstPrinters_DblClick();
  return QWidget::eventFilter(watched, event);
}

void Form1::Form_Load() {
  lblDescribe->setText(QStringLiteral("KAVRO SOFTWARE: Utility program to read and display printers ") +
                       QStringLiteral("available to your PC. This does not alter anything ") +
                       QStringLiteral("on your computer and is safe to use at any time."));
  List1->hide();
  Label1->hide();
}

void Form1::cmdLoadPrinters_Click() {
  try {
    const printing::PrinterCollection printers = services_.Printers();
    const std::int32_t last = printers.Count() - 1;
    for (std::int32_t i = 0; i <= last; ++i) lstPrinters->addItem(FromU16(printers.Item(i).DeviceName));
  } catch (const std::exception& e) {
    std::cerr << "KAVRO_TEST_PRINTERS: could not read the installed printers: " << e.what() << '\n';
  }
  // With no printer listed there is nothing to highlight.
  if (lstPrinters->count() > 0) lstPrinters->setCurrentRow(0);
  ShowSelectedPrinter();
}

void Form1::lstPrinters_DblClick() {
  const QList<QListWidgetItem*> highlighted = lstPrinters->selectedItems();
  const std::u16string text = highlighted.isEmpty() ? std::u16string() : highlighted.front()->text().toStdU16String();
  const std::size_t bracket = text.find(u'[');
  if (bracket == std::u16string::npos || bracket == 0) {
    selected_printer_ = text;
  } else {
    std::u16string name = text.substr(0, bracket);
    const std::size_t first = name.find_first_not_of(u' ');
    if (first == std::u16string::npos) {
      name.clear();
    } else {
      name = name.substr(first, name.find_last_not_of(u' ') - first + 1);
    }
    selected_printer_ = name;
  }
  ShowSelectedPrinter();
  ShowResult(u"");
}

void Form1::ShowSelectedPrinter() {
  if (!selected_printer_.empty()) {
    lblPrinterName->setText(FromU16(selected_printer_));
    cmdTest->setEnabled(true);
  } else {
    lblPrinterName->setText(QStringLiteral("** No printer selected **"));
    cmdTest->setEnabled(false);
  }
}

void Form1::chkShowTech_Click() {
  if (chkShowTech->isChecked()) {
    List1->show();
    Label1->show();
  } else {
    List1->hide();
    Label1->hide();
  }
}

void Form1::cmdTest_Click() {
  const BusyCursor busy;
  lblResult->setText(QString());
  std::u16string code;
  try {
    code = module1_.TestPrinter(selected_printer_);
  } catch (const std::exception& e) {
    std::cerr << "KAVRO_TEST_PRINTERS: the test of printer \"" << printing::Utf16ToUtf8(selected_printer_)
              << "\" failed: " << e.what() << '\n';
    code = u"PROBLEM";
  }
  ShowResult(code);
}

void Form1::ShowResult(const std::u16string& code) {
  struct Row {
    const char16_t* code;
    const char* caption;
    unsigned colour;
    const char* explanation;
  };
  static const Row rows[] = {
      {u"NO", "Printer Not Ready (at this time)", kLightRed, "Printer driver found and accessed OK"},
      {u"YES", "Printer Ready", kLightGreen, "Printer driver found and accessed OK"},
      {u"NOTFOUND", "Printer Not available", kLightRed, "Cannot find printer driver in Windows"},
      {u"CANNOTOPEN", "Printer Not available", kLightRed, "Printer found but cannot access driver"},
      {u"PROBLEM", "Printer Not available", kLightRed, "Printer found but problem trying to access driver"},
  };
  if (code.empty()) {
    lblResult->setText(QStringLiteral("not checked"));
    SetBackground(lblResult, kLightYellow);
    lblLongResult->hide();
    return;
  }
  for (const Row& row : rows) {
    if (code != row.code) continue;
    lblResult->setText(QLatin1String(row.caption));
    SetBackground(lblResult, row.colour);
    lblLongResult->show();
    lblLongResult->setText(QLatin1String(row.explanation));
    return;
  }
}

void Form1::List1Clear() { List1->clear(); }

void Form1::List1AddItem(const std::u16string& line) { List1->addItem(FromU16(line)); }

void Form1::SetLabel1Caption(const std::u16string& caption) { Label1->setText(FromU16(caption)); }

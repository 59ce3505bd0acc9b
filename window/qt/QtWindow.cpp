#include "QtWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QEvent>
#include <QFontMetrics>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSvgRenderer>

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <vector>

#include "Contrast.h"
#include "Events.h"
#include "Layout.h"
#include "Notification.h"
#include "TextFit.h"

// The resources of this library (window.qrc), which a static library has to
// register itself; outside any namespace, as Q_INIT_RESOURCE requires.
static void InitWindowResources() { Q_INIT_RESOURCE(window); }

namespace {

using window::ControlLayout;
using window::Event;
using window::Kind;

// Layout twips to logical pixels (Qt scales those to the screen).
int Pixels(int twips) { return twips / 15; }

QString FromU16(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// A colour value of the form 0x00BBGGRR.
QColor Bgr(std::uint32_t value) { return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF); }

QFont Arial(double points) {
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(points);
  font.setWeight(QFont::Normal);
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  return font;
}

// A background of the widget's own, with its text in a colour that reads on
// it whatever the user's scheme; the roles it does not set follow the scheme,
// a change of it too.
void SetBackground(QWidget* widget, std::uint32_t bgr) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, Bgr(bgr));
  palette.setColor(QPalette::WindowText, Bgr(window::ReadableTextOn(bgr)));
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

class QtLabel : public window::Label {
 public:
  // `notification` (for a label that announces its changes) speaks its verdicts.
  QtLabel(QLabel* w, const ControlLayout& layout, Notification* notification)
      : w_(w), layout_(layout), notification_(notification) {}
  void SetCaption(const std::u16string& text) override {
    if (!layout_.elides) return w_->setText(FromU16(text));
    // As many lines as the box holds, in the label's font; a text cut short
    // is whole in the tooltip. Screen readers read it whole, as one line.
    const QFontMetrics metrics(w_->font());
    const QRect box = w_->contentsRect();
    const window::FittedText fitted =
        window::FitText(text, box.width(), box.height() / metrics.lineSpacing(),
                        [&](std::u16string_view piece) { return metrics.horizontalAdvance(FromU16(piece)); });
    QStringList lines;
    for (const std::u16string& line : fitted.lines) lines << FromU16(line);
    w_->setText(lines.join(u'\n'));
    w_->setToolTip(fitted.whole ? FromU16(layout_.tooltip) : FromU16(text));
    w_->setAccessibleName(FromU16(text));
  }
  void SetBackColor(std::uint32_t bgr) override { SetBackground(w_, bgr); }
  void SetVisible(bool visible) override { w_->setVisible(visible); }
  void SetReason(const std::u16string& reason) override {
    w_->setToolTip(FromU16(reason.empty() ? layout_.tooltip : reason));
    w_->setAccessibleDescription(FromU16(reason.empty() ? layout_.accessible_description : reason));
    // The caption and why are spoken; "not checked", which has no reason, is not.
    if (notification_ == nullptr) return;
    if (reason.empty())
      notification_->Withdraw();
    else
      notification_->Announce(w_->text() + QStringLiteral(". ") + FromU16(reason));
  }

 private:
  QLabel* w_;
  const ControlLayout& layout_;
  Notification* notification_;
};

class QtButton : public window::CommandButton {
 public:
  explicit QtButton(QPushButton* w) : w_(w) {}
  void SetEnabled(bool enabled) override { w_->setEnabled(enabled); }

 private:
  QPushButton* w_;
};

class QtList : public window::ListBox {
 public:
  explicit QtList(QListWidget* w) : w_(w) {}
  void AddItem(const std::u16string& text) override { w_->addItem(FromU16(text)); }
  void Clear() override { w_->clear(); }
  void SetListIndex(int index) override {
    if (index >= 0 && index < w_->count())
      w_->setCurrentRow(index);
    else
      w_->clearSelection();
  }
  std::u16string Text() const override {
    const QList<QListWidgetItem*> highlighted = w_->selectedItems();
    return highlighted.isEmpty() ? std::u16string() : highlighted.front()->text().toStdU16String();
  }
  void SetVisible(bool visible) override { w_->setVisible(visible); }

 private:
  QListWidget* w_;
};

class QtClipboard : public window::Clipboard {
 public:
  void SetText(const std::u16string& text) override { QGuiApplication::clipboard()->setText(FromU16(text)); }
};

class QtCheck : public window::CheckBox {
 public:
  explicit QtCheck(QCheckBox* w) : w_(w) {}
  int Value() const override { return w_->isChecked() ? 1 : 0; }

 private:
  QCheckBox* w_;
};

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

template <class T>
T& Named(std::map<std::string, std::unique_ptr<T>, std::less<>>& controls, std::string_view name) {
  const auto found = controls.find(name);
  if (found == controls.end()) throw std::out_of_range("no such control: " + std::string(name));
  return *found->second;
}

}  // namespace

QtWindow::QtWindow(printing::PrinterServices& services, QWidget* parent) : QWidget(parent) {
  setObjectName(FromU16(u"Form1"));
  setWindowTitle(FromU16(window::kForm.caption));
  setWindowIcon(ProgramIcon());
  setFixedSize(Pixels(window::kForm.client_width), Pixels(window::kForm.client_height));

  clipboard_ = std::make_unique<QtClipboard>();
  auto* notification = new Notification(this);
  // Ctrl+C anywhere in the window, and "Copy" in the context menu of the
  // labels that have one.
  auto* copy = new QAction(FromU16(window::kCopyItem), this);
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WindowShortcut);
  connect(copy, &QAction::triggered, this, [this] { Raise(Event::CopyClick); });
  addAction(copy);

  std::vector<std::pair<int, QWidget*>> focusable;
  for (const ControlLayout& c : window::kControls) {
    const QString text = FromU16(c.text);
    QWidget* w = nullptr;
    switch (c.kind) {
      case Kind::Label: {
        auto* label = new QLabel(text, this);
        label->setTextFormat(Qt::PlainText);  // printer names are shown as they are, never as markup
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setWordWrap(c.wraps);
        label->setFocusPolicy(Qt::NoFocus);
        if (c.copy_menu) {
          label->setContextMenuPolicy(Qt::ActionsContextMenu);
          label->addAction(copy);
        }
        labels_.emplace(c.name, std::make_unique<QtLabel>(label, c, c.announces ? notification : nullptr));
        w = label;
        break;
      }
      case Kind::CommandButton: {
        auto* button = new QPushButton(text, this);
        buttons_.emplace(c.name, std::make_unique<QtButton>(button));
        if (c.raises != Event::None)
          connect(button, &QPushButton::clicked, this, [this, event = c.raises] { Raise(event); });
        w = button;
        break;
      }
      case Kind::ListBox: {
        auto* list = new QListWidget(this);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        lists_.emplace(c.name, std::make_unique<QtList>(list));
        if (c.raises != Event::None) {
          // Anywhere inside the list, below the last entry too, a double-click
          // is the list's double-click; so is Enter while the list has the focus.
          list->viewport()->installEventFilter(this);
          list->installEventFilter(this);
          raising_lists_.emplace_back(list, c.raises);
        }
        w = list;
        break;
      }
      case Kind::CheckBox: {
        auto* check = new QCheckBox(text, this);
        checks_.emplace(c.name, std::make_unique<QtCheck>(check));
        if (c.raises != Event::None)
          connect(check, &QCheckBox::clicked, this, [this, event = c.raises] { Raise(event); });
        w = check;
        break;
      }
    }
    w->setObjectName(QLatin1String(c.name.data(), static_cast<qsizetype>(c.name.size())));
    w->setGeometry(Pixels(c.left), Pixels(c.top), Pixels(c.width), Pixels(c.height));
    if (c.points > 0) w->setFont(Arial(c.points));
    if (c.background != window::kDefaultColour) SetBackground(w, static_cast<std::uint32_t>(c.background));
    w->setEnabled(c.enabled);
    if (!c.tooltip.empty()) w->setToolTip(FromU16(c.tooltip));
    if (!c.accessible_name.empty()) w->setAccessibleName(FromU16(c.accessible_name));
    if (!c.accessible_description.empty()) w->setAccessibleDescription(FromU16(c.accessible_description));
    if (w->focusPolicy() != Qt::NoFocus) focusable.emplace_back(c.tab_index, w);
  }

  // Tab order. The labels between these take no focus; disabled or hidden
  // controls are skipped.
  std::sort(focusable.begin(), focusable.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t i = 1; i < focusable.size(); ++i) setTabOrder(focusable[i - 1].second, focusable[i].second);

  form_ = std::make_unique<Form1>(static_cast<window::Controls&>(*this), services);
  window::Raise(*form_, &Form1::Form_Load);
  // The focus starts in the first control of the tab order that can take it.
  for (const auto& [tab_index, w] : focusable) {
    if (!w->isEnabled() || w->isHidden()) continue;
    w->setFocus();
    break;
  }
}

QtWindow::~QtWindow() = default;

void QtWindow::Raise(window::Event event) {
  // A test shows the busy pointer while it runs.
  std::optional<BusyCursor> busy;
  if (event == Event::TestClick) busy.emplace();
  window::Raise(*form_, event);
}

bool QtWindow::eventFilter(QObject* watched, QEvent* event) {
  for (const auto& [list, raises] : raising_lists_) {
    if (watched == list->viewport() && event->type() == QEvent::MouseButtonDblClick) {
      Raise(raises);
    } else if (watched == list && event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        Raise(raises);
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

window::Label& QtWindow::LabelNamed(std::string_view name) { return Named(labels_, name); }
window::CommandButton& QtWindow::ButtonNamed(std::string_view name) { return Named(buttons_, name); }
window::ListBox& QtWindow::ListNamed(std::string_view name) { return Named(lists_, name); }
window::CheckBox& QtWindow::CheckNamed(std::string_view name) { return Named(checks_, name); }
window::Clipboard& QtWindow::SystemClipboard() { return *clipboard_; }

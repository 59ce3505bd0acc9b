// The window drawn with Qt Widgets: the controls of the layout, named as it
// names them, with Form1 handling their events.
#pragma once
#include <QWidget>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Controls.h"
#include "Form1.h"
#include "Layout.h"
#include "PrinterServices.h"

class QListWidget;

class QtWindow : public QWidget, private window::Controls {
  Q_OBJECT

 public:
  explicit QtWindow(printing::PrinterServices& services, QWidget* parent = nullptr);
  ~QtWindow() override;

  Form1& Form() { return *form_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Raises `event` of Form1 (window::Raise), under the busy pointer for a test.
  void Raise(window::Event event);

  window::Label& LabelNamed(std::string_view name) override;
  window::CommandButton& ButtonNamed(std::string_view name) override;
  window::ListBox& ListNamed(std::string_view name) override;
  window::CheckBox& CheckNamed(std::string_view name) override;
  window::Clipboard& SystemClipboard() override;

  std::map<std::string, std::unique_ptr<window::Label>, std::less<>> labels_;
  std::map<std::string, std::unique_ptr<window::CommandButton>, std::less<>> buttons_;
  std::map<std::string, std::unique_ptr<window::ListBox>, std::less<>> lists_;
  std::map<std::string, std::unique_ptr<window::CheckBox>, std::less<>> checks_;
  // The lists that raise an event on a double-click, and on Enter.
  std::vector<std::pair<QListWidget*, window::Event>> raising_lists_;
  std::unique_ptr<window::Clipboard> clipboard_;
  std::unique_ptr<Form1> form_;
};

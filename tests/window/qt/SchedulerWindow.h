// The window over the CUPS backend and a private scheduler that the suite
// starts, worked as a user works it: load, double-click, test.
#pragma once
#include <gtest/gtest.h>

#include <QAccessible>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <string>

#include "CupsPrinters.h"
#include "PrivateScheduler.h"
#include "QtWindow.h"

class SchedulerWindow : public ::testing::Test {
 protected:
  static void StartScheduler() {
    scheduler = new cupstest::PrivateScheduler;
    scheduler->Start();
  }
  static void TearDownTestSuite() {
    delete scheduler;
    scheduler = nullptr;
  }
  void SetUp() override {
    scheduler->UseEnvironment();
    window = std::make_unique<QtWindow>(printers);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  }
  void TearDown() override { EXPECT_EQ(printers.OpenHandleCount(), 0u); }

  void Load() { QTest::mouseClick(window->findChild<QPushButton*>("cmdLoadPrinters"), Qt::LeftButton); }
  void Choose(const QString& name) {
    auto* list = window->findChild<QListWidget*>("lstPrinters");
    const auto found = list->findItems(name, Qt::MatchExactly);
    ASSERT_FALSE(found.isEmpty()) << name.toStdString();
    const QPoint at = list->visualItemRect(found.front()).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
  }
  void Test() { QTest::mouseClick(window->findChild<QPushButton*>("cmdTest"), Qt::LeftButton); }
  QString Text(const char* label) { return window->findChild<QLabel*>(label)->text(); }
  // The verdict and, after it, why, as its accessible description gives it.
  std::string Verdict() {
    auto* verdict = window->findChild<QLabel*>("lblResult");
    return (verdict->text() + " / " + QAccessible::queryAccessibleInterface(verdict)->text(QAccessible::Description))
        .toStdString();
  }
  QStringList Listed(const char* list) {
    QStringList out;
    auto* w = window->findChild<QListWidget*>(list);
    for (int i = 0; i < w->count(); ++i) out << w->item(i)->text();
    return out;
  }

  // The scheduler's folder holds the USB bus the window sees, which has no
  // bus until a test makes one there.
  static std::string SysfsRoot() { return scheduler->Dir() + "/sys"; }

  inline static cupstest::PrivateScheduler* scheduler = nullptr;
  printing::CupsPrinters printers{SysfsRoot()};
  std::unique_ptr<QtWindow> window;
};

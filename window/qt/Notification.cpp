#include "Notification.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace {

// A Notification's accessible object: of role notification, named as the widget is.
QAccessibleInterface* NotificationObject(const QString&, QObject* object) {
  auto* notification = dynamic_cast<Notification*>(object);
  return notification != nullptr ? new QAccessibleWidget(notification, QAccessible::Notification) : nullptr;
}

}  // namespace

Notification::Notification(QWidget* parent) : QWidget(parent) {
  QAccessible::installFactory(NotificationObject);  // once: Qt keeps a factory once
  setObjectName(QStringLiteral("notification"));
  setFocusPolicy(Qt::NoFocus);
  setGeometry(0, 0, 0, 0);
  hide();
}

void Notification::Announce(const QString& text) {
  hide();
  setAccessibleName(text);
  show();
}

void Notification::Withdraw() {
  hide();
  setAccessibleName(QString());
}

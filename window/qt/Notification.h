// What Orca, the screen reader of Linux desktops, says without the focus
// going there: an accessible object of role notification, which it speaks
// as the object becomes showing. (Qt 6.4 has no announcements of its own;
// they came with Qt 6.8.) The widget takes no room: no pixel, no focus, no
// tab stop, and it is hidden until it has something to say.
#pragma once
#include <QString>
#include <QWidget>

class Notification : public QWidget {
 public:
  explicit Notification(QWidget* parent);
  // Shown anew with `text` as its name, so that it is spoken.
  void Announce(const QString& text);
  // Hidden and nameless: nothing is said.
  void Withdraw();
};

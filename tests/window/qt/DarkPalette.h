// A dark colour scheme of the kind dark desktops give Qt programs (GNOME's and
// KDE's dark styles, qt6ct's darker schemes): near-white text on dark grey.
#pragma once
#include <QApplication>
#include <QPalette>

inline QPalette DarkPalette() {
  // Qt derives the light text and the shades from the dark window colour.
  QPalette dark(QColor(0x35, 0x35, 0x35), QColor(0x35, 0x35, 0x35));
  dark.setColor(QPalette::Base, QColor(0x2A, 0x2A, 0x2A));
  dark.setColor(QPalette::AlternateBase, QColor(0x42, 0x42, 0x42));
  dark.setColor(QPalette::Highlight, QColor(0x2A, 0x82, 0xDA));
  dark.setColor(QPalette::HighlightedText, Qt::white);
  return dark;
}

// Sets the application's palette for as long as it lives, as a desktop's
// scheme does, and puts the one before back when it goes. The widgets hear of
// it from the event loop.
class ApplicationPalette {
 public:
  explicit ApplicationPalette(const QPalette& palette) : before_(QApplication::palette()) {
    QApplication::setPalette(palette);
    QApplication::processEvents();
  }
  ~ApplicationPalette() {
    QApplication::setPalette(before_);
    QApplication::processEvents();
  }
  ApplicationPalette(const ApplicationPalette&) = delete;
  ApplicationPalette& operator=(const ApplicationPalette&) = delete;

 private:
  QPalette before_;
};

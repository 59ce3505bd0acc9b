// The window drawn with Windows' own controls: the controls of the layout,
// scaled to the window's DPI, with Form1 handling their events.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Controls.h"
#include "Form1.h"
#include "Layout.h"
#include "PrinterServices.h"
#include "GdiObject.h"  // last: it brings in <windows.h>

class LiveRegions;

class Win32Window : private window::Controls {
 public:
  // Creates the window, hidden, with its controls, and loads it.
  Win32Window(printing::PrinterServices& services, HINSTANCE instance);
  ~Win32Window() override;
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  // Shows the window, with the focus in the first control of the tab order
  // that can take it (at start the printer list).
  void Show(int show_command);

  HWND Handle() const { return window_; }
  // The control called `name` in the layout; null if there is none.
  HWND Control(std::string_view name) const;
  Form1& Form() { return *form_; }
  unsigned Dpi() const { return dpi_; }
  // The tooltip control that shows the controls' tips.
  HWND Tooltip() const { return tooltip_; }

  // Whether `msg`, a message of the thread, is a key of the window's that
  // has been handled: Ctrl+C, then Tab, Shift+Tab and the arrows between the
  // controls. Otherwise it is for TranslateMessage and DispatchMessage.
  bool HandleKeys(MSG& msg) const;
  // Runs the program's message loop until the window is closed; returns the
  // program's exit code.
  int RunMessageLoop() const;

 private:
  // A control of the layout as created: its window and what Form1 works it through.
  struct Placed;

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK ControlProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                      DWORD_PTR self);
  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleControl(const Placed& control, UINT message, WPARAM wparam, LPARAM lparam);
  void CreateControls(HINSTANCE instance);
  // Places the window's client area and every control for `dpi`, with fonts of that size.
  void Scale(unsigned dpi);
  // Raises `event` of Form1 (window::Raise), under the wait cursor for a test.
  void Raise(window::Event event);
  const Placed* Find(std::string_view name) const;
  const Placed* Find(HWND hwnd) const;
  // The control called `name` in the layout, if it is a `Wrapper`; else
  // throws std::out_of_range, naming `kind`.
  template <class Wrapper>
  Wrapper& Named(std::string_view name, const char* kind);

  window::Label& LabelNamed(std::string_view name) override;
  window::CommandButton& ButtonNamed(std::string_view name) override;
  window::ListBox& ListNamed(std::string_view name) override;
  window::CheckBox& CheckNamed(std::string_view name) override;
  window::Clipboard& SystemClipboard() override;

  HWND window_ = nullptr;
  HWND tooltip_ = nullptr;
  HACCEL keys_ = nullptr;  // Ctrl+C
  std::unique_ptr<window::Clipboard> clipboard_;
  bool closing_by_owner_ = false;
  HWND focus_ = nullptr;  // the control to give the focus back to
  unsigned dpi_ = 96;
  bool high_contrast_ = false;  // the user's scheme is a high-contrast one
  std::vector<Placed> controls_;
  std::map<double, GdiObject<HFONT>> fonts_;  // by point size; 0: the system's message font
  std::unique_ptr<LiveRegions> live_regions_;  // the labels that announce their changes
  std::unique_ptr<Form1> form_;
};

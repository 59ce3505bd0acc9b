// The program on Windows: creates and shows the window, and runs until it is closed.
#include <exception>

#include "WinspoolPrinters.h"
#include "Win32Window.h"  // last: it brings in <windows.h>
#include <objbase.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
  // For the objects that tell screen readers about the controls.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  struct ComUser {
    bool initialized;
    ~ComUser() {
      if (initialized) CoUninitialize();
    }
  } com_user{SUCCEEDED(com)};
  printing::WinspoolPrinters printers;
  try {
    Win32Window window(printers, instance);
    window.Show(show_command);
    return window.RunMessageLoop();
  } catch (const std::exception&) {
    return 1;  // the window could not be made; there is nothing to show
  }
}

#include "Events.h"

#include <exception>

#include "Report.h"

namespace window {

void Raise(Form1& form, void (Form1::*handler)()) {
  try {
    (form.*handler)();
  } catch (const std::exception& e) {
    Report(e.what());
  } catch (...) {
    Report("an event handler failed");
  }
}

void Raise(Form1& form, Event event) {
  switch (event) {
    case Event::None:
      return;
    case Event::LoadPrintersClick:
      return Raise(form, &Form1::cmdLoadPrinters_Click);
    case Event::PrintersDblClick:
      return Raise(form, &Form1::lstPrinters_DblClick);
    case Event::TestClick:
      return Raise(form, &Form1::cmdTest_Click);
    case Event::ShowTechClick:
      return Raise(form, &Form1::chkShowTech_Click);
    case Event::CopyClick:
      return Raise(form, &Form1::mnuCopy_Click);
  }
}

}  // namespace window

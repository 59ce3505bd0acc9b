// How a toolkit layer raises Form1's events. A failure that a handler lets
// out ends here, reported (Report.h): it never reaches the toolkit's event
// loop, nor, on Windows, the system's code that called the window.
#pragma once
#include "Form1.h"
#include "Layout.h"

namespace window {

// Runs `handler` of `form`.
void Raise(Form1& form, void (Form1::*handler)());
// Runs the handler of `event`, the event a control raises; Event::None runs none.
void Raise(Form1& form, Event event);

}  // namespace window

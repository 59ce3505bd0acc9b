// Controls whose new text a screen reader reads out without the focus going
// there: polite live regions of UI Automation (Narrator, NVDA), marked
// through the accessibility annotations of oleacc (IAccPropServices).
#pragma once
#include <vector>

#include "WindowsApi.h"
#include <oleacc.h>

// Windows 8's event of a changed live region, where the headers leave it out.
#ifndef EVENT_OBJECT_LIVEREGIONCHANGED
#define EVENT_OBJECT_LIVEREGIONCHANGED 0x8019
#endif

class LiveRegions {
 public:
  // Asks COM (initialized on this thread) for the annotation service; where
  // there is none, controls are not marked, and the window works as before.
  LiveRegions();
  ~LiveRegions();
  LiveRegions(const LiveRegions&) = delete;
  LiveRegions& operator=(const LiveRegions&) = delete;

  // Marks the client object of `hwnd` as a polite live region; false where
  // it could not be marked.
  bool Mark(HWND hwnd);
  // Takes the marks away again, while their controls still exist.
  void Clear();
  // Tells screen readers that the live region `hwnd` has changed.
  static void Changed(HWND hwnd);

 private:
  IAccPropServices* services_ = nullptr;
  std::vector<HWND> marked_;
};

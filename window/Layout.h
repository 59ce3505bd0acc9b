// The window's layout, written once as data: every toolkit layer builds its
// window from it. Positions and sizes are in twips (1/1440 inch; 15 to the
// pixel at 96 dots per inch), measured from the client area's top-left corner.
#pragma once
#include <array>
#include <cstdint>
#include <string_view>

namespace window {

enum class Kind { Label, CommandButton, ListBox, CheckBox };

// The event of Form1 that a control raises: a command button or a check box
// on a click (with the mouse or the keyboard), a list box on a double-click
// anywhere inside it, and on Enter while it has the focus. CopyClick is
// raised by Ctrl+C anywhere in the window and by "Copy" in the context menu
// of a label that has one.
enum class Event { None, LoadPrintersClick, PrintersDblClick, TestClick, ShowTechClick, CopyClick };

// The one item of a label's context menu (ControlLayout::copy_menu).
inline constexpr std::u16string_view kCopyItem = u"Copy";

// A background of the control kind's ordinary colour.
constexpr std::int64_t kDefaultColour = -1;

// One control. A row gives what differs from the defaults here.
struct ControlLayout {
  Kind kind;
  std::string_view name;
  std::u16string_view text = u"";  // at start
  int left, top, width, height;
  int tab_index;
  double points = 0;                         // Arial at this size; 0: the window's default font
  std::int64_t background = kDefaultColour;  // 0x00BBGGRR, or kDefaultColour
  bool enabled = true;
  bool wraps = false;  // a label whose text wraps within its box
  // A wrapping label whose text, when longer than its box, ends in "…" on
  // the box's last line, and is whole in its tooltip and accessible name.
  bool elides = false;
  std::u16string_view tooltip = u"";
  // What a screen reader says of it, where its text does not say it (the
  // lists), and what it adds on request.
  std::u16string_view accessible_name = u"";
  std::u16string_view accessible_description = u"";
  // A label whose new caption a screen reader reads out without the focus
  // going there, once the caption and its reason are set (on Windows a
  // polite live region; on Linux a notification of the caption and why).
  bool announces = false;
  bool copy_menu = false;  // a context menu with kCopyItem, which raises Event::CopyClick
  Event raises = Event::None;  // what a user's click or double-click on it does
};

struct FormLayout {
  std::string_view name;
  std::u16string_view caption;
  int client_width, client_height;  // twips
};

inline constexpr FormLayout kForm{
    .name = "Form1", .caption = u"Test Printer", .client_width = 9360, .client_height = 7785};

// Colours of the window's labels, 0x00BBGGRR.
inline constexpr std::uint32_t kWhite = 0x00FFFFFF;
inline constexpr std::uint32_t kLightOrange = 0x00C0E0FF;
inline constexpr std::uint32_t kLightCyan = 0x00FFFFE0;
inline constexpr std::uint32_t kLightYellow = 0x0080FFFF;
inline constexpr std::uint32_t kLightRed = 0x008080FF;
inline constexpr std::uint32_t kLightGreen = 0x0080FF80;

// Left column from top to bottom, then the right column.
inline constexpr std::array<ControlLayout, 12> kControls{{
    {.kind = Kind::Label, .name = "lblDescribe",
     .left = 270, .top = 120, .width = 4245, .height = 1035, .tab_index = 9,
     .points = 9.75, .background = kWhite, .wraps = true},
    {.kind = Kind::CommandButton, .name = "cmdLoadPrinters", .text = u"Get available printers",
     .left = 270, .top = 1440, .width = 2025, .height = 375, .tab_index = 6,
     .points = 9,
     .raises = Event::LoadPrintersClick},
    {.kind = Kind::Label, .name = "lbl4Select", .text = u"Available printers (double-click to select)",
     .left = 360, .top = 1890, .width = 4125, .height = 225, .tab_index = 4,
     .points = 9,
     .tooltip = u"These printers are currently connected to your computer"},
    {.kind = Kind::ListBox, .name = "lstPrinters",
     .left = 270, .top = 2160, .width = 4215, .height = 3660, .tab_index = 3,
     .points = 9,
     .accessible_name = u"Available printers", .accessible_description = u"Double-click a printer to select it",
     .raises = Event::PrintersDblClick},
    {.kind = Kind::Label, .name = "lblPrinterName",
     .left = 300, .top = 5970, .width = 4155, .height = 315, .tab_index = 5,
     .points = 9, .background = kLightOrange,
     .accessible_description = u"Selected printer"},
    {.kind = Kind::CommandButton, .name = "cmdTest", .text = u"Test Printer",
     .left = 1200, .top = 6360, .width = 1455, .height = 375, .tab_index = 0,
     .points = 9.75, .enabled = false,
     .raises = Event::TestClick},
    {.kind = Kind::Label, .name = "lblLongResult",
     .left = 270, .top = 6780, .width = 4185, .height = 315, .tab_index = 8,
     .points = 9, .background = kLightCyan,
     .accessible_description = u"Explanation of the test result", .copy_menu = true},
    {.kind = Kind::Label, .name = "lblResult",
     .left = 300, .top = 7200, .width = 4185, .height = 315, .tab_index = 7,
     .points = 12, .background = kWhite,
     .accessible_description = u"Test result", .announces = true, .copy_menu = true},
    {.kind = Kind::CheckBox, .name = "chkShowTech", .text = u"Show technical info",
     .left = 5460, .top = 210, .width = 3405, .height = 255, .tab_index = 10,
     .raises = Event::ShowTechClick},
    {.kind = Kind::ListBox, .name = "List1",
     .left = 4950, .top = 480, .width = 3975, .height = 5940, .tab_index = 1,
     .points = 8.25,
     .accessible_name = u"Technical information"},
    {.kind = Kind::Label, .name = "Label1",
     .left = 6270, .top = 6570, .width = 2655, .height = 315, .tab_index = 2,
     .points = 12, .background = kWhite,
     .accessible_description = u"Attribute bits"},
    {.kind = Kind::Label, .name = "lblReason",
     .left = 4950, .top = 6930, .width = 3975, .height = 780, .tab_index = 11,
     .points = 8.25, .wraps = true, .elides = true,
     .accessible_description = u"Reason for the test result"},
}};

}  // namespace window

// The window's layout, written once as data: every toolkit layer builds its
// window from it. Positions and sizes are in twips (1/1440 inch; 15 to the
// pixel at 96 dots per inch), measured from the client area's top-left corner.
#pragma once
#include <array>
#include <cstdint>
#include <string_view>

namespace window {

enum class Kind { Label, CommandButton, ListBox, CheckBox };

// A background of the control kind's ordinary colour.
constexpr std::int64_t kDefaultColour = -1;

struct ControlLayout {
  Kind kind;
  std::string_view name;
  std::u16string_view text;  // at start
  int left, top, width, height;
  int tab_index;
  double points;               // Arial at this size; 0: the window's default font
  std::int64_t background;     // 0x00BBGGRR, or kDefaultColour
  bool enabled;
  bool wraps;                  // a label whose text wraps within its box
  std::u16string_view tooltip;
  // What a screen reader says of it, where its text does not say it (the
  // lists), and what it adds on request.
  std::u16string_view accessible_name;
  std::u16string_view accessible_description;
};

struct FormLayout {
  std::string_view name;
  std::u16string_view caption;
  int client_width, client_height;  // twips
};

inline constexpr FormLayout kForm{"Form1", u"Test Printer", 9360, 7785};

// Colours of the window's labels, 0x00BBGGRR.
inline constexpr std::uint32_t kWhite = 0x00FFFFFF;
inline constexpr std::uint32_t kLightOrange = 0x00C0E0FF;
inline constexpr std::uint32_t kLightCyan = 0x00FFFFE0;
inline constexpr std::uint32_t kLightYellow = 0x0080FFFF;
inline constexpr std::uint32_t kLightRed = 0x008080FF;
inline constexpr std::uint32_t kLightGreen = 0x0080FF80;

// Left column from top to bottom, then the right column.
inline constexpr std::array<ControlLayout, 11> kControls{{
    {Kind::Label, "lblDescribe", u"", 270, 120, 4245, 1035, 9, 9.75, kWhite, true, true, u"", u"", u""},
    {Kind::CommandButton, "cmdLoadPrinters", u"Get available printers", 270, 1440, 2025, 375, 6, 9,
     kDefaultColour, true, false, u"", u"", u""},
    {Kind::Label, "lbl4Select", u"Available printers (double-click to select)", 360, 1890, 4125, 225, 4, 9,
     kDefaultColour, true, false, u"These printers are currently connected to your computer", u"", u""},
    {Kind::ListBox, "lstPrinters", u"", 270, 2160, 4215, 3660, 3, 9, kDefaultColour, true, false, u"",
     u"Available printers", u"Double-click a printer to select it"},
    {Kind::Label, "lblPrinterName", u"", 300, 5970, 4155, 315, 5, 9, kLightOrange, true, false, u"", u"",
     u"Selected printer"},
    {Kind::CommandButton, "cmdTest", u"Test Printer", 1200, 6360, 1455, 375, 0, 9.75, kDefaultColour, false,
     false, u"", u"", u""},
    {Kind::Label, "lblLongResult", u"", 270, 6780, 4185, 315, 8, 9, kLightCyan, true, false, u"", u"",
     u"Explanation of the test result"},
    {Kind::Label, "lblResult", u"", 300, 7200, 4185, 315, 7, 12, kWhite, true, false, u"", u"", u"Test result"},
    {Kind::CheckBox, "chkShowTech", u"Show technical info", 5460, 210, 3405, 255, 10, 0, kDefaultColour, true,
     false, u"", u"", u""},
    {Kind::ListBox, "List1", u"", 4950, 480, 3975, 5940, 1, 8.25, kDefaultColour, true, false, u"",
     u"Technical information", u""},
    {Kind::Label, "Label1", u"", 6270, 6570, 2655, 315, 2, 12, kWhite, true, false, u"", u"", u"Attribute bits"},
}};

}  // namespace window

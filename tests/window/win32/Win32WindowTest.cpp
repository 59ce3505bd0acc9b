// The window drawn with Windows' own controls, in this process, worked with
// the messages a user's mouse and keyboard send: over the in-memory backend,
// and against the spooler (wine's, over the queues of the private scheduler
// that the fixture starts: Office, Paused, Rejecting and Workroom).
#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "CapturedErrors.h"
#include "Contrast.h"
#include "MemoryPrinters.h"
#include "WinspoolPrinters.h"
#include "Win32Window.h"  // last: it brings in <windows.h>
#include "AccessibleText.h"
#include <commctrl.h>
#include <oleacc.h>

namespace {

constexpr COLORREF Rgb(int r, int g, int b) { return RGB(r, g, b); }

// The user's window-text colour, set as the colour settings set it: in the
// profile (HKCU\Control Panel\Colors) and for the running session
// (SetSysColors, which tells every window). Put back as it was when it goes.
class WindowTextColour {
 public:
  explicit WindowTextColour(COLORREF colour) : before_(GetSysColor(COLOR_WINDOWTEXT)) {
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Colors", 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                    nullptr, &key_, nullptr);
    DWORD type = 0;
    had_value_ = RegQueryValueExW(key_, kValue, nullptr, &type, reinterpret_cast<BYTE*>(saved_), &saved_size_) ==
                     ERROR_SUCCESS &&
                 type == REG_SZ;
    wchar_t text[16];
    std::swprintf(text, 16, L"%u %u %u", GetRValue(colour), GetGValue(colour), GetBValue(colour));
    RegSetValueExW(key_, kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(wchar_t)));
    Apply(colour);
  }
  ~WindowTextColour() {
    if (had_value_)
      RegSetValueExW(key_, kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(saved_), saved_size_);
    else
      RegDeleteValueW(key_, kValue);
    RegCloseKey(key_);
    Apply(before_);
  }
  WindowTextColour(const WindowTextColour&) = delete;
  WindowTextColour& operator=(const WindowTextColour&) = delete;

 private:
  static constexpr const wchar_t* kValue = L"WindowText";
  static void Apply(COLORREF colour) {
    const int element = COLOR_WINDOWTEXT;
    SetSysColors(1, &element, &colour);
  }
  COLORREF before_;
  HKEY key_ = nullptr;
  bool had_value_ = false;
  wchar_t saved_[32] = L"";
  DWORD saved_size_ = sizeof(saved_);
};

// The live-region events of the process for a control itself, with its caption then.
std::vector<std::pair<HWND, std::wstring>> announced;
void CALLBACK Announced(HWINEVENTHOOK, DWORD, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
  wchar_t caption[128] = L"";
  GetWindowTextW(hwnd, caption, 128);
  if (object == OBJID_CLIENT && child == CHILDID_SELF) announced.emplace_back(hwnd, caption);
}

class Win32WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Open(memory);
  }
  void TearDown() override {
    w.reset();
    CoUninitialize();
  }
  void Open(printing::PrinterServices& services) {
    w.reset();
    w = std::make_unique<Win32Window>(services, GetModuleHandleW(nullptr));
    w->Show(SW_SHOWNORMAL);
  }

  HWND Control(const char* name) {
    HWND hwnd = w->Control(name);
    if (hwnd == nullptr) throw std::logic_error(std::string("no control ") + name);
    return hwnd;
  }
  std::wstring Text(const char* name) {
    HWND hwnd = Control(name);
    std::wstring text(GetWindowTextLengthW(hwnd) + 1, L'\0');
    text.resize(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size())));
    return text;
  }
  std::vector<std::wstring> Entries(const char* name) {
    std::vector<std::wstring> out;
    HWND list = Control(name);
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      std::wstring text(SendMessageW(list, LB_GETTEXTLEN, i, 0) + 1, L'\0');
      text.resize(SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data())));
      out.push_back(text);
    }
    return out;
  }
  bool Visible(const char* name) { return IsWindowVisible(Control(name)) != FALSE; }
  void Click(const char* name) { SendMessageW(Control(name), BM_CLICK, 0, 0); }
  // A user's double-click at client point (x, y) of the printer list.
  void DoubleClickAt(int x, int y) {
    HWND list = Control("lstPrinters");
    const LPARAM at = MAKELPARAM(x, y);
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(list, WM_LBUTTONUP, 0, at);
    SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageW(list, WM_LBUTTONUP, 0, at);
  }
  void Choose(const wchar_t* entry) {
    HWND list = Control("lstPrinters");
    const LRESULT row = SendMessageW(list, LB_FINDSTRINGEXACT, -1, reinterpret_cast<LPARAM>(entry));
    ASSERT_NE(row, LB_ERR) << "not listed";
    RECT r;
    SendMessageW(list, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
    DoubleClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  }
  // A key pressed while `name` has the focus, `held` (VK_SHIFT, VK_CONTROL) held
  // down, through the program's message loop.
  void Key(const char* name, WPARAM key, BYTE held = 0) {
    MSG msg{Control(name), WM_KEYDOWN, key, 1, 0, {}};
    if (held != 0) {
      BYTE state[256];
      GetKeyboardState(state);
      state[held] = 0x80;
      SetKeyboardState(state);
    }
    if (!w->HandleKeys(msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (held != 0) {
      BYTE state[256];
      GetKeyboardState(state);
      state[held] = 0;
      SetKeyboardState(state);
    }
  }
  // The control's client area as it draws itself (WM_PRINT), row by row.
  struct Picture {
    int width = 0, height = 0;
    std::vector<COLORREF> pixels;
    COLORREF At(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
  };
  Picture Grab(const char* name) {
    HWND hwnd = Control(name);
    RECT r;
    GetClientRect(hwnd, &r);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), r.right, -r.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageW(hwnd, WM_PRINT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND | PRF_NONCLIENT);
    GdiFlush();
    Picture picture{r.right, r.bottom, {}};
    for (int i = 0; i < r.right * r.bottom; ++i) {
      const DWORD xrgb = static_cast<const DWORD*>(bits)[i];  // 0x00RRGGBB in a DIB
      picture.pixels.push_back(RGB((xrgb >> 16) & 0xFF, (xrgb >> 8) & 0xFF, xrgb & 0xFF));
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return picture;
  }
  // The contrast of the pixel that stands out most from `background`: the text's.
  static double TextContrast(const Picture& p, COLORREF background) {
    double most = 1;
    for (COLORREF pixel : p.pixels) most = std::max(most, window::ContrastRatio(pixel, background));
    return most;
  }
  // The colour the control draws at its bottom-right corner (inside a two-pixel margin).
  COLORREF Drawn(const char* name) {
    const Picture p = Grab(name);
    return p.At(p.width - 3, p.height - 3);
  }
  // What a screen reader is told of the control: by `get`, what it is called.
  std::wstring AccessibleText(const char* name, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*) =
                                                    &IAccessible::get_accName) {
    return printing::testing::AccessibleText(Control(name), get);
  }
  // The control's tip, as its tooltip shows it; empty if it has none.
  std::wstring Tip(const char* name) {
    wchar_t tip[1024] = L"";
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = w->Handle();
    tool.uId = reinterpret_cast<UINT_PTR>(Control(name));
    if (!SendMessageW(w->Tooltip(), TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool))) return L"";
    tool.lpszText = tip;
    SendMessageW(w->Tooltip(), TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&tool));
    return tip;
  }

  printing::MemoryPrinters memory;
  std::unique_ptr<Win32Window> w;
};

TEST_F(Win32WindowTest, ControlsStandWhereTheLayoutPutsThemAt96Dpi) {
  ASSERT_EQ(w->Dpi(), 96u);
  RECT client;
  GetClientRect(w->Handle(), &client);
  EXPECT_EQ(client.right, 624);
  EXPECT_EQ(client.bottom, 519);
  wchar_t caption[64];
  GetWindowTextW(w->Handle(), caption, 64);
  EXPECT_STREQ(caption, L"Test Printer");
  EXPECT_NE(GetClassLongPtrW(w->Handle(), GCLP_HICON), 0) << "no icon";

  struct Kind {
    const wchar_t* window_class;
    LONG style;  // bits it must have
  };
  const std::map<window::Kind, Kind> kinds = {
      {window::Kind::Label, {L"Static", SS_NOTIFY | SS_NOPREFIX}},
      {window::Kind::CommandButton, {L"Button", WS_TABSTOP | BS_PUSHBUTTON}},
      {window::Kind::CheckBox, {L"Button", WS_TABSTOP | BS_AUTOCHECKBOX}},
      {window::Kind::ListBox, {L"ListBox", WS_TABSTOP | LBS_NOTIFY}},
  };
  std::vector<RECT> placed;
  for (const window::ControlLayout& c : window::kControls) {
    const std::string name(c.name);
    HWND hwnd = Control(name.c_str());
    wchar_t window_class[32];
    GetClassNameW(hwnd, window_class, 32);
    EXPECT_STREQ(window_class, kinds.at(c.kind).window_class) << name;
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    EXPECT_EQ(style & kinds.at(c.kind).style, kinds.at(c.kind).style) << name;
    if (c.kind == window::Kind::Label) {
      EXPECT_EQ(style & SS_TYPEMASK, c.wraps ? SS_LEFT : SS_LEFTNOWORDWRAP) << name;
    }
    RECT r;
    GetWindowRect(hwnd, &r);
    MapWindowPoints(nullptr, w->Handle(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, c.left / 15) << name;
    EXPECT_EQ(r.top, c.top / 15) << name;
    EXPECT_EQ(r.right - r.left, c.width / 15) << name;
    EXPECT_EQ(r.bottom - r.top, c.height / 15) << name;
    placed.push_back(r);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)), sizeof(font), &font);
    if (c.points > 0) {
      EXPECT_STREQ(font.lfFaceName, L"Arial") << name;
      EXPECT_EQ(font.lfHeight, -static_cast<LONG>(c.points * 96 / 72 + 0.5)) << name;
      EXPECT_EQ(font.lfWeight, FW_NORMAL) << name;
      EXPECT_FALSE(font.lfItalic || font.lfUnderline || font.lfStrikeOut) << name;
    }
    if (c.kind != window::Kind::ListBox && name != "lblDescribe") {
      EXPECT_EQ(Text(name.c_str()), std::wstring(c.text.begin(), c.text.end())) << name;
    }
  }
  for (std::size_t a = 0; a < placed.size(); ++a)
    for (std::size_t b = a + 1; b < placed.size(); ++b) {
      RECT both;
      EXPECT_FALSE(IntersectRect(&both, &placed[a], &placed[b])) << a << ", " << b;
    }
  // The list, measured on its own.
  RECT list;
  GetWindowRect(Control("lstPrinters"), &list);
  MapWindowPoints(nullptr, w->Handle(), reinterpret_cast<POINT*>(&list), 2);
  EXPECT_EQ(list.left, 18);
  EXPECT_EQ(list.top, 144);
  EXPECT_EQ(list.bottom, 388);

  // The tooltip of the list's heading.
  EXPECT_EQ(Tip("lbl4Select"), L"These printers are currently connected to your computer");
}

TEST_F(Win32WindowTest, LabelsAreDrawnInTheirColours) {
  EXPECT_TRUE(Text("lblDescribe").starts_with(L"KAVRO SOFTWARE: Utility program"));
  EXPECT_FALSE(Visible("List1"));
  EXPECT_FALSE(Visible("Label1"));
  EXPECT_FALSE(Visible("lblReason"));
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  struct Case {
    const char* name;
    COLORREF colour;
  };
  for (const Case& c : {Case{"lblDescribe", Rgb(0xFF, 0xFF, 0xFF)}, Case{"lblPrinterName", Rgb(0xFF, 0xE0, 0xC0)},
                        Case{"lblLongResult", Rgb(0xE0, 0xFF, 0xFF)}, Case{"lblResult", Rgb(0xFF, 0xFF, 0xFF)},
                        Case{"lbl4Select", face}, Case{"chkShowTech", face}})
    EXPECT_EQ(Drawn(c.name), c.colour) << c.name;

  printing::Record offline;
  offline.Attributes = 0x400;
  memory.Add(u"Office");
  memory.Add(u"Offline", offline);
  Click("cmdLoadPrinters");
  Choose(L"Office");
  EXPECT_EQ(Text("lblResult"), L"not checked");
  EXPECT_EQ(Drawn("lblResult"), Rgb(0xFF, 0xFF, 0x80));
  Click("cmdTest");
  EXPECT_EQ(Text("lblResult"), L"Printer Ready");
  EXPECT_EQ(Drawn("lblResult"), Rgb(0x80, 0xFF, 0x80));
  Choose(L"Offline");
  Click("cmdTest");
  EXPECT_EQ(Text("lblResult"), L"Printer Not Ready (at this time)");
  EXPECT_EQ(Drawn("lblResult"), Rgb(0xFF, 0x80, 0x80));
  Click("chkShowTech");
  EXPECT_TRUE(Visible("lblReason"));
  EXPECT_EQ(Drawn("Label1"), Rgb(0xFF, 0xFF, 0xFF));
  EXPECT_EQ(Text("Label1"), L"0010000000000");
}

TEST_F(Win32WindowTest, UnderWhiteWindowTextTheColouredLabelsStayReadable) {
  memory.Add(u"Office");
  Click("cmdLoadPrinters");
  Choose(L"Office");
  Click("cmdTest");
  Click("chkShowTech");
  ASSERT_EQ(Text("lblResult"), L"Printer Ready");
  const COLORREF white = Rgb(0xFF, 0xFF, 0xFF);
  const WindowTextColour colours(white);
  ASSERT_EQ(GetSysColor(COLOR_WINDOWTEXT), white);
  struct Case {
    const char* name;
    COLORREF background;
  };
  for (const Case& c : {Case{"lblDescribe", white}, Case{"lblPrinterName", Rgb(0xFF, 0xE0, 0xC0)},
                        Case{"lblLongResult", Rgb(0xE0, 0xFF, 0xFF)}, Case{"lblResult", Rgb(0x80, 0xFF, 0x80)},
                        Case{"Label1", white}}) {
    const Picture p = Grab(c.name);
    EXPECT_EQ(p.At(p.width - 3, p.height - 3), c.background) << c.name;
    EXPECT_GE(TextContrast(p, c.background), window::kReadableContrast) << c.name;
  }
  // The rest follows the user's colours: the list's heading is written in white.
  const Picture heading = Grab("lbl4Select");
  const auto lightest = std::max_element(heading.pixels.begin(), heading.pixels.end(), [](COLORREF a, COLORREF b) {
    return window::RelativeLuminance(a) < window::RelativeLuminance(b);
  });
  EXPECT_EQ(*lightest, white);
}

TEST_F(Win32WindowTest, ADoubleClickAnywhereInTheListIsItsDoubleClick) {
  memory.Add(u"Office");
  memory.Add(u"Lab [2nd floor]");
  memory.Add(u"Tom & Jerry");
  Click("cmdLoadPrinters");
  EXPECT_EQ(Entries("lstPrinters"), (std::vector<std::wstring>{L"Office", L"Lab [2nd floor]", L"Tom & Jerry"}));
  Choose(L"Lab [2nd floor]");
  EXPECT_EQ(w->Form().SelectedPrinter(), u"Lab");
  EXPECT_EQ(Text("lblPrinterName"), L"Lab");
  Choose(L"Tom & Jerry");
  EXPECT_EQ(Text("lblPrinterName"), L"Tom & Jerry");  // no access key: shown as written

  // Below the last entry, after a test of Office and with Lab highlighted:
  // the highlight stays, and the double-click chooses Lab.
  Choose(L"Office");
  Click("cmdTest");
  ASSERT_EQ(Text("lblResult"), L"Printer Ready");
  SendMessageW(Control("lstPrinters"), LB_SETCURSEL, 1, 0);
  RECT area;
  GetClientRect(Control("lstPrinters"), &area);
  DoubleClickAt(20, area.bottom - 10);
  EXPECT_EQ(w->Form().SelectedPrinter(), u"Lab");
  EXPECT_EQ(Text("lblResult"), L"not checked");
  EXPECT_FALSE(Visible("lblLongResult"));

  // In an empty list: nothing is chosen.
  SendMessageW(Control("lstPrinters"), LB_RESETCONTENT, 0, 0);
  DoubleClickAt(20, 20);
  EXPECT_TRUE(w->Form().SelectedPrinter().empty());
  EXPECT_EQ(Text("lblPrinterName"), L"** No printer selected **");
  EXPECT_FALSE(IsWindowEnabled(Control("cmdTest")));
}

TEST_F(Win32WindowTest, ADisabledTestButtonTakesNoClick) {
  memory.Add(u"Office");
  Click("cmdLoadPrinters");
  ASSERT_FALSE(IsWindowEnabled(Control("cmdTest")));
  Click("cmdTest");
  EXPECT_TRUE(memory.Opened.empty());
  EXPECT_EQ(Text("lblResult"), L"");
}

TEST_F(Win32WindowTest, ThePointerShowsBusyWhileATestRunsAndIsRestoredAfterIt) {
  memory.Add(u"Office");
  Click("cmdLoadPrinters");
  Choose(L"Office");
  const HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
  std::vector<bool> busy;  // per spooler call: whether the wait cursor showed
  bool fail = false;
  memory.Fault = [&](const std::string& call) {
    busy.push_back(GetCursor() == wait);
    if (fail && call == "GetPrinterA") throw std::runtime_error("spooler went away");
  };
  for (bool failing : {false, true}) {
    fail = failing;
    busy.clear();
    const HCURSOR before = GetCursor();
    ASSERT_NE(before, wait);
    Click("cmdTest");
    EXPECT_EQ(Text("lblResult"), failing ? L"Printer Not available" : L"Printer Ready");
    ASSERT_FALSE(busy.empty());
    EXPECT_EQ(std::count(busy.begin(), busy.end(), false), 0) << failing;
    EXPECT_EQ(GetCursor(), before) << failing;
  }
}

TEST_F(Win32WindowTest, AFailureThatATestLetsOutIsReportedAndTheWindowGoesOn) {
  struct Unforeseen {};  // not a std::exception: the test's handler does not catch it
  memory.Add(u"Office");
  Click("cmdLoadPrinters");
  Choose(L"Office");
  memory.Fault = [](const std::string& call) {
    if (call == "GetPrinterA") throw Unforeseen{};
  };
  const HCURSOR before = GetCursor();
  {
    windowtest::CapturedErrors reported;
    Click("cmdTest");
    const std::string& line = reported.Text();
    EXPECT_TRUE(line.starts_with("KAVRO_TEST_PRINTERS: ") && line.find('\n') == line.size() - 1) << line;
  }
  EXPECT_EQ(Text("lblResult"), L"");  // the test stopped where it failed
  EXPECT_EQ(GetCursor(), before);
  EXPECT_EQ(memory.OpenHandleCount(), 0u);
  memory.Fault = nullptr;
  Click("cmdTest");
  EXPECT_EQ(Text("lblResult"), L"Printer Ready");
}

TEST_F(Win32WindowTest, TabVisitsTheControlsThatTakeFocusInTheirOrder) {
  EXPECT_EQ(GetFocus(), Control("lstPrinters"));
  // cmdTest is disabled and List1 hidden: Tab skips them.
  const std::pair<const char*, const char*> steps[] = {
      {"lstPrinters", "cmdLoadPrinters"}, {"cmdLoadPrinters", "chkShowTech"}, {"chkShowTech", "lstPrinters"}};
  for (const auto& [from, to] : steps) {
    Key(from, VK_TAB);
    EXPECT_EQ(GetFocus(), Control(to)) << from;
  }
  memory.Add(u"Office");
  Click("cmdLoadPrinters");
  Choose(L"Office");
  Click("chkShowTech");
  SetFocus(Control("lstPrinters"));
  std::vector<HWND> visited;
  for (HWND at = Control("lstPrinters"); visited.size() < 5;) {
    at = GetNextDlgTabItem(w->Handle(), at, FALSE);
    visited.push_back(at);
  }
  EXPECT_EQ(visited, (std::vector<HWND>{Control("cmdLoadPrinters"), Control("chkShowTech"), Control("cmdTest"),
                                        Control("List1"), Control("lstPrinters")}));
  Key("lstPrinters", VK_TAB, VK_SHIFT);
  EXPECT_EQ(GetFocus(), Control("List1"));
}

TEST_F(Win32WindowTest, EnterInThePrinterListChoosesTheHighlightedEntry) {
  memory.Add(u"Office");
  memory.Add(u"Lab [2nd floor]");
  Click("cmdLoadPrinters");
  SetFocus(Control("lstPrinters"));
  Key("lstPrinters", VK_DOWN);
  ASSERT_EQ(SendMessageW(Control("lstPrinters"), LB_GETCURSEL, 0, 0), 1);
  Key("lstPrinters", VK_RETURN);
  EXPECT_EQ(w->Form().SelectedPrinter(), u"Lab");
  EXPECT_TRUE(IsWindowEnabled(Control("cmdTest")));
  EXPECT_EQ(Text("lblResult"), L"not checked");
}

TEST_F(Win32WindowTest, AScreenReaderNamesTheTwoLists) {
  EXPECT_EQ(AccessibleText("lstPrinters"), L"Available printers");
  EXPECT_EQ(AccessibleText("List1"), L"Technical information");
}

TEST_F(Win32WindowTest, AVerdictIsAnnouncedWithItsReasonAsTipAndDescriptionUntilAnotherChoice) {
  memory.Add(u"Office");
  Click("cmdLoadPrinters");
  Choose(L"Office");
  std::string failure;  // longer than the technical view's box holds
  for (int i = 0; i < 12; ++i) failure += "the spooler went away, ";
  memory.Fault = [&](const std::string& call) {
    if (call == "GetPrinterA") throw std::runtime_error(failure);
  };
  const std::unique_ptr<std::remove_pointer_t<HWINEVENTHOOK>, decltype(&UnhookWinEvent)> hook(
      SetWinEventHook(EVENT_OBJECT_LIVEREGIONCHANGED, EVENT_OBJECT_LIVEREGIONCHANGED, nullptr, Announced,
                      GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT),
      UnhookWinEvent);
  ASSERT_NE(hook, nullptr);
  const std::wstring read = L"The printer could not be read: " + std::wstring(failure.begin(), failure.end()) + L".";
  for (const std::wstring& reason : {read, std::wstring()}) {
    const windowtest::CapturedErrors reported;
    reason.empty() ? Choose(L"Office") : Click("cmdTest");
    for (const auto& [name, own] : {std::pair{"lblResult", L"Test result"},
                                    std::pair{"lblLongResult", L"Explanation of the test result"}}) {
      EXPECT_EQ(Tip(name), reason) << name;
      EXPECT_EQ(AccessibleText(name, &IAccessible::get_accDescription), reason.empty() ? own : reason) << name;
    }
    // Announced once, as it now reads.
    for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&msg);
    EXPECT_EQ(std::exchange(announced, {}), (decltype(announced){{Control("lblResult"), Text("lblResult")}}));
    // The technical view says it as far as its box holds, and whole in its tip and name.
    std::wstring shown = Text("lblReason");
    for (std::size_t at; (at = shown.find(L"\r\n")) != std::wstring::npos;) shown.replace(at, 2, L" ");
    EXPECT_EQ(shown, reason.empty() ? L"" : reason.substr(0, shown.size() - 1) + L"\u2026");
    EXPECT_EQ(Tip("lblReason"), reason);
    EXPECT_EQ(reason.empty() ? reason : AccessibleText("lblReason"), reason);
  }
}

TEST_F(Win32WindowTest, CtrlCAnywhereAndCopyOnTheVerdictPutTheReportOnTheClipboard) {
  memory.Add(u"Office");
  Click("cmdLoadPrinters");
  Choose(L"Office");
  Click("cmdTest");
  Click("chkShowTech");
  const auto copied = [this](const char* where) {
    std::wstring text = L"(nothing)";
    ASSERT_TRUE(OpenClipboard(w->Handle()));
    if (HANDLE memory = GetClipboardData(CF_UNICODETEXT)) {
      text = static_cast<const wchar_t*>(GlobalLock(memory));
      GlobalUnlock(memory);
    }
    EmptyClipboard();
    CloseClipboard();
    EXPECT_TRUE(text.starts_with(L"Printer: Office\r\nResult: Printer Ready\r\n")) << where;
    EXPECT_TRUE(text.ends_with(L"\r\n  Attribute bits: 0000000000000\r\n")) << where;
  };
  for (const char* focus : {"lstPrinters", "cmdLoadPrinters", "cmdTest", "chkShowTech", "List1"}) {
    SetFocus(Control(focus));
    Key(focus, 'C', VK_CONTROL);
    copied(focus);
  }
  // The verdict's context menu, its first item chosen with the keyboard.
  for (const char* name : {"lblResult", "lblLongResult"}) {
    for (WPARAM key : {VK_DOWN, VK_RETURN}) PostMessageW(w->Handle(), WM_KEYDOWN, key, 1);
    SendMessageW(w->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Control(name)), MAKELPARAM(100, 500));
    copied(name);
  }
}

// Against the spooler.
class SpoolerWindowTest : public Win32WindowTest {
 protected:
  void SetUp() override {
    Win32WindowTest::SetUp();
    Open(spooler);
  }
  void TearDown() override {
    Win32WindowTest::TearDown();
    EXPECT_EQ(spooler.OpenHandleCount(), 0u);
  }
  printing::WinspoolPrinters spooler;
};

TEST_F(SpoolerWindowTest, AnIdleQueueIsReadyAndItsRecordIsShown) {
  Click("cmdLoadPrinters");
  const std::vector<std::wstring> listed = Entries("lstPrinters");
  for (const wchar_t* queue : {L"Office", L"Paused", L"Rejecting", L"Workroom"})
    EXPECT_NE(std::find(listed.begin(), listed.end(), queue), listed.end()) << queue;
  Choose(L"Office");
  Click("cmdTest");
  EXPECT_EQ(Text("lblResult"), L"Printer Ready");
  EXPECT_EQ(Text("lblLongResult"), L"Printer driver found and accessed OK");
  Click("chkShowTech");
  EXPECT_TRUE(Visible("List1"));
  const std::vector<std::wstring> lines = Entries("List1");
  ASSERT_EQ(lines.size(), 21u);
  EXPECT_EQ(lines[13], L"Buffer No. 13  Buffer Value 0");
  EXPECT_EQ(Text("Label1"), L"0000000000000");
}

TEST_F(SpoolerWindowTest, APrinterThatIsNotInstalledIsNotAvailable) {
  Click("cmdLoadPrinters");
  // An entry whose printer has gone since the list was loaded.
  SendMessageW(Control("lstPrinters"), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"No such printer"));
  Choose(L"No such printer");
  Click("cmdTest");
  EXPECT_EQ(Text("lblResult"), L"Printer Not available");
  EXPECT_EQ(Text("lblLongResult"), L"Cannot find printer driver in Windows");
}

}  // namespace

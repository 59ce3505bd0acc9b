#include "Win32Window.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <variant>

#include "Contrast.h"
#include "Events.h"
#include "LiveRegions.h"
#include "NamedAccessible.h"
#include "TextFit.h"

namespace {

constexpr wchar_t kClassName[] = L"KavroTestPrinter";
constexpr int kFirstControlId = 100;
constexpr UINT_PTR kSubclassId = 1;
// The command of Ctrl+C and of "Copy" in a label's context menu.
constexpr WORD kCopyCommand = 1;
// A fixed frame: the layout does not follow the window's size.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }
std::u16string Utf16(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

COLORREF Colour(std::uint32_t bgr) { return static_cast<COLORREF>(bgr & 0x00FFFFFF); }

int Scaled(int twips, unsigned dpi) { return MulDiv(twips, static_cast<int>(dpi), 1440); }

// A tip wider than this wraps.
constexpr int kTipWidth = 6000;  // twips

// Gives `control`, a child of `owner`, the tip `text` in `tooltip`; an empty
// text takes its tip away.
void SetTip(HWND tooltip, HWND owner, HWND control, std::u16string_view text) {
  if (tooltip == nullptr) return;
  std::wstring tip = Wide(text);
  TOOLINFOW info{};
  info.cbSize = sizeof(info);
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = owner;
  info.uId = reinterpret_cast<UINT_PTR>(control);
  info.lpszText = tip.data();
  SendMessageW(tooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  if (!tip.empty()) SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

// Functions of newer Windows versions, where the system has them.
template <class Function>
Function User32(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

unsigned WindowDpi(HWND hwnd) {
  static const auto get_dpi = User32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
  if (get_dpi != nullptr) {
    const UINT dpi = get_dpi(hwnd);
    if (dpi != 0) return dpi;
  }
  HDC dc = GetDC(hwnd);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(hwnd, dc);
  return dpi > 0 ? static_cast<unsigned>(dpi) : 96;
}

// The window rectangle whose client area is `width` x `height` at `dpi`.
SIZE FrameFor(int width, int height, DWORD style, DWORD ex_style, unsigned dpi) {
  static const auto adjust = User32<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
  RECT r{0, 0, width, height};
  if (adjust == nullptr || !adjust(&r, style, FALSE, ex_style, dpi)) AdjustWindowRectEx(&r, style, FALSE, ex_style);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

// The font a control that sets none of its own shows: the system's message font.
HFONT MessageFont(unsigned dpi) {
  static const auto metrics_for_dpi = User32<BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT)>("SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (metrics_for_dpi == nullptr ||
      !metrics_for_dpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi)) {
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
      return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  }
  return CreateFontIndirectW(&metrics.lfMessageFont);
}

HFONT Arial(double points, unsigned dpi) {
  const int height = -MulDiv(static_cast<int>(points * 100 + 0.5), static_cast<int>(dpi), 7200);
  return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Arial");
}

// Whether the user has a high-contrast scheme on.
bool HighContrastOn() {
  HIGHCONTRASTW scheme{};
  scheme.cbSize = sizeof(scheme);
  return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(scheme), &scheme, 0) != FALSE &&
         (scheme.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

// Shows the wait cursor for as long as it lives, however its scope is left.
class BusyCursor {
 public:
  BusyCursor() : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
  ~BusyCursor() { SetCursor(previous_); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  HCURSOR previous_;
};

class Win32Label : public window::Label {
 public:
  // `tooltip` shows its tip.
  Win32Label(HWND hwnd, const window::ControlLayout& layout, HWND tooltip)
      : hwnd_(hwnd), layout_(&layout), tooltip_(tooltip), description_(Wide(layout.accessible_description)) {}
  void SetCaption(const std::u16string& text) override {
    caption_ = text;
    if (layout_->elides)
      Fit();
    else
      SetWindowTextW(hwnd_, Wide(text).c_str());
  }
  // A label that elides shows as many lines of its caption as its box holds
  // in its font (again when the font changes); a caption cut short is whole
  // in its tip. Screen readers read it whole, as one line.
  void Fit() {
    HDC dc = GetDC(hwnd_);
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    RECT box{};
    GetClientRect(hwnd_, &box);
    const window::FittedText fitted = window::FitText(
        caption_, box.right, box.bottom / std::max<LONG>(metrics.tmHeight, 1), [dc](std::u16string_view piece) {
          SIZE size{};
          const std::wstring wide = Wide(piece);
          GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
          return static_cast<int>(size.cx);
        });
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    std::wstring shown;
    for (const std::u16string& line : fitted.lines) shown += (shown.empty() ? L"" : L"\r\n") + Wide(line);
    SetWindowTextW(hwnd_, shown.c_str());
    name_ = Wide(caption_);
    SetTip(tooltip_, GetParent(hwnd_), hwnd_, fitted.whole ? layout_->tooltip : std::u16string_view(caption_));
  }
  void SetBackColor(std::uint32_t bgr) override {
    colour_ = Colour(bgr);
    text_ = Colour(window::ReadableTextOn(bgr));
    brush_.reset(CreateSolidBrush(*colour_));
    InvalidateRect(hwnd_, nullptr, TRUE);
  }
  void SetVisible(bool visible) override { ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE); }
  void SetReason(const std::u16string& reason) override {
    SetTip(tooltip_, GetParent(hwnd_), hwnd_, reason.empty() ? layout_->tooltip : reason);
    description_ = Wide(reason.empty() ? layout_->accessible_description : reason);
    NotifyWinEvent(EVENT_OBJECT_DESCRIPTIONCHANGE, hwnd_, OBJID_CLIENT, CHILDID_SELF);
    if (layout_->announces) LiveRegions::Changed(hwnd_);
  }
  // What a screen reader gives as its name, where its text does not say it
  // as one line, and as its description.
  const std::wstring& Name() const { return name_; }
  const std::wstring& Description() const { return description_; }

  // Colours the label's device context; null where the label keeps the
  // window's colour. Its text is in a colour that reads on its own; under a
  // high-contrast scheme it takes the scheme's colours instead.
  HBRUSH Paint(HDC dc, bool high_contrast) const {
    if (!colour_) return nullptr;
    if (high_contrast) {
      SetBkColor(dc, GetSysColor(COLOR_WINDOW));
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      return GetSysColorBrush(COLOR_WINDOW);
    }
    SetBkColor(dc, *colour_);
    SetTextColor(dc, text_);
    return brush_.get();
  }

 private:
  HWND hwnd_;
  const window::ControlLayout* layout_;
  HWND tooltip_;
  std::u16string caption_;
  std::wstring name_;
  std::wstring description_;
  std::optional<COLORREF> colour_;
  COLORREF text_ = 0;
  GdiObject<HBRUSH> brush_;
};

class Win32Button : public window::CommandButton {
 public:
  explicit Win32Button(HWND hwnd) : hwnd_(hwnd) {}
  void SetEnabled(bool enabled) override { EnableWindow(hwnd_, enabled ? TRUE : FALSE); }

 private:
  HWND hwnd_;
};

class Win32List : public window::ListBox {
 public:
  explicit Win32List(HWND hwnd) : hwnd_(hwnd) {}
  void AddItem(const std::u16string& text) override {
    const LRESULT added = SendMessageW(hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
    if (added == LB_ERR || added == LB_ERRSPACE) throw std::runtime_error("the list box takes no more entries");
  }
  void Clear() override { SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0); }
  void SetListIndex(int index) override {
    const LRESULT count = SendMessageW(hwnd_, LB_GETCOUNT, 0, 0);
    SendMessageW(hwnd_, LB_SETCURSEL, index >= 0 && index < count ? index : -1, 0);
  }
  std::u16string Text() const override {
    const LRESULT index = SendMessageW(hwnd_, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR) return {};
    const LRESULT length = SendMessageW(hwnd_, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(hwnd_, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied == LB_ERR ? 0 : static_cast<std::size_t>(copied));
    return Utf16(text);
  }
  void SetVisible(bool visible) override { ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE); }

 private:
  HWND hwnd_;
};

class Win32Check : public window::CheckBox {
 public:
  explicit Win32Check(HWND hwnd) : hwnd_(hwnd) {}
  int Value() const override { return SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0; }

 private:
  HWND hwnd_;
};

class Win32Clipboard : public window::Clipboard {
 public:
  explicit Win32Clipboard(HWND owner) : owner_(owner) {}
  void SetText(const std::u16string& text) override {
    std::wstring copied;  // with Windows' line ends
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r')) copied += L'\r';
      copied += static_cast<wchar_t>(text[i]);
    }
    // Another program may hold the clipboard for a moment.
    bool open = false;
    for (int tries = 0; tries < 10 && !(open = OpenClipboard(owner_) != FALSE); ++tries) Sleep(20);
    if (!open) throw std::runtime_error("the clipboard is held by another program");
    struct Closer {
      ~Closer() { CloseClipboard(); }
    } closer;
    const std::size_t bytes = (copied.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    void* at = memory != nullptr ? GlobalLock(memory) : nullptr;
    if (at == nullptr) {
      if (memory != nullptr) GlobalFree(memory);
      throw std::runtime_error("no memory for the clipboard's text");
    }
    std::memcpy(at, copied.c_str(), bytes);
    GlobalUnlock(memory);
    // The clipboard owns the memory once it takes it.
    if (!EmptyClipboard() || SetClipboardData(CF_UNICODETEXT, memory) == nullptr) {
      GlobalFree(memory);
      throw std::runtime_error("the clipboard did not take the text");
    }
  }

 private:
  HWND owner_;
};

// Whether Tab can give the focus to `hwnd` as it stands: a tab stop, visible and enabled.
bool TakesFocus(HWND hwnd) {
  const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
  return (style & (WS_TABSTOP | WS_VISIBLE | WS_DISABLED)) == (WS_TABSTOP | WS_VISIBLE);
}

}  // namespace

struct Win32Window::Placed {
  const window::ControlLayout* layout;
  HWND hwnd;
  std::variant<Win32Label, Win32Button, Win32List, Win32Check> control;
};

Win32Window::Win32Window(printing::PrinterServices& services, HINSTANCE instance) {
  INITCOMMONCONTROLSEX common{sizeof(common), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&common);

  WNDCLASSEXW wc{};
  if (!GetClassInfoExW(instance, kClassName, &wc)) {
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    if (RegisterClassExW(&wc) == 0) throw std::runtime_error("cannot register the window class");
  }

  high_contrast_ = HighContrastOn();
  live_regions_ = std::make_unique<LiveRegions>();
  window_ = CreateWindowExW(0, kClassName, Wide(window::kForm.caption).c_str(), kStyle, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, this);
  if (window_ == nullptr) throw std::runtime_error("cannot create the window");
  CreateControls(instance);
  clipboard_ = std::make_unique<Win32Clipboard>(window_);
  ACCEL copy{FCONTROL | FVIRTKEY, 'C', kCopyCommand};
  keys_ = CreateAcceleratorTableW(&copy, 1);
  Scale(WindowDpi(window_));
  const SIZE frame = FrameFor(Scaled(window::kForm.client_width, dpi_), Scaled(window::kForm.client_height, dpi_),
                              kStyle, 0, dpi_);
  SetWindowPos(window_, nullptr, 0, 0, frame.cx, frame.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  form_ = std::make_unique<Form1>(static_cast<window::Controls&>(*this), services);
  window::Raise(*form_, &Form1::Form_Load);
}

Win32Window::~Win32Window() {
  if (window_ != nullptr) {
    // Destroyed by its owner rather than closed by the user: the program goes on.
    closing_by_owner_ = true;
    DestroyWindow(window_);  // the tooltip, which the window owns, with it
  }
  if (keys_ != nullptr) DestroyAcceleratorTable(keys_);
  // The fonts and the labels' brushes go after the controls that used them.
}

void Win32Window::CreateControls(HINSTANCE instance) {
  // Created in tab order, which is the order Tab visits them in.
  std::vector<const window::ControlLayout*> order;
  for (const window::ControlLayout& c : window::kControls) order.push_back(&c);
  std::sort(order.begin(), order.end(), [](auto* a, auto* b) { return a->tab_index < b->tab_index; });

  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance, nullptr);
  controls_.reserve(order.size());
  for (const window::ControlLayout* c : order) {
    const wchar_t* window_class = L"STATIC";
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD ex_style = 0;
    switch (c->kind) {
      case window::Kind::Label:
        // Texts such as printer names are shown as they are: no "&" marks an access key.
        style |= SS_NOTIFY | SS_NOPREFIX | (c->wraps ? SS_LEFT : SS_LEFTNOWORDWRAP);
        break;
      case window::Kind::CommandButton:
        window_class = L"BUTTON";
        style |= WS_TABSTOP | BS_PUSHBUTTON;
        break;
      case window::Kind::CheckBox:
        window_class = L"BUTTON";
        style |= WS_TABSTOP | BS_AUTOCHECKBOX;
        break;
      case window::Kind::ListBox:
        window_class = L"LISTBOX";
        style |= WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
        ex_style = WS_EX_CLIENTEDGE;
        break;
    }
    if (!c->enabled) style |= WS_DISABLED;
    const int id = kFirstControlId + static_cast<int>(controls_.size());
    HWND hwnd = CreateWindowExW(ex_style, window_class, Wide(c->text).c_str(), style, 0, 0, 0, 0, window_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (hwnd == nullptr) throw std::runtime_error("cannot create control " + std::string(c->name));
    switch (c->kind) {
      case window::Kind::Label: {
        Win32Label label(hwnd, *c, tooltip_);
        if (c->background != window::kDefaultColour) label.SetBackColor(static_cast<std::uint32_t>(c->background));
        controls_.push_back(Placed{c, hwnd, std::move(label)});
        break;
      }
      case window::Kind::CommandButton:
        controls_.push_back(Placed{c, hwnd, Win32Button(hwnd)});
        break;
      case window::Kind::ListBox:
        controls_.push_back(Placed{c, hwnd, Win32List(hwnd)});
        break;
      case window::Kind::CheckBox:
        controls_.push_back(Placed{c, hwnd, Win32Check(hwnd)});
        break;
    }
    SetWindowSubclass(hwnd, ControlProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    SetTip(tooltip_, window_, hwnd, c->tooltip);
    if (c->announces) live_regions_->Mark(hwnd);
  }
}

void Win32Window::Scale(unsigned dpi) {
  dpi_ = dpi;
  std::map<double, GdiObject<HFONT>> fonts;
  for (const Placed& p : controls_) {
    const double points = p.layout->points;
    auto [font, made] = fonts.try_emplace(points);
    if (made) font->second.reset(points > 0 ? Arial(points, dpi) : MessageFont(dpi));
    SetWindowPos(p.hwnd, nullptr, Scaled(p.layout->left, dpi), Scaled(p.layout->top, dpi),
                 Scaled(p.layout->width, dpi), Scaled(p.layout->height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(p.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font->second.get()), TRUE);
  }
  fonts_ = std::move(fonts);  // the fonts of the old size go
  for (Placed& p : controls_)
    if (auto* label = std::get_if<Win32Label>(&p.control); label != nullptr && p.layout->elides) label->Fit();
  if (tooltip_ != nullptr) SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, Scaled(kTipWidth, dpi));
}

void Win32Window::Show(int show_command) {
  ShowWindow(window_, show_command);
  UpdateWindow(window_);
  // The controls stand in tab order.
  const auto first =
      std::find_if(controls_.begin(), controls_.end(), [](const Placed& p) { return TakesFocus(p.hwnd); });
  focus_ = first != controls_.end() ? first->hwnd : nullptr;
  SetFocus(focus_);
}

HWND Win32Window::Control(std::string_view name) const {
  const Placed* p = Find(name);
  return p != nullptr ? p->hwnd : nullptr;
}

const Win32Window::Placed* Win32Window::Find(std::string_view name) const {
  for (const Placed& p : controls_)
    if (p.layout->name == name) return &p;
  return nullptr;
}

const Win32Window::Placed* Win32Window::Find(HWND hwnd) const {
  for (const Placed& p : controls_)
    if (p.hwnd == hwnd) return &p;
  return nullptr;
}

void Win32Window::Raise(window::Event event) {
  std::optional<BusyCursor> busy;
  if (event == window::Event::TestClick) busy.emplace();
  window::Raise(*form_, event);
}

LRESULT CALLBACK Win32Window::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->window_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->window_ = nullptr;
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  return self->OnMessage(message, wparam, lparam);
}

LRESULT Win32Window::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND: {
      if (form_ == nullptr) break;
      if (lparam == 0 && LOWORD(wparam) == kCopyCommand) {  // Ctrl+C
        Raise(window::Event::CopyClick);
        return 0;
      }
      if (HIWORD(wparam) != BN_CLICKED) break;
      const Placed* p = Find(reinterpret_cast<HWND>(lparam));
      if (p == nullptr || p->layout->raises == window::Event::None) break;
      // A disabled button takes no click, whatever sends one.
      if (!IsWindowEnabled(p->hwnd)) return 0;
      Raise(p->layout->raises);
      return 0;
    }
    case WM_CONTEXTMENU: {
      // A label's context menu, at the pointer (or below the label for the keyboard's menu key).
      const Placed* p = Find(reinterpret_cast<HWND>(wparam));
      if (p == nullptr || !p->layout->copy_menu || form_ == nullptr) break;
      POINT at{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
      if (lparam == -1) {
        RECT r;
        GetWindowRect(p->hwnd, &r);
        at = {r.left, r.bottom};
      }
      HMENU menu = CreatePopupMenu();
      if (menu == nullptr) return 0;
      AppendMenuW(menu, MF_STRING, kCopyCommand, (Wide(window::kCopyItem) + L"\tCtrl+C").c_str());
      const UINT chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, window_, nullptr);
      DestroyMenu(menu);
      if (chosen == kCopyCommand) Raise(window::Event::CopyClick);
      return 0;
    }
    case WM_CTLCOLORSTATIC: {
      const Placed* p = Find(reinterpret_cast<HWND>(lparam));
      const auto* label = p != nullptr ? std::get_if<Win32Label>(&p->control) : nullptr;
      if (label != nullptr)
        if (HBRUSH brush = label->Paint(reinterpret_cast<HDC>(wparam), high_contrast_))
          return reinterpret_cast<LRESULT>(brush);
      break;
    }
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE: {
      // The user's colours or settings changed, high contrast perhaps with
      // them. The controls hear of new colours from their window, as Windows asks.
      const bool was_high_contrast = high_contrast_;
      high_contrast_ = HighContrastOn();
      if (message == WM_SYSCOLORCHANGE)
        for (const Placed& p : controls_) SendMessageW(p.hwnd, message, wparam, lparam);
      if (message == WM_SYSCOLORCHANGE || high_contrast_ != was_high_contrast)
        RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
      break;
    }
    case WM_ACTIVATE:
      // Like a dialog, the window keeps its focused control while inactive.
      if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window_, focus)) focus_ = focus;
      } else if (focus_ != nullptr && IsWindowVisible(focus_) && IsWindowEnabled(focus_)) {
        SetFocus(focus_);
        return 0;
      }
      break;
    case WM_DPICHANGED: {
      Scale(HIWORD(wparam));
      const RECT* suggested = reinterpret_cast<const RECT*>(lparam);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_DESTROY:
      live_regions_->Clear();  // while the controls are there
      // Closing the window ends the program.
      if (!closing_by_owner_) PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wparam, lparam);
}

LRESULT CALLBACK Win32Window::ControlProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                          DWORD_PTR self) {
  auto* owner = reinterpret_cast<Win32Window*>(self);
  const Placed* p = owner->Find(hwnd);
  if (p == nullptr) return DefSubclassProc(hwnd, message, wparam, lparam);
  return owner->HandleControl(*p, message, wparam, lparam);
}

LRESULT Win32Window::HandleControl(const Placed& control, UINT message, WPARAM wparam, LPARAM lparam) {
  HWND hwnd = control.hwnd;
  // A list that raises an event raises it on a double-click and on Enter.
  const window::Event raises = control.layout->raises;
  const bool raising_list = control.layout->kind == window::Kind::ListBox && raises != window::Event::None;
  switch (message) {
    case WM_GETOBJECT: {
      if (static_cast<LONG>(lparam) != OBJID_CLIENT) break;
      // A label's description follows its reason; one that elides is named by its whole text.
      const auto* label = std::get_if<Win32Label>(&control.control);
      const std::wstring description =
          label != nullptr ? label->Description() : Wide(control.layout->accessible_description);
      const std::wstring name =
          label != nullptr && !label->Name().empty() ? label->Name() : Wide(control.layout->accessible_name);
      if (name.empty() && description.empty()) break;
      if (LRESULT named = NamedClientObject(hwnd, wparam, name, description))
        return named;
      break;
    }
    case WM_LBUTTONDBLCLK:
      if (!raising_list) break;
      {
        // Anywhere inside the list, below the last entry too, a double-click
        // is the list's double-click.
        const LRESULT result = DefSubclassProc(hwnd, message, wparam, lparam);
        Raise(raises);
        return result;
      }
    case WM_GETDLGCODE:
      // Enter belongs to such a list while it has the focus.
      if (raising_list && lparam != 0) {
        const MSG* msg = reinterpret_cast<const MSG*>(lparam);
        if ((msg->message == WM_KEYDOWN || msg->message == WM_CHAR) && msg->wParam == VK_RETURN)
          return DefSubclassProc(hwnd, message, wparam, lparam) | DLGC_WANTMESSAGE;
      }
      break;
    case WM_KEYDOWN:
      if (raising_list && wparam == VK_RETURN) {
        Raise(raises);
        return 0;
      }
      break;
    case WM_CHAR:
      if (raising_list && wparam == VK_RETURN) return 0;  // no beep
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, ControlProc, kSubclassId);
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

bool Win32Window::HandleKeys(MSG& msg) const {
  if (window_ == nullptr) return false;
  return TranslateAcceleratorW(window_, keys_, &msg) != 0 || IsDialogMessageW(window_, &msg) != FALSE;
}

int Win32Window::RunMessageLoop() const {
  MSG msg;
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
    if (got == -1) return 1;
    if (HandleKeys(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

template <class Wrapper>
Wrapper& Win32Window::Named(std::string_view name, const char* kind) {
  for (Placed& p : controls_) {
    if (p.layout->name != name) continue;
    if (auto* control = std::get_if<Wrapper>(&p.control)) return *control;
    break;
  }
  throw std::out_of_range(std::string("no such ") + kind + ": " + std::string(name));
}

window::Label& Win32Window::LabelNamed(std::string_view name) { return Named<Win32Label>(name, "label"); }
window::CommandButton& Win32Window::ButtonNamed(std::string_view name) { return Named<Win32Button>(name, "button"); }
window::ListBox& Win32Window::ListNamed(std::string_view name) { return Named<Win32List>(name, "list box"); }
window::CheckBox& Win32Window::CheckNamed(std::string_view name) { return Named<Win32Check>(name, "check box"); }
window::Clipboard& Win32Window::SystemClipboard() { return *clipboard_; }

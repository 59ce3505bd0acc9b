// What a user meets of the installed program, for the installer's test
// script; prints what it finds, one "name=value" a line, and fails with a
// message where the user would see something wrong.
//
//   installed_program shortcut LNK   the shortcut's target, working folder and
//                                    icon; fails unless its icon loads
//   installed_program icon FILE,N    fails unless the icon N of FILE loads
//                                    (as the list of installed apps names it)
//   installed_program run EXE        starts EXE, waits for its window "Test
//                                    Printer", closes it as a user does and
//                                    fails unless it then ends with exit code 0
#include <cstdio>
#include <cwchar>
#include <string>

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

namespace {

constexpr wchar_t kWindowTitle[] = L"Test Printer";
// Generous bounds that only catch a hang: the window comes in about a second.
constexpr DWORD kWindowWaitMs = 30000;
constexpr DWORD kExitWaitMs = 30000;

int Fail(const wchar_t* what, DWORD error = 0) {
  if (error != 0) {
    std::fwprintf(stderr, L"FAIL: %ls (error %lu)\n", what, error);
  } else {
    std::fwprintf(stderr, L"FAIL: %ls\n", what);
  }
  return 1;
}

// Whether FILE holds an icon at INDEX that Windows can draw.
bool IconLoads(const std::wstring& file, int index) {
  HICON large = nullptr;
  if (ExtractIconExW(file.c_str(), index, &large, nullptr, 1) != 1 || large == nullptr) return false;
  ICONINFO info{};
  const bool drawable = GetIconInfo(large, &info) != 0;
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  DestroyIcon(large);
  return drawable;
}

int Shortcut(const wchar_t* path) {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return Fail(L"COM");
  int result = 1;
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)))) {
    result = Fail(L"no shell link object");
  } else if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) ||
             FAILED(file->Load(path, STGM_READ))) {
    result = Fail(L"the shortcut cannot be read");
  } else {
    wchar_t target[MAX_PATH] = L"", arguments[MAX_PATH] = L"", folder[MAX_PATH] = L"",
            icon[MAX_PATH] = L"";
    int icon_index = 0;
    link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
    link->GetArguments(arguments, MAX_PATH);
    link->GetWorkingDirectory(folder, MAX_PATH);
    link->GetIconLocation(icon, MAX_PATH, &icon_index);
    std::wprintf(L"target=%ls\narguments=%ls\nfolder=%ls\nicon=%ls,%d\n", target, arguments, folder, icon,
                 icon_index);
    // A shortcut without an icon of its own shows its target's first icon.
    result = IconLoads(icon[0] ? icon : target, icon[0] ? icon_index : 0)
                 ? 0
                 : Fail(L"the shortcut's icon does not load");
  }
  if (file) file->Release();
  if (link) link->Release();
  CoUninitialize();
  return result;
}

int Icon(const wchar_t* location) {
  // "FILE,N" as the Uninstall entry's DisplayIcon writes it; N defaults to 0.
  std::wstring file = location;
  int index = 0;
  const auto comma = file.rfind(L',');
  if (comma != std::wstring::npos) {
    index = _wtoi(file.c_str() + comma + 1);
    file.resize(comma);
  }
  return IconLoads(file, index) ? 0 : Fail(L"no icon there");
}

struct WindowSearch {
  DWORD process_id;
  HWND found;
};

BOOL CALLBACK FindProgramWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t title[64] = L"";
  GetWindowTextW(window, title, 64);
  if (owner == search->process_id && IsWindowVisible(window) && std::wcscmp(title, kWindowTitle) == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

int Run(const wchar_t* program) {
  std::wstring command = L"\"" + std::wstring(program) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return Fail(L"the program does not start", GetLastError());
  }
  CloseHandle(process.hThread);
  struct Closer {
    HANDLE process;
    ~Closer() {
      // Whatever went wrong, the program does not outlive the check.
      if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) TerminateProcess(process, 99);
      CloseHandle(process);
    }
  } closer{process.hProcess};

  const ULONGLONG start = GetTickCount64();
  WindowSearch search{process.dwProcessId, nullptr};
  while (search.found == nullptr) {
    EnumWindows(FindProgramWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found) break;
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) {
      return Fail(L"the program ended without showing its window");
    }
    if (GetTickCount64() - start > kWindowWaitMs) return Fail(L"no window \"Test Printer\" came");
    Sleep(50);
  }
  std::wprintf(L"window=%ls\nwindow_ms=%llu\n", kWindowTitle, GetTickCount64() - start);

  // As the window's close box does.
  PostMessageW(search.found, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.hProcess, kExitWaitMs) != WAIT_OBJECT_0) {
    return Fail(L"the program did not end when its window was closed");
  }
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  std::wprintf(L"exit=%lu\n", code);
  return code == 0 ? 0 : Fail(L"the program ended with an error");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wcscmp(argv[1], L"shortcut") == 0) return Shortcut(argv[2]);
  if (argc == 3 && std::wcscmp(argv[1], L"icon") == 0) return Icon(argv[2]);
  if (argc == 3 && std::wcscmp(argv[1], L"run") == 0) return Run(argv[2]);
  std::fwprintf(stderr, L"usage: installed_program shortcut LNK | icon FILE,N | run EXE\n");
  return 2;
}

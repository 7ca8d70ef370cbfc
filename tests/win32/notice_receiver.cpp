// A stand-in for the main window in the splitter's tests: a window that starts Tomlet.exe with a
// command line naming its handle and prints every splitter notice it receives, until Tomlet has
// ended and one more second has passed.
//   notice_receiver TOMLET_EXE PARAMETERS   ("%H" in PARAMETERS becomes the window's handle)
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

LRESULT CALLBACK ReceiverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == 999) {
    std::printf("notice %ld\n", static_cast<long>(lParam));
    std::fflush(stdout);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: notice_receiver TOMLET_EXE PARAMETERS\n");
    return 2;
  }
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = ReceiverProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"NoticeReceiver";
  RegisterClassW(&windowClass);
  HWND window = CreateWindowW(L"NoticeReceiver", L"NoticeReceiver", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                              nullptr, windowClass.hInstance, nullptr);
  std::wstring parameters = argv[2];
  const std::wstring handle = std::to_wstring(reinterpret_cast<UINT_PTR>(window));
  for (std::size_t at; (at = parameters.find(L"%H")) != std::wstring::npos;) parameters.replace(at, 2, handle);
  std::wstring line = L"\"" + std::wstring(argv[1]) + L"\" " + parameters;

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(argv[1], line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    std::fprintf(stderr, "cannot start Tomlet\n");
    return 1;
  }
  const DWORD deadline = GetTickCount() + 60000;
  while (MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 200, QS_ALLINPUT) != WAIT_OBJECT_0) {
    Pump();
    if (GetTickCount() > deadline) break;
  }
  const DWORD end = GetTickCount() + 1000;
  while (GetTickCount() < end) {
    Pump();
    Sleep(20);
  }
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  std::printf("exit %lu\n", static_cast<unsigned long>(exitCode));
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 0;
}

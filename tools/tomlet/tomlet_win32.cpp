// Tomlet.exe: the splitter as the main program launches it. It splits on a worker thread behind a
// small progress window with a Cancel button, asks for page ranges in a dialog for the page-input
// forms, and, when launched with a window handle, posts the notice (WM_COMMAND 999, the status in
// lParam) to that window exactly once before it ends.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <thread>

#include "app/text/texts.h"
#include "engine/core/open_file.h"
#include "tools/tomlet/tomlet_job.h"

namespace {

constexpr int kPagesPrompt = 101;
constexpr int kPagesEdit = 102;
constexpr int kCancelButton = 200;
constexpr UINT kProgressMessage = WM_APP + 1;  // wParam percent
constexpr UINT kDoneMessage = WM_APP + 2;      // the worker has finished
constexpr UINT kAskPagesMessage = WM_APP + 3;  // lParam PagesQuestion*
constexpr UINT kRangeErrorMessage = WM_APP + 4;  // lParam const std::string*
constexpr WPARAM kSplitterNotify = 999;

struct PagesQuestion {
  int PageCount = 0;
  bool Japanese = false;
  std::optional<std::string> Answer;
};

struct Window {
  HWND Frame = nullptr;
  HWND Bar = nullptr;
  folvex::JobControl Control;
  bool Japanese = false;
  folvex::tomlet::TomletOutcome Outcome;
};

Window gWindow;

std::wstring Wide(std::string_view text) { return folvex::Utf8ToWide(std::string(text)); }

// The command line without the program's own name.
std::string ArgumentsOf(const wchar_t* line) {
  const wchar_t* p = line;
  if (*p == L'"') {
    ++p;
    while (*p != 0 && *p != L'"') ++p;
    if (*p == L'"') ++p;
  } else {
    while (*p != 0 && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return folvex::WideToUtf8(p);
}

INT_PTR CALLBACK PagesDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      const auto* question = reinterpret_cast<PagesQuestion*>(lParam);
      const std::string prompt = std::string(folvex::Text(folvex::TextId::TomletPageInputPrompt, question->Japanese)) +
                                 " (1-" + std::to_string(question->PageCount) + "):";
      SetDlgItemTextW(dialog, kPagesPrompt, Wide(prompt).c_str());
      if (question->Japanese) SetDlgItemTextW(dialog, IDCANCEL, L"キャンセル");
      SetForegroundWindow(dialog);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        auto* question = reinterpret_cast<PagesQuestion*>(GetWindowLongPtrW(dialog, DWLP_USER));
        if (LOWORD(wParam) == IDOK) {
          wchar_t typed[512] = {};
          GetDlgItemTextW(dialog, kPagesEdit, typed, 511);
          question->Answer = folvex::WideToUtf8(typed);
        }
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

LRESULT CALLBACK FrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == kCancelButton) gWindow.Control.CancelFlag.store(3);
      return 0;
    case WM_CLOSE:
      gWindow.Control.CancelFlag.store(3);
      return 0;
    case kProgressMessage:
      SendMessageW(gWindow.Bar, PBM_SETPOS, wParam, 0);
      return 0;
    case kAskPagesMessage: {
      auto* question = reinterpret_cast<PagesQuestion*>(lParam);
      DialogBoxParamW(GetModuleHandleW(nullptr), L"PAGEDLG", frame, PagesDialog, reinterpret_cast<LPARAM>(question));
      return 0;
    }
    case kRangeErrorMessage: {
      const auto* text = reinterpret_cast<const std::string*>(lParam);
      MessageBoxW(frame, Wide(*text).c_str(), L"Tomlet", MB_OK | MB_ICONERROR);
      return 0;
    }
    case kDoneMessage:
      DestroyWindow(frame);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(frame, message, wParam, lParam);
  }
}

HWND CreateProgressFrame(HINSTANCE instance, const std::string& title) {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = FrameProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = L"Tomlet";
  RegisterClassExW(&windowClass);
  const int width = 360, height = 130;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  HWND frame = CreateWindowExW(0, L"Tomlet", Wide("Tomlet - " + title).c_str(),
                               WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, left, top, width, height, nullptr, nullptr,
                               instance, nullptr);
  if (frame == nullptr) return nullptr;
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  HWND label = CreateWindowExW(0, L"STATIC", Wide(title).c_str(), WS_CHILD | WS_VISIBLE | SS_PATHELLIPSIS, 10, 8, 330,
                               18, frame, nullptr, instance, nullptr);
  gWindow.Bar = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 10, 30, 330, 18, frame, nullptr,
                                instance, nullptr);
  SendMessageW(gWindow.Bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  HWND cancel = CreateWindowExW(0, L"BUTTON", gWindow.Japanese ? L"キャンセル" : L"Cancel",
                                WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 250, 58, 90, 24, frame,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCancelButton)), instance, nullptr);
  for (HWND child : {label, cancel}) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  ShowWindow(frame, SW_SHOWNORMAL);
  UpdateWindow(frame);
  return frame;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  const std::string arguments = ArgumentsOf(GetCommandLineW());
  const std::optional<folvex::SplitterCommand> command = folvex::ParseSplitterCommandLine(arguments);
  if (!command) {
    MessageBoxW(nullptr,
                L"Tomlet [/jp|/us]-Auto PATH | -Ac<window> PATH | -Autop PATH | -Bu LIST | -Bc<window> LIST | -Bp LIST",
                L"Tomlet", MB_OK | MB_ICONERROR);
    return 1;
  }
  gWindow.Japanese = command->LanguageForced ? command->Japanese : PRIMARYLANGID(GetUserDefaultLangID()) == LANG_JAPANESE;
  gWindow.Control.Japanese = gWindow.Japanese;

  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  std::string title = command->Target;
  if (const std::size_t slash = title.find_last_of("\\/"); slash != std::string::npos) title = title.substr(slash + 1);
  gWindow.Frame = CreateProgressFrame(instance, title);
  HWND frame = gWindow.Frame;

  int shown = -1;
  gWindow.Control.ProgressSink = [&shown, frame](int percent, const std::string&) {
    if (percent == shown) return;
    shown = percent;
    PostMessageW(frame, kProgressMessage, static_cast<WPARAM>(percent), 0);
  };
  folvex::tomlet::TomletIo io;
  io.Control = &gWindow.Control;
  io.AskPageRanges = [frame](int pageCount) {
    PagesQuestion question;
    question.PageCount = pageCount;
    question.Japanese = gWindow.Japanese;
    SendMessageW(frame, kAskPagesMessage, 0, reinterpret_cast<LPARAM>(&question));
    return question.Answer;
  };
  io.ShowRangeError = [frame](const std::string& text) {
    SendMessageW(frame, kRangeErrorMessage, 0, reinterpret_cast<LPARAM>(&text));
  };

  if (frame == nullptr) {
    // No window to show progress in or to ask for pages from: the page-input forms end as cancelled.
    io.AskPageRanges = [](int) { return std::optional<std::string>(); };
    io.ShowRangeError = nullptr;
    gWindow.Control.ProgressSink = nullptr;
    gWindow.Outcome = folvex::tomlet::RunTomlet(*command, gWindow.Japanese, io);
  } else {
    std::thread worker([&] {
      gWindow.Outcome = folvex::tomlet::RunTomlet(*command, gWindow.Japanese, io);
      PostMessageW(frame, kDoneMessage, 0, 0);
    });
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      if (!IsDialogMessageW(frame, &message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
    worker.join();
  }

  const int status = gWindow.Outcome.Status;
  if (command->Window != 0) {
    // The notice for this file; the main program reports the run's result at its end.
    HWND owner = reinterpret_cast<HWND>(static_cast<UINT_PTR>(command->Window));
    PostMessageW(owner, WM_COMMAND, kSplitterNotify, static_cast<LPARAM>(status));
  } else {
    const std::string text = folvex::tomlet::StatusMessage(status, gWindow.Japanese);
    if (!text.empty() && status != -2) MessageBoxW(nullptr, Wide(text).c_str(), L"Tomlet", MB_OK | MB_ICONERROR | MB_TOPMOST);
  }
  return status == 0 ? 0 : (status < 0 ? 100 - status : status);
}

// THDDLG / THDDLGE: the modal progress dialog. It starts the job's worker when it opens, shows
// the worker's progress (sent synchronously as command 6100), asks the worker's password
// questions, and closes with the job's result when the worker has finished (command 6110).
#include "app/jobs/job_worker.h"
#include "app/jobs/progress_bar.h"
#include "app/win32/dialog_controls.h"
#include "app/win32/dialogs.h"
#include "app/win32/resources/dialog_ids.h"
#include "engine/core/open_file.h"

namespace folvex::win32 {

namespace {

// Sent by the worker: lParam points to a PasswordQuestion to answer on the user-interface thread.
constexpr UINT kAskPassword = WM_APP + 61;

struct PasswordQuestion {
  PasswordRequest Request;
  std::optional<std::string> Answer;
};

struct ProgressState {
  bool Japanese = false;
  const JobRequest& Request;
  JobControl Control;
  JobWorker Worker;
  bool WorkerStarted = false;
  int Percent = 0;
};

void ConnectControl(HWND dialog, ProgressState& state) {
  state.Control.Japanese = state.Japanese;
  state.Control.CancelFlag = 0;
  state.Control.ProgressSink = [dialog](int percent, const std::string&) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDM_JOB_PROGRESS, 0), static_cast<LPARAM>(percent));
  };
  state.Control.PasswordPrompt = [dialog, &state](std::string& password) {
    PasswordQuestion question;
    if (state.Request.PasswordQuestion) question.Request = state.Request.PasswordQuestion();
    SendMessageW(dialog, kAskPassword, 0, reinterpret_cast<LPARAM>(&question));
    if (!question.Answer) return false;
    password = *question.Answer;
    return true;
  };
}

void PaintBar(HWND dialog, int percent) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(dialog, &paint);
  HPEN framePen = CreatePen(PS_SOLID, 1, RGB(150, 150, 150));
  HGDIOBJ oldPen = SelectObject(dc, framePen);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
  Rectangle(dc, kProgressFrame.Left, kProgressFrame.Top, kProgressFrame.Right, kProgressFrame.Bottom);

  HPEN blockPen = CreatePen(PS_SOLID, 1, RGB(100, 200, 100));
  HBRUSH blockBrush = CreateSolidBrush(RGB(100, 200, 100));
  SelectObject(dc, blockPen);
  SelectObject(dc, blockBrush);
  for (const BarRect& block : ProgressBlocks(percent)) Rectangle(dc, block.Left, block.Top, block.Right, block.Bottom);

  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  DeleteObject(framePen);
  DeleteObject(blockPen);
  DeleteObject(blockBrush);
  EndPaint(dialog, &paint);
}

void InvalidateBar(HWND dialog) {
  const RECT bar{kProgressFrame.Left, kProgressFrame.Top, kProgressFrame.Right, kProgressFrame.Bottom};
  InvalidateRect(dialog, &bar, FALSE);
}

INT_PTR CALLBACK ProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = StateOf<ProgressState>(dialog, message, lParam);
  if (state == nullptr) return FALSE;  // messages before WM_INITDIALOG
  switch (message) {
    case WM_INITDIALOG:
      SetWindowTextW(dialog, Utf8ToWide(state->Request.Title).c_str());
      CentreOnDesktop(dialog);
      state->Percent = 0;
      ConnectControl(dialog, *state);
      StartJobWorker(state->Worker, state->Request, state->Control, [dialog] {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDM_JOB_FINISHED, 0), 0);
      });
      state->WorkerStarted = true;
      return TRUE;
    case WM_PAINT:
      PaintBar(dialog, state->Percent);
      return TRUE;
    case kAskPassword: {
      auto* question = reinterpret_cast<PasswordQuestion*>(lParam);
      question->Answer = ShowPasswordDialog(dialog, state->Japanese, question->Request);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDM_JOB_PROGRESS: {
          SetControlText(dialog, IDC_PROGRESS_TEXT, state->Control.Label());
          const int percent = ClampPercent(lParam);
          if (percent != state->Percent) {
            state->Percent = percent;
            InvalidateBar(dialog);
          }
          return TRUE;
        }
        case IDM_JOB_FINISHED:
          EndDialog(dialog, IDOK);
          return TRUE;
        case IDCANCEL:
          // The dialog stays until the worker has stopped and says so.
          state->Control.CancelFlag = 3;
          return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

int ShowProgressDialog(HWND owner, bool japanese, const JobRequest& request) {
  ProgressState state{japanese, request, {}, {}, false, 0};
  RunDialog(owner, DialogName(L"THDDLG", japanese), ProgressProc, state);
  if (!state.WorkerStarted) {
    // Without its dialog the job still runs, without progress and without password questions.
    state.Control.ProgressSink = nullptr;
    state.Control.PasswordPrompt = nullptr;
    return RunJobOnWorker(request, state.Control);
  }
  return FinishJobWorker(state.Worker);
}

}  // namespace folvex::win32

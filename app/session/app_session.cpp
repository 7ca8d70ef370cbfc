#include "app/session/app_session.h"

namespace folvex {

void StartSession(AppSession& session, bool japanese, const std::string& startDirectory) {
  session = AppSession();
  session.Japanese = japanese;
  session.List.Japanese = japanese;
  session.StartDirectory = startDirectory;
  StartHistory(session.Undo);
}

CommandContext CurrentContext(const AppSession& session) {
  CommandContext context;
  context.Counts = CountRowClasses(session.List);
  context.UndoCount = session.Undo.UndoCount;
  context.RedoCount = session.Undo.RedoCount;
  context.SplitterAvailable = session.Splitter.Available;
  context.SplitterVersion = session.Splitter.Version;
  context.SplitRun = session.Splitter.Run;
  return context;
}

}  // namespace folvex

// What crosses threads during a job: the cancel flag, the progress label and sink, the password prompt.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace folvex {

struct JobControl {
  std::atomic<int> CancelFlag{0};  // 0 go on; nonzero stop (the progress dialog sets 3)
  bool Japanese = false;           // language of the progress labels

  // Receives every progress report (the label is already in ProgressText). May be empty.
  std::function<void(int percent, const std::string& label)> ProgressSink;
  // Asks the user for a password; returns false when the user declines. May be empty.
  std::function<bool(std::string& password)> PasswordPrompt;

  // Sets the label (English or Japanese by the interface language) and reports the percentage.
  void ReportProgress(std::string_view english, std::string_view japanese, int percent) {
    const std::string_view text = Japanese ? japanese : english;
    {
      std::lock_guard<std::mutex> lock(TextMutex);
      ProgressText.assign(text);
    }
    if (ProgressSink) ProgressSink(percent, std::string(text));
  }

  std::string Label() const {
    std::lock_guard<std::mutex> lock(TextMutex);
    return ProgressText;
  }

  bool Cancelled() const { return CancelFlag.load() != 0; }

 private:
  mutable std::mutex TextMutex;
  std::string ProgressText;
};

}  // namespace folvex

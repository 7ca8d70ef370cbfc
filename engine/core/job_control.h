// What crosses threads during a job: the cancel flag, the progress label and sink, the password prompt.
#pragma once

#include <atomic>
#include <charconv>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace folvex {

// A progress label with its count: label, then "k/n" for item index (0-based) of count.
inline std::string CountedLabel(std::string_view label, int index, int count) {
  char numbers[32];
  char* at = std::to_chars(numbers, numbers + 12, index + 1).ptr;
  *at++ = '/';
  at = std::to_chars(at, numbers + sizeof numbers, count).ptr;
  std::string text;
  text.reserve(label.size() + static_cast<std::size_t>(at - numbers));
  text.append(label).append(numbers, at);
  return text;
}

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

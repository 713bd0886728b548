// Test doubles of the core's outward interfaces: a prompt with scripted answers, a main-window link
// that records every call, and a text source backed by a map. Header-only, in the orvane_testing
// target; used by the tests of every library and by the benchmarks.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/main_window_link.h"
#include "platform/prompt.h"
#include "platform/text_source.h"

namespace orvane {

class ScriptedPrompt : public IPrompt {
 public:
  // Answers given in order; when they run out, questions get No and notices Ok.
  void Script(std::vector<PromptAnswer> answers) {
    std::lock_guard lock(mutex_);
    answers_.assign(answers.begin(), answers.end());
  }
  PromptAnswer Show(const PromptRequest& request) override {
    std::lock_guard lock(mutex_);
    shown_.push_back(request);
    if (!answers_.empty()) {
      PromptAnswer a = answers_.front();
      answers_.pop_front();
      return a;
    }
    return request.buttons == PromptButtons::YesNo ? PromptAnswer::No : PromptAnswer::Ok;
  }
  std::vector<PromptRequest> Shown() const {
    std::lock_guard lock(mutex_);
    return shown_;
  }

 private:
  mutable std::mutex mutex_;
  std::deque<PromptAnswer> answers_;
  std::vector<PromptRequest> shown_;
};

class RecordingMainWindowLink : public IMainWindowLink {
 public:
  enum class Kind { Post, Send, SetTimer, SetTrayState, Hide, SetApplyPending, RefreshKeyMatrix };
  struct Call {
    Kind kind;
    uint32_t message = 0;  // Post/Send: the message; SetTimer: the id; SetTrayState: the icon
    uintptr_t wparam = 0;  // SetTimer: the interval; SetApplyPending: 0 or 1
    intptr_t lparam = 0;
  };

  // Optional handler for Send (runs on the sending thread); returns the result.
  std::function<intptr_t(uint32_t, uintptr_t, intptr_t)> on_send;

  void Post(uint32_t m, uintptr_t w, intptr_t l) override { Record({Kind::Post, m, w, l}); }
  intptr_t Send(uint32_t m, uintptr_t w, intptr_t l) override {
    Record({Kind::Send, m, w, l});
    return on_send ? on_send(m, w, l) : 0;
  }
  void SetTimer(int id, uint32_t ms) override { Record({Kind::SetTimer, uint32_t(id), ms, 0}); }
  void SetTrayState(int icon) override {
    tray_state_ = icon;
    Record({Kind::SetTrayState, uint32_t(icon), 0, 0});
  }
  void Hide() override { Record({Kind::Hide, 0, 0, 0}); }
  void SetApplyPending(bool p) override {
    apply_pending_ = p;
    Record({Kind::SetApplyPending, 0, uintptr_t(p), 0});
  }
  bool IsApplyPending() const override { return apply_pending_; }
  void RefreshKeyMatrix() override { Record({Kind::RefreshKeyMatrix, 0, 0, 0}); }

  std::vector<Call> Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    calls_.clear();
  }
  int TrayState() const { return tray_state_; }
  // Waits until a call matching pred has been recorded, up to timeout_ms. True if one was.
  bool WaitFor(const std::function<bool(const Call&)>& pred, int timeout_ms) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
      for (const Call& c : calls_)
        if (pred(c)) return true;
      return false;
    });
  }

 private:
  void Record(const Call& c) {
    {
      std::lock_guard lock(mutex_);
      calls_.push_back(c);
    }
    changed_.notify_all();
  }
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Call> calls_;
  std::atomic<int> tray_state_{0};
  std::atomic<bool> apply_pending_{false};
};

// Polls cond every poll_ms until it holds or timeout_ms pass; the last answer of cond.
inline bool PollUntil(const std::function<bool()>& cond, int timeout_ms, int poll_ms = 2) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (std::chrono::steady_clock::now() < end) {
    if (cond()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(poll_ms));
  }
  return cond();
}

class MapTextSource : public ITextSource {
 public:
  MapTextSource() = default;
  explicit MapTextSource(std::map<std::string, std::string> texts) : texts_(std::move(texts)) {}
  // Keys are "SECTION/KEY", e.g. "TEXT/UNKNOWN_KEY".
  void Set(const std::string& section, const std::string& key, const std::string& text) {
    texts_[section + "/" + key] = text;
  }
  std::string Text(const std::string& section, const std::string& key) const override {
    auto it = texts_.find(section + "/" + key);
    return it == texts_.end() ? std::string(kMissingText) : it->second;
  }
  using ITextSource::Text;

 private:
  std::map<std::string, std::string> texts_;
};

}  // namespace orvane

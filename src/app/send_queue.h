#pragma once
// Sends one at a time. A send waits with the messages flowing (for the chat program, and to give
// the agent's clipboard back), so the agent can click, double-click, press Enter or the hotkey
// again meanwhile: that send waits its turn and runs after the one before, in order, so the keys
// of two sends never mix. Each is for the row and the chat window of the moment it was asked for.
#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "chat/send_engine.h"
#include "storage/send_counts.h"

namespace jihe::app {

inline constexpr std::string_view kSendBusyText = "上一条短语还在发送，请稍候";
inline constexpr size_t kMaxWaitingSends = 3;

// One send as the agent asked for it.
struct SendRequest {
  chat::SendMode mode = chat::SendMode::ListClick;
  std::optional<std::string> rowText;  // the selected row at the moment of the click
  std::string imgFolder;               // where that row's pictures are
  std::string spareImgFolder;          // where one missing there may still be (the team's cache)
  // The chat window it was meant for: the follow loop may dock beside another one before a waiting
  // send runs, and the phrase must not reach that other customer.
  platform::WindowId chatWindow = 0;
  // The row as the send counts know it, counted once the send went out.
  std::optional<storage::SendCountKey> countKey = std::nullopt;
};

class SendQueue {
 public:
  // Plays one send; the host it is given answers the engine with the request's row and asks the
  // panel for everything else.
  using RunSend = std::function<void(chat::SendHost& host, const SendRequest& request)>;
  SendQueue(chat::SendHost& panel, RunSend run) : panel_(panel), run_(std::move(run)) {}
  SendQueue(const SendQueue&) = delete;
  SendQueue& operator=(const SendQueue&) = delete;

  enum class Asked {
    Sent,     // it ran now, and every send asked for meanwhile after it
    Waiting,  // another send runs: this one follows it
    Refused,  // kMaxWaitingSends already wait
  };
  Asked Ask(SendRequest request);
  // The sends that wait are forgotten (the agent paused the work, the program ends).
  void DropWaiting() { waiting_.clear(); }
  bool running() const { return running_; }

 private:
  chat::SendHost& panel_;
  RunSend run_;
  std::deque<SendRequest> waiting_;
  bool running_ = false;
};

}  // namespace jihe::app

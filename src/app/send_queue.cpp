#include "app/send_queue.h"

namespace jihe::app {

namespace {

// The panel as the engine sees it, but with the row and the chat window of the moment the send
// was asked for.
class RequestHost final : public chat::SendHost {
 public:
  RequestHost(chat::SendHost& panel, const SendRequest& request) : panel_(panel), request_(request) {}
  bool Paused() const override { return panel_.Paused(); }
  std::optional<std::string> SelectedRowText(chat::PhraseListSource) const override { return request_.rowText; }
  platform::WindowId CurrentChatWindow() const override { return request_.chatWindow; }
  void ShowNotice(std::string_view message) override { panel_.ShowNotice(message); }
  std::optional<std::string> AskValue(std::string_view prompt) override { return panel_.AskValue(prompt); }

 private:
  chat::SendHost& panel_;
  const SendRequest& request_;
};

}  // namespace

SendQueue::Asked SendQueue::Ask(SendRequest request) {
  if (running_) {
    if (waiting_.size() >= kMaxWaitingSends) return Asked::Refused;
    waiting_.push_back(std::move(request));
    return Asked::Waiting;
  }
  running_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{running_};
  for (;;) {
    RequestHost host(panel_, request);
    run_(host, request);
    if (waiting_.empty()) break;
    request = std::move(waiting_.front());
    waiting_.pop_front();
  }
  return Asked::Sent;
}

}  // namespace jihe::app

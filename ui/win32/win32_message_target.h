#pragma once
// The workers reach the dialog by real window messages, with the ids of
// session/worker_messages.h. A sent message points at the sender's Message, which
// stays valid while the sender blocks; a posted one carries a heap copy that
// the receiving window owns.
#include "ui/win32/windows_api.h"

#include <atomic>
#include <memory>

#include "session/worker_messages.h"

namespace quilmarr {

// The dialog's range of worker messages: every id here goes to the
// controller's message table.
inline constexpr UINT kFirstWorkerMessage = WM_USER_BASE + 100;
inline constexpr UINT kLastWorkerMessage = WM_USER_BASE + 199;

[[nodiscard]] constexpr bool IsWorkerMessage(UINT id) noexcept {
  return id >= kFirstWorkerMessage && id <= kLastWorkerMessage;
}

class Win32MessageTarget final : public MessageTarget {
 public:
  // Set by the window's own thread; read by the workers' threads.
  void Bind(HWND window) noexcept { window_.store(window); }

  // SendMessageW: returns when the window's thread has handled the message,
  // or at once when the window no longer exists.
  void Send(const Message& message) override;
  // PostMessageW with an owned copy; freed here when the post fails.
  void Post(Message message) override;

 private:
  std::atomic<HWND> window_{nullptr};
};

// The receiving side, for the window procedure: the message carried by a
// worker message. A posted message is handed over to the caller (owned is set);
// a sent one is only borrowed (owned stays empty).
struct ReceivedMessage {
  const Message* message = nullptr;
  std::unique_ptr<Message> owned;
};
[[nodiscard]] ReceivedMessage ReceiveWorkerMessage(WPARAM wParam, LPARAM lParam);

// Frees the posted worker messages still queued for `window`: called when the
// window is destroyed, as the system would discard them with their copies.
void DiscardQueuedWorkerMessages(HWND window);

}  // namespace quilmarr

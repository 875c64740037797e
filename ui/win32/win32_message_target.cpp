#include "ui/win32/win32_message_target.h"

#include <utility>

namespace quilmarr {

namespace {
// wParam of a worker message: whether lParam owns its Message.
constexpr WPARAM kBorrowed = 0;
constexpr WPARAM kOwned = 1;
}  // namespace

void Win32MessageTarget::Send(const Message& message) {
  SendMessageW(window_.load(), message.id, kBorrowed, reinterpret_cast<LPARAM>(&message));
}

void Win32MessageTarget::Post(Message message) {
  auto copy = std::make_unique<Message>(std::move(message));
  if (PostMessageW(window_.load(), copy->id, kOwned, reinterpret_cast<LPARAM>(copy.get()))) {
    static_cast<void>(copy.release());  // the window's procedure owns it now
  }
}

ReceivedMessage ReceiveWorkerMessage(WPARAM wParam, LPARAM lParam) {
  ReceivedMessage received;
  auto* message = reinterpret_cast<Message*>(lParam);
  received.message = message;
  if (wParam == kOwned) {
    received.owned.reset(message);
  }
  return received;
}

void DiscardQueuedWorkerMessages(HWND window) {
  MSG queued;
  while (PeekMessageW(&queued, window, kFirstWorkerMessage, kLastWorkerMessage, PM_REMOVE)) {
    static_cast<void>(ReceiveWorkerMessage(queued.wParam, queued.lParam));
  }
}

}  // namespace quilmarr

#pragma once
// The dialog's window as the workers see it, keeping every message it got.
// It receives either on the sender's thread (Send and Post return once the
// message is kept and handled), or as a window's thread does: messages wait
// until PumpUntil, on the test's thread playing the user-interface thread,
// hands them on in order, and a Send returns only once its message is handled.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "session/message_queue.h"
#include "session/worker_messages.h"

namespace quilmarr::test {

// A message as it was received; the frame is copied, with the address it had.
struct ReceivedMessage {
  unsigned id = 0;
  std::vector<std::uint8_t> frame;
  const std::uint8_t* frameData = nullptr;
  std::u16string text;
  DeviceRun run;
  bool posted = false;
};

class RecordingTarget final : public MessageTarget {
 public:
  enum class Delivery { OnSendersThread, WhenPumped };
  using Handler = std::function<void(const Message&)>;

  explicit RecordingTarget(Delivery delivery = Delivery::OnSendersThread);

  // Runs for each message as it is handled: on the sender's thread under the
  // target's lock, or on the pumping thread. Set before any worker starts.
  void SetHandler(Handler handler);

  void Send(const Message& message) override;
  void Post(Message message) override;

  // WhenPumped: handles the waiting messages in order until `done` holds;
  // false when `timeout` passed first.
  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  // OnSendersThread: waits until `ready` holds for the messages handled so
  // far, evaluated under the lock the handler runs under.
  bool WaitFor(const std::function<bool(const std::vector<ReceivedMessage>&)>& ready,
               std::chrono::milliseconds timeout);
  bool WaitForCount(std::size_t count, std::chrono::milliseconds timeout);

  // The messages handled so far, in order.
  [[nodiscard]] std::vector<ReceivedMessage> Messages() const;
  [[nodiscard]] std::vector<unsigned> Ids() const;
  // The frames of the WM_CAPTURE_PACKET messages.
  [[nodiscard]] std::vector<std::vector<std::uint8_t>> Frames() const;
  [[nodiscard]] std::size_t Count(unsigned id) const;

 private:
  void Keep(const Message& message, bool posted);  // under the lock

  const Delivery delivery_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  Handler handler_;
  std::vector<ReceivedMessage> received_;
  MessageQueue queue_;  // WhenPumped: the messages waiting for PumpUntil
};

}  // namespace quilmarr::test

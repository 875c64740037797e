#pragma once
// Delivers the workers' messages to a handler on the thread of a Qt object.
#include <QObject>
#include <functional>

#include "session/worker_messages.h"

namespace quilmarr {

class QtMessageTarget final : public MessageTarget {
 public:
  using Handler = std::function<void(const Message&)>;

  // `receiver` decides the thread; queued calls to it die with it.
  explicit QtMessageTarget(QObject& receiver) noexcept : receiver_(receiver) {}
  // Set before any worker starts; called on the receiver's thread only.
  void SetHandler(Handler handler) { handler_ = std::move(handler); }

  // Blocks until the handler has run on the receiver's thread (runs it
  // directly when called on that thread).
  void Send(const Message& message) override;
  // Returns at once; messages are handled in posting order.
  void Post(Message message) override;

 private:
  void Deliver(const Message& message) const;

  QObject& receiver_;
  Handler handler_;
};

}  // namespace quilmarr

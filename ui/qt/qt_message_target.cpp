#include "ui/qt/qt_message_target.h"

#include <QMetaObject>
#include <QThread>
#include <utility>

namespace quilmarr {

void QtMessageTarget::Send(const Message& message) {
  if (QThread::currentThread() == receiver_.thread()) {
    Deliver(message);
    return;
  }
  // The frame span points into the sender's buffer, valid only while we block here.
  QMetaObject::invokeMethod(
      &receiver_, [this, &message] { Deliver(message); }, Qt::BlockingQueuedConnection);
}

void QtMessageTarget::Post(Message message) {
  QMetaObject::invokeMethod(
      &receiver_, [this, owned = std::move(message)] { Deliver(owned); }, Qt::QueuedConnection);
}

void QtMessageTarget::Deliver(const Message& message) const {
  if (handler_) {
    handler_(message);
  }
}

}  // namespace quilmarr

#include "ui/qt/termination_signals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace quilmarr {

TerminationSignals::TerminationSignals(std::function<void()> onEnd) : onEnd_(std::move(onEnd)) {
  // Non-blocking: a handler must never wait, and a full buffer already holds
  // a request.
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, sockets_) != 0) return;
  writeEnd_.store(sockets_[1]);
  notifier_ = new QSocketNotifier(sockets_[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { Drain(); });
  struct sigaction action {};
  action.sa_handler = &TerminationSignals::Handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // the event loop's own calls go on undisturbed
  sigaction(SIGTERM, &action, &previousTerm_);
  sigaction(SIGHUP, &action, &previousHup_);
}

TerminationSignals::~TerminationSignals() {
  if (sockets_[0] < 0) return;
  sigaction(SIGTERM, &previousTerm_, nullptr);
  sigaction(SIGHUP, &previousHup_, nullptr);
  writeEnd_.store(-1);
  delete notifier_;
  close(sockets_[0]);
  close(sockets_[1]);
}

void TerminationSignals::Handler(int signal) {
  const int savedErrno = errno;
  const char byte = static_cast<char>(signal);
  [[maybe_unused]] const ssize_t written = write(writeEnd_.load(), &byte, 1);
  errno = savedErrno;
}

void TerminationSignals::Drain() {
  char bytes[16];
  bool any = false;
  while (read(sockets_[0], bytes, sizeof(bytes)) > 0) any = true;
  // Several signals at once are one request.
  if (any && onEnd_) onEnd_();
}

}  // namespace quilmarr

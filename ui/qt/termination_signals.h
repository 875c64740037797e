#pragma once
// SIGTERM (a service manager's stop, a logout) and SIGHUP (a closed terminal)
// as a request to end the window: the handler, which may only do
// async-signal-safe things, writes one byte to a socket pair; a notifier reads
// it on the user-interface thread, where the window can act on it.
#include <QObject>
#include <atomic>
#include <csignal>
#include <functional>

class QSocketNotifier;

namespace quilmarr {

class TerminationSignals final : public QObject {
 public:
  // Installs the handlers; `onEnd` runs on this thread after each signal.
  // One instance at a time.
  explicit TerminationSignals(std::function<void()> onEnd);
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;
  // Puts the previous handlers back.
  ~TerminationSignals() override;

 private:
  static void Handler(int signal);
  void Drain();

  std::function<void()> onEnd_;
  int sockets_[2] = {-1, -1};  // [0] read on this thread, [1] written by the handler
  QSocketNotifier* notifier_ = nullptr;
  struct sigaction previousTerm_ {};
  struct sigaction previousHup_ {};
  static inline std::atomic<int> writeEnd_{-1};
};

}  // namespace quilmarr

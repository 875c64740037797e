#pragma once
// One owned, joinable worker thread that tells whether its procedure is still
// running; the destructor joins it.
#include <atomic>
#include <thread>
#include <utility>

namespace quilmarr {

class WorkerThread {
 public:
  WorkerThread() = default;
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;
  ~WorkerThread() { Join(); }

  // Joins an earlier, ended thread first, then runs `procedure` on a new one.
  // Precondition: !IsAlive(). Rethrows when the thread cannot be started.
  template <typename Procedure>
  void Start(Procedure procedure) {
    Join();
    alive_.store(true);
    try {
      thread_ = std::thread([this, run = std::move(procedure)]() mutable {
        run();
        alive_.store(false);
      });
    } catch (...) {
      alive_.store(false);
      throw;
    }
  }

  // True from Start until the procedure has returned.
  [[nodiscard]] bool IsAlive() const noexcept { return alive_.load(); }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::thread thread_;
  std::atomic<bool> alive_{false};
};

}  // namespace quilmarr

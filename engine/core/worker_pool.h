#pragma once
// A few helper threads that share one call's work with the thread making
// it. They are started and stopped by the owner (the filter starts them
// when streaming starts and joins them when it stops), never per call, and
// each Run spreads the indices of one job over the caller and whichever
// helpers wake in time: the caller never waits for a helper to start, only
// for helpers already inside the job to finish what they took. Helpers take
// no lock of their owner, so stopping never waits on a helper that waits on
// the one stopping.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

namespace ovl {

class WorkerPool {
 public:
  WorkerPool() = default;
  ~WorkerPool() { Stop(); }
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Starts `helpers` threads (after stopping any running). False, with no
  // helper left running, when a thread cannot be created.
  bool Start(int helpers);
  // Stops and joins the helpers. A Run in progress on another thread
  // finishes its job on that thread.
  void Stop();
  int Helpers() const;

  // Calls task(index, worker) once for every index in [0, count) and
  // returns when all have returned. worker is 0 on the calling thread and
  // 1..Helpers() on the helpers, so per-worker scratch can be indexed by
  // it; each worker takes its indices in ascending order. One Run at a time.
  template <class Task>
  void Run(std::size_t count, Task&& task) {
    using Callable = std::remove_reference_t<Task>;
    RunErased(count, [](void* context, std::size_t index, int worker) {
      (*static_cast<Callable*>(context))(index, worker);
    }, const_cast<void*>(static_cast<const void*>(&task)));
  }

 private:
  using Call = void (*)(void* context, std::size_t index, int worker);
  void RunErased(std::size_t count, Call call, void* context);
  void HelperLoop(int worker);
  void Work(int worker);

  mutable std::mutex mutex_;
  std::condition_variable wake_;  // a job opened, or stop
  std::condition_variable idle_;  // the last helper in a job left it
  std::vector<std::thread> threads_;
  int running_ = 0;  // helpers started and not told to stop
  bool stopping_ = false;
  // The current job; set under the mutex before it opens.
  std::uint64_t generation_ = 0;
  bool open_ = false;
  Call call_ = nullptr;
  void* context_ = nullptr;
  std::size_t count_ = 0;
  std::atomic<std::size_t> next_{0};
  int inside_ = 0;  // helpers working on the current job
};

}  // namespace ovl

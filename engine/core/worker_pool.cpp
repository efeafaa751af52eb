#include "engine/core/worker_pool.h"

#include <exception>
#include <utility>

namespace ovl {

bool WorkerPool::Start(int helpers) {
  Stop();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = false;
  }
  std::vector<std::thread> threads;
  try {
    for (int i = 1; i <= helpers; ++i) threads.emplace_back(&WorkerPool::HelperLoop, this, i);
  } catch (const std::exception&) {  // std::system_error, std::bad_alloc
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads) t.join();
    return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  threads_ = std::move(threads);
  running_ = static_cast<int>(threads_.size());
  return true;
}

void WorkerPool::Stop() {
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    running_ = 0;
    threads.swap(threads_);
  }
  wake_.notify_all();
  for (std::thread& t : threads) t.join();
}

int WorkerPool::Helpers() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return running_;
}

void WorkerPool::Work(int worker) {
  for (std::size_t i; (i = next_.fetch_add(1, std::memory_order_relaxed)) < count_;) call_(context_, i, worker);
}

void WorkerPool::RunErased(std::size_t count, Call call, void* context) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (running_ > 0 && count > 1) {
      call_ = call;
      context_ = context;
      count_ = count;
      next_.store(0, std::memory_order_relaxed);
      ++generation_;
      open_ = true;
    } else {
      lock.unlock();
      for (std::size_t i = 0; i < count; ++i) call(context, i, 0);
      return;
    }
  }
  wake_.notify_all();
  Work(0);
  std::unique_lock<std::mutex> lock(mutex_);
  open_ = false;  // helpers that wake from now on stay out
  idle_.wait(lock, [this] { return inside_ == 0; });
}

void WorkerPool::HelperLoop(int worker) {
  std::unique_lock<std::mutex> lock(mutex_);
  std::uint64_t seen = generation_;
  for (;;) {
    wake_.wait(lock, [&] { return stopping_ || (open_ && generation_ != seen); });
    if (stopping_) return;
    seen = generation_;
    ++inside_;
    lock.unlock();
    Work(worker);
    lock.lock();
    if (--inside_ == 0) idle_.notify_one();
  }
}

}  // namespace ovl

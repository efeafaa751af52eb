// The strip workers: every index of a job runs once, each worker takes its
// indices in ascending order, stopping never hangs a job in progress, and
// the number of workers follows the frame size, the cores and the cap.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/core/strip_workers.h"
#include "engine/core/worker_pool.h"

namespace ovl {
namespace {

// Fails and ends the test binary when `done` does not finish in time: a
// hang would otherwise stall the whole run.
void WithinSeconds(std::future<void>& done, int seconds, const char* what) {
  if (done.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
    ADD_FAILURE() << what << " did not finish within " << seconds << " s";
    std::_Exit(1);
  }
  done.get();
}

struct JobRecord {
  std::vector<std::atomic<int>> calls;
  std::mutex mutex;
  std::vector<std::vector<std::size_t>> byWorker;
  explicit JobRecord(std::size_t count, int workers) : calls(count), byWorker(static_cast<std::size_t>(workers)) {}
};

TEST(WorkerPool, EveryIndexRunsOnceAndEachWorkerGoesInOrder) {
  for (int helpers : {0, 1, 2, 3}) {
    WorkerPool pool;
    ASSERT_TRUE(pool.Start(helpers));
    ASSERT_EQ(helpers, pool.Helpers());
    for (std::size_t count : {0u, 1u, 2u, 7u, 64u, 1000u}) {
      for (int repeat = 0; repeat < 20; ++repeat) {
        JobRecord record(count, helpers + 1);
        bool outOfRange = false;
        pool.Run(count, [&](std::size_t index, int worker) {
          if (worker < 0 || worker > helpers) {
            outOfRange = true;
            return;
          }
          record.calls[index].fetch_add(1);
          std::lock_guard<std::mutex> lock(record.mutex);
          record.byWorker[static_cast<std::size_t>(worker)].push_back(index);
        });
        ASSERT_FALSE(outOfRange);
        for (std::size_t i = 0; i < count; ++i) {
          ASSERT_EQ(1, record.calls[i].load()) << "helpers " << helpers << " count " << count << " index " << i;
        }
        for (const auto& indices : record.byWorker) {
          for (std::size_t k = 1; k < indices.size(); ++k) ASSERT_LT(indices[k - 1], indices[k]);
        }
      }
    }
  }
}

TEST(WorkerPool, StoppedOrNeverStartedPoolRunsEverythingOnTheCaller) {
  WorkerPool pool;
  for (int round = 0; round < 3; ++round) {
    const std::thread::id caller = std::this_thread::get_id();
    int calls = 0;
    bool elsewhere = false;
    pool.Run(50, [&](std::size_t, int worker) {
      ++calls;
      elsewhere |= worker != 0 || std::this_thread::get_id() != caller;
    });
    EXPECT_EQ(50, calls);
    EXPECT_FALSE(elsewhere);
    // Started and stopped again, as the filter does from run to run.
    ASSERT_TRUE(pool.Start(2));
    pool.Stop();
    EXPECT_EQ(0, pool.Helpers());
  }
}

// Stop from another thread while a job is under way (and while helpers
// are inside it): the job still completes on its caller and Stop returns.
TEST(WorkerPool, StopDuringAJobNeitherHangsNorDropsWork) {
  for (int round = 0; round < 20; ++round) {
    WorkerPool pool;
    ASSERT_TRUE(pool.Start(3));
    std::atomic<int> calls{0};
    std::atomic<bool> started{false};
    auto job = std::async(std::launch::async, [&] {
      pool.Run(400, [&](std::size_t, int) {
        started = true;
        calls.fetch_add(1);
        std::this_thread::sleep_for(std::chrono::microseconds(50));
      });
    });
    while (!started) std::this_thread::yield();
    auto stop = std::async(std::launch::async, [&] { pool.Stop(); });
    WithinSeconds(stop, 30, "Stop during a job");
    WithinSeconds(job, 30, "the job being stopped");
    EXPECT_EQ(400, calls.load());
    EXPECT_EQ(0, pool.Helpers());
  }
}

TEST(StripWorkers, OneForSmallFramesThenUpToTheCoresAndTheCap) {
  EXPECT_EQ(1, ChooseStripWorkers(8, 640, 480, 0));   // 0.9 MB
  EXPECT_EQ(1, ChooseStripWorkers(8, 0, 0, 0));
  EXPECT_EQ(1, ChooseStripWorkers(0, 1920, 1080, 0));  // no core count known
  EXPECT_EQ(2, ChooseStripWorkers(2, 1920, 1080, 0));
  EXPECT_EQ(4, ChooseStripWorkers(4, 1920, 1080, 0));
  EXPECT_EQ(kMaxStripWorkers, ChooseStripWorkers(64, 3840, 2160, 0));
  EXPECT_EQ(1, ChooseStripWorkers(64, 3840, 2160, 1));
  EXPECT_EQ(3, ChooseStripWorkers(64, 3840, 2160, 3));
  EXPECT_EQ(2, ChooseStripWorkers(2, 3840, 2160, 5));  // the cap never adds threads
}

}  // namespace
}  // namespace ovl

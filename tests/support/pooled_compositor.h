#pragma once
// A compositor whose strips are shared by `workers` threads: the caller's
// and workers - 1 helpers of a pool of its own. `ready` says the pool and
// the worker count were taken.
#include "engine/core/frame_compositor.h"
#include "engine/core/worker_pool.h"

namespace ovl::testing {

struct PooledCompositor {
  WorkerPool pool;
  FrameCompositor compositor;
  bool ready = false;

  PooledCompositor(const PassKernels& kernels, int workers) : compositor(kernels) {
    ready = pool.Start(workers - 1) && compositor.SetWorkers(workers) == kOk;
    compositor.UsePool(&pool);
  }
};

}  // namespace ovl::testing

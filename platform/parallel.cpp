#include "platform/platform.h"

#if CVIMP_PLAIN_THREADS
#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>
#else
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>
#include <tbb/task_group.h>
#endif

namespace cvimp::platform {

void parallelFor(std::size_t count, const std::function<void(std::size_t)>& body) {
  if (count == 0) return;
  if (count == 1) {
    body(0);
    return;
  }
#if CVIMP_PLAIN_THREADS
  // Threads the race detector can follow; used by the thread-sanitizer build.
  std::atomic<std::size_t> nextIndex{0};
  auto worker = [&] {
    for (std::size_t i = nextIndex++; i < count; i = nextIndex++) body(i);
  };
  const std::size_t helpers = std::min<std::size_t>(count, std::max(2u, std::thread::hardware_concurrency())) - 1;
  std::vector<std::thread> threads;
  threads.reserve(helpers);
  for (std::size_t t = 0; t < helpers; ++t) threads.emplace_back(worker);
  worker();
  for (std::thread& thread : threads) thread.join();
#else
  tbb::parallel_for(std::size_t{0}, count, [&](std::size_t i) { body(i); });
#endif
}

#if CVIMP_PLAIN_THREADS
void isolated(const std::function<void()>& work) { work(); }
#else
void isolated(const std::function<void()>& work) { tbb::this_task_arena::isolate(work); }
#endif

#if CVIMP_PLAIN_THREADS
// A thread per task: the sanitizer build reads small texts only.
struct TaskGroup::Impl {
  std::vector<std::thread> threads;
};

void TaskGroup::run(std::function<void()> task) { impl_->threads.emplace_back(std::move(task)); }

void TaskGroup::wait() {
  for (std::thread& thread : impl_->threads) thread.join();
  impl_->threads.clear();
}
#else
struct TaskGroup::Impl {
  tbb::task_group group;
};

void TaskGroup::run(std::function<void()> task) { impl_->group.run(std::move(task)); }

void TaskGroup::wait() { impl_->group.wait(); }
#endif

TaskGroup::TaskGroup() : impl_(std::make_unique<Impl>()) {}

TaskGroup::~TaskGroup() { wait(); }

}  // namespace cvimp::platform

#pragma once
// The loader's parallel work: a loop over indices, every index once, the
// calling thread taking part and waiting for all (a single index runs on the
// calling thread); and a group of tasks started one by one while the caller
// goes on, waited for together.
#include <cstddef>
#include <functional>
#include <memory>

namespace cvimp {

void parallelFor(std::size_t count, const std::function<void(std::size_t)>& body);

class TaskGroup {
 public:
  TaskGroup();
  TaskGroup(const TaskGroup&) = delete;
  TaskGroup& operator=(const TaskGroup&) = delete;
  ~TaskGroup();  // waits

  // The task must not throw.
  void run(std::function<void()> task);
  void wait();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace cvimp

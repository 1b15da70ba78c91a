// Runs one piece of work per item on up to N threads and hands the results
// to the calling thread in the order of the items, so that what it builds of
// them is the same whatever N. Workers stay within 2N items of the next
// result taken, so that few results wait in memory.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// work(i) runs on a worker and must not throw; take(i, result) runs on the
// calling thread, for i = 0, 1, ... in turn.
template <class T>
void RunInOrder(std::size_t nItems, int nJobs, const std::function<T(std::size_t)>& work,
                const std::function<void(std::size_t, T&)>& take) {
  const std::size_t nThreads = std::clamp<std::size_t>(static_cast<std::size_t>(std::max(1, nJobs)), 1,
                                                       std::max<std::size_t>(1, nItems));
  if (nThreads == 1) {
    for (std::size_t i = 0; i < nItems; ++i) {
      T result = work(i);
      take(i, result);
    }
    return;
  }
  const std::size_t nWindow = 2 * nThreads;
  std::vector<std::optional<T>> results(nItems);
  std::size_t nNext = 0, nTaken = 0;
  std::mutex lock;
  std::condition_variable cv;
  auto worker = [&] {
    for (;;) {
      std::size_t i;
      {
        std::unique_lock<std::mutex> g(lock);
        cv.wait(g, [&] { return nNext >= nItems || nNext < nTaken + nWindow; });
        if (nNext >= nItems) return;
        i = nNext++;
      }
      T result = work(i);
      std::lock_guard<std::mutex> g(lock);
      results[i] = std::move(result);
      cv.notify_all();
    }
  };
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < nThreads; ++t) threads.emplace_back(worker);
  for (std::size_t i = 0; i < nItems; ++i) {
    std::optional<T> result;
    {
      std::unique_lock<std::mutex> g(lock);
      cv.wait(g, [&] { return results[i].has_value(); });
      result.swap(results[i]);
    }
    take(i, *result);
    std::lock_guard<std::mutex> g(lock);
    nTaken = i + 1;
    cv.notify_all();
  }
  for (std::thread& t : threads) t.join();
}

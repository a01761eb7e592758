#include "engine/core/worker_threads.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <thread>
#include <vector>

namespace qd {
namespace {

std::atomic<int> gThreads{0};

int DefaultThreads() {
  if (const char* env = std::getenv("QD_THREADS")) {
    const int n = std::atoi(env);
    if (n > 0) return n;
  }
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

}  // namespace

int WorkerThreads() {
  const int set = gThreads.load(std::memory_order_relaxed);
  if (set > 0) return set;
  static const int fallback = DefaultThreads();
  return fallback;
}

void SetWorkerThreads(int threads) {
  gThreads.store(std::max(0, threads), std::memory_order_relaxed);
}

void RunParts(int count, const std::function<void(int)>& part) {
  if (count <= 0) return;
  std::vector<std::exception_ptr> errors(static_cast<std::size_t>(count));
  const int threads = std::min(count, WorkerThreads());
  // Thread t runs parts t, t + threads, …
  auto run = [&](int t) {
    for (int i = t; i < count; i += threads) {
      try {
        part(i);
      } catch (...) {
        errors[static_cast<std::size_t>(i)] = std::current_exception();
      }
    }
  };
  std::vector<std::thread> helpers;
  for (int t = 1; t < threads; ++t) helpers.emplace_back(run, t);
  run(0);
  for (std::thread& h : helpers) h.join();
  for (const std::exception_ptr& e : errors)
    if (e) std::rethrow_exception(e);
}

}  // namespace qd

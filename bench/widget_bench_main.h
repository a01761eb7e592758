// The main of a benchmark that draws widgets: the rows argument, the offscreen
// platform unless another is chosen, and one application around the runs.
#pragma once

#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdint>
#include <cstdlib>
#include <functional>

#include "bench/bench_data.h"

namespace qd::bench {

//! Runs the registered benchmarks; `beforeQuit` lets go of widgets that must
//! not outlive the application.
inline int RunWidgetBenchmarks(int argc, char** argv, std::int64_t& rows,
                               const std::function<void()>& beforeQuit = {}) {
  TakeRowsArgument(argc, argv, rows);
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (beforeQuit) beforeQuit();
  return 0;
}

}  // namespace qd::bench

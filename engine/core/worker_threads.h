// The threads long computations may use, and running the parts of one on them.
// The number comes from a setting, else from QD_THREADS in the environment,
// else from the processor's cores. Callers split their work by its size
// alone, never by the number of threads, so that results do not depend on it.
#pragma once

#include <functional>

namespace qd {

//! Threads a computation may use: at least 1.
int WorkerThreads();
//! Sets the number of threads; 0 goes back to QD_THREADS or the cores.
void SetWorkerThreads(int threads);

//! Runs part(0) … part(count - 1), spread over up to WorkerThreads() threads
//! (the calling thread takes part 0). All parts run to their end; then the
//! exception of the lowest part that raised one is raised again.
void RunParts(int count, const std::function<void(int)>& part);

}  // namespace qd

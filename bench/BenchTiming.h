// Zentarix — MIT licence.
// In-process timing against memcpy: thread CPU time of a case, and of a copy of the same bytes after each iteration.
#pragma once
#include <benchmark/benchmark.h>
#include <gdiplus.h>

#include <cstring>
#include <ctime>

#include "zx/pixel_memory.h"

namespace zx::bench {

// Pixel memory from the library's allocator, filled so that its pages exist before timing.
struct Block {
  explicit Block(size_t bytes) : p(static_cast<uint8_t*>(zx::pixel_alloc(bytes))) { std::memset(p, 0x5A, bytes); }
  ~Block() { zx::pixel_free(p); }
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;
  uint8_t* p;
};

// CPU time of the calling thread: the machine is shared, and wall time would count other work.
inline double thread_seconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Runs body once per iteration, and after each a memcpy of `bytes` between two buffers kept for the
// whole run, so both see the same machine state; reports the ratio of their thread CPU times
// (x_memcpy) and the body's CPU milliseconds. One untimed call first gives the steady state.
template <class Body>
void timed(benchmark::State& state, size_t bytes, Body&& body) {
  Block from(bytes), to(bytes);
  double body_time = 0, copy_time = 0;
  body();
  for (auto _ : state) {
    const double t0 = thread_seconds();
    body();
    benchmark::ClobberMemory();
    const double t1 = thread_seconds();
    state.PauseTiming();
    std::memcpy(to.p, from.p, bytes);
    benchmark::ClobberMemory();
    copy_time += thread_seconds() - t1;
    state.ResumeTiming();
    body_time += t1 - t0;
  }
  state.counters["x_memcpy"] = body_time / copy_time;
  state.counters["cpu_ms"] = body_time * 1e3 / static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

// The benchmarks' main: GDI+ started around the registered cases.
inline int main_with_gdiplus(int argc, char** argv) {
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Gdiplus::GdiplusShutdown(token);
  return 0;
}

}  // namespace zx::bench

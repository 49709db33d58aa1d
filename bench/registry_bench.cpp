// Registry lookups at 10, 10,000 and 1,000,000 registered handles, with
// real heap addresses (aligned as OCI's are). Each size looks up the same
// number of handles, half registered and half not (a miss walks its whole
// chain), so the figure shows what the table's shape costs rather than how
// far the machine's caches reach. The target: the cost at 1,000,000 within
// twice the cost at 10.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "registry/registry.h"

namespace {

constexpr int kSample = 64;

struct Registered {
  std::vector<void *> blocks;
  std::vector<uint32_t> hits;
  std::vector<uint32_t> misses;
};

Registered register_handles(int64_t count) {
  Registered r;
  zorvan::registry_free_all();
  r.blocks.reserve(static_cast<size_t>(count) + kSample);
  for (int64_t i = 0; i < count; ++i) {
    void *block = std::malloc(48);
    r.blocks.push_back(block);
    zorvan::registry_add(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(block)), 4, 0);
  }
  int64_t step = count / kSample > 0 ? count / kSample : 1;
  for (int64_t i = 0; i < count && static_cast<int>(r.hits.size()) < kSample; i += step)
    r.hits.push_back(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(r.blocks[static_cast<size_t>(i)])));
  for (int i = 0; i < kSample; ++i) {
    void *block = std::malloc(48);  // live, never registered
    r.blocks.push_back(block);
    r.misses.push_back(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(block)));
  }
  return r;
}

void release(Registered &r) {
  zorvan::registry_free_all();
  for (void *block : r.blocks) std::free(block);
}

void BM_RegistryLookup(benchmark::State &state) {
  Registered r = register_handles(state.range(0));
  for (auto _ : state) {
    int32_t found = 0;
    for (uint32_t h : r.hits) found += zorvan::registry_type(h);
    for (uint32_t h : r.misses) found += zorvan::registry_type(h);
    benchmark::DoNotOptimize(found);
  }
  state.counters["ns_per_lookup"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(r.hits.size() + r.misses.size()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  release(r);
}
BENCHMARK(BM_RegistryLookup)->Arg(10)->Arg(10000)->Arg(1000000)->Unit(benchmark::kNanosecond);

// Prints the usual table, then the cost at each size against the cost at 10.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs) {
      auto it = run.counters.find("ns_per_lookup");
      if (it != run.counters.end()) per_size_[run.run_name.args] = it->second.value * 1e9;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    double base = per_size_.count("10") ? per_size_["10"] : 0;
    for (const char *size : {"10", "10000", "1000000"}) {
      if (!per_size_.count(size) || base <= 0) continue;
      std::printf("registry lookup at %8s handles: %6.2f ns, %.2fx the cost at 10\n", size,
                  per_size_[size], per_size_[size] / base);
    }
  }

 private:
  std::map<std::string, double> per_size_;
};

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

// frei0r instances on one and on two threads at once, each thread with its
// own instance as a host that filters two clips does: frames/s summed over
// the threads. WDI_FREI0R_PLUGIN in the environment picks another build of
// the plug-in to compare with.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

extern "C" {
#include <frei0r.h>
}

namespace {

struct Plugin {
  Plugin() {
    const char* path = std::getenv("WDI_FREI0R_PLUGIN");
    handle = dlopen(path != nullptr ? path : WDI_FREI0R_PLUGIN, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return;
    init = reinterpret_cast<decltype(init)>(dlsym(handle, "f0r_init"));
    construct = reinterpret_cast<decltype(construct)>(dlsym(handle, "f0r_construct"));
    destruct = reinterpret_cast<decltype(destruct)>(dlsym(handle, "f0r_destruct"));
    update = reinterpret_cast<decltype(update)>(dlsym(handle, "f0r_update"));
    if (init != nullptr) init();
  }
  bool ok() const { return construct != nullptr && destruct != nullptr && update != nullptr; }
  void* handle = nullptr;
  decltype(&f0r_init) init = nullptr;
  decltype(&f0r_construct) construct = nullptr;
  decltype(&f0r_destruct) destruct = nullptr;
  decltype(&f0r_update) update = nullptr;
};

Plugin& plugin() {
  static Plugin p;
  return p;
}

void BM_Frei0rInstances(benchmark::State& state) {
  Plugin& p = plugin();
  if (!p.ok()) {
    state.SkipWithError("the frei0r plug-in cannot be loaded");
    return;
  }
  const unsigned w = 720, h = 576;
  // Moving bars over noise, different between the fields: combs everywhere.
  std::vector<uint32_t> in(size_t{w} * h), out(in.size());
  std::mt19937 rng(1);
  for (unsigned y = 0; y < h; ++y) {
    for (unsigned x = 0; x < w; ++x) {
      const bool bar = ((x + 6 * (y & 1)) / 9) % 2 == 0;
      const uint32_t v = bar ? 200 : 40 + (rng() & 31);
      in[size_t{y} * w + x] = 0xFF000000u | v << 16 | v << 8 | v;
    }
  }
  f0r_instance_t instance = p.construct(w, h);
  for (auto _ : state) {
    p.update(instance, 0.0, in.data(), out.data());
    benchmark::DoNotOptimize(out.data());
  }
  p.destruct(instance);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Frei0rInstances)->Threads(1)->Threads(2)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

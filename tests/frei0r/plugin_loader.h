// The built wdeinterlace.so, loaded as a frei0r host loads it.
#pragma once
#include <dlfcn.h>

extern "C" {
#include <frei0r.h>
}

namespace wdi::test {

struct Frei0rPlugin {
  Frei0rPlugin() {
    handle = dlopen(WDI_FREI0R_PLUGIN, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return;
    load(init, "f0r_init");
    load(deinit, "f0r_deinit");
    load(pluginInfo, "f0r_get_plugin_info");
    load(paramInfo, "f0r_get_param_info");
    load(construct, "f0r_construct");
    load(destruct, "f0r_destruct");
    load(setParam, "f0r_set_param_value");
    load(getParam, "f0r_get_param_value");
    load(update, "f0r_update");
    if (ok) init();
  }
  ~Frei0rPlugin() {
    if (ok) deinit();
    if (handle != nullptr) dlclose(handle);
  }
  Frei0rPlugin(const Frei0rPlugin&) = delete;
  Frei0rPlugin& operator=(const Frei0rPlugin&) = delete;

  template <typename F>
  void load(F*& fn, const char* name) {
    fn = reinterpret_cast<F*>(dlsym(handle, name));
    if (fn == nullptr) ok = false;
  }

  void* handle = nullptr;
  bool ok = true;
  decltype(f0r_init)* init = nullptr;
  decltype(f0r_deinit)* deinit = nullptr;
  decltype(f0r_get_plugin_info)* pluginInfo = nullptr;
  decltype(f0r_get_param_info)* paramInfo = nullptr;
  decltype(f0r_construct)* construct = nullptr;
  decltype(f0r_destruct)* destruct = nullptr;
  decltype(f0r_set_param_value)* setParam = nullptr;
  decltype(f0r_get_param_value)* getParam = nullptr;
  decltype(f0r_update)* update = nullptr;
};

// The one loaded plug-in of the test program, as in a host process.
inline Frei0rPlugin& plugin() {
  static Frei0rPlugin p;
  return p;
}

}  // namespace wdi::test

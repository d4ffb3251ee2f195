// Writes the frames that the native build produces for every stream scenario
// into a directory, for comparison with the module's under Wine.
#include <cstdio>
#include <string>

#include "frame_scenarios.h"
#include "plugin/vf_action.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  for (const wdi::scenario::Scenario& s : wdi::scenario::AllScenarios()) {
    const wdi::scenario::StreamResult r = wdi::scenario::RunScenario(&vfAction, s);
    const std::string path = dir + "/" + s.name + ".bgr";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr || std::fwrite(r.output.data(), 1, r.output.size(), f) != r.output.size()) {
      std::fprintf(stderr, "%s: cannot write\n", path.c_str());
      if (f != nullptr) std::fclose(f);
      return 1;
    }
    std::fclose(f);
  }
  return 0;
}

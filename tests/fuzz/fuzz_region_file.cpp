// Region file reader: any bytes as a .rect file. Whatever loads must save and
// load back to the same rectangles; a refused file leaves the region as it was.
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "region/rect_list.h"
#include "support/test_rect.h"

namespace {

using wdi::test::Rect;
using wdi::test::rectsOf;

// What a save keeps: of entries with the same four edges only the last, at
// its own place.
std::vector<Rect> savedForm(const std::vector<Rect>& rects) {
  std::vector<Rect> kept;
  std::set<std::array<int32_t, 4>> seen;
  for (auto it = rects.rbegin(); it != rects.rend(); ++it) {
    if (seen.insert({it->left, it->top, it->right, it->bottom}).second) kept.push_back(*it);
  }
  return {kept.rbegin(), kept.rend()};
}

void check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "region file fuzz: %s\n", what);
  std::abort();
}

std::string tempPath(const char* tag) {
  // Memory-backed when possible: saving syncs the file to disk.
  static const std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return dir + "/wdi_fuzz_region_" + std::to_string(getpid()) + "_" + tag + ".rect";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string input = tempPath("in");
  static const std::string saved = tempPath("saved");
  // The two files go when the process ends normally.
  static const struct Cleanup {
    ~Cleanup() {
      std::remove(input.c_str());
      std::remove(saved.c_str());
    }
  } cleanup;
  FILE* f = std::fopen(input.c_str(), "wb");
  if (f == nullptr) return 0;
  if (size != 0) std::fwrite(data, 1, size, f);
  std::fclose(f);

  // A region that a refused load must leave alone, ids included.
  wdi::CRectList list;
  list.AddRect(true, 1, 2, 30, 40);
  list.AddRect(false, 0, 0, 1, 0);
  const std::vector<Rect> before = rectsOf(list);
  if (list.LoadFromFile(input.c_str()) != 0) {
    check(rectsOf(list) == before, "a refused load changed the region");
    check(list.lastId == 2 && list.entries.front().id == 1 && list.entries.back().id == 2,
          "a refused load changed the ids");
    return 0;
  }
  const std::vector<Rect> loaded = rectsOf(list);
  int32_t id = 0;
  for (const wdi::RectEntry& e : list.entries) check(e.id == ++id, "loaded ids are not 1, 2, ...");

  std::remove(saved.c_str());
  check(list.SaveToFile(saved.c_str()) == 0, "save failed");
  if (loaded.empty()) {
    check(access(saved.c_str(), F_OK) != 0, "an empty region wrote a file");
    return 0;
  }
  wdi::CRectList again;
  check(again.LoadFromFile(saved.c_str()) == 0, "the saved file does not load");
  check(rectsOf(again) == savedForm(loaded), "the reload differs from what was saved");
  return 0;
}

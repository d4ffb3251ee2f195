// The processing region: an ordered list of include and exclude rectangles.
// A pixel takes the type of the last rectangle that contains it; a pixel in
// no rectangle is processed.
#pragma once
#include <cstdint>
#include <list>
#include <string>

namespace wdi {

// One rectangle; all four edges are inclusive, in luma pixels from the
// frame's top-left corner.
struct RectEntry {
  int32_t id;    // 1 or more, given by AddRect
  bool include;  // true: pixels inside are processed
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

class CRectList {
 public:
  // Builds an empty list in a movable global memory block; null when the
  // memory is refused. Deleting the list gives the block back.
  static CRectList* Create();

  CRectList() = default;
  virtual ~CRectList();
  CRectList(const CRectList&) = delete;
  CRectList& operator=(const CRectList&) = delete;

  // Appends the rectangle and returns its id, or -1 when it is refused
  // (negative or inverted edges, a single pixel, no memory).
  int32_t AddRect(bool include, int32_t left, int32_t top, int32_t right, int32_t bottom);
  // Removes the first entry from the front with this id; nothing if none.
  void DeleteRect(int32_t id);
  // 1 when the pixel at column x, row y is processed, else 0.
  int32_t IsProcessed(int32_t x, int32_t y) const;

  // Region file (private-profile text, one section per rectangle).
  // 0 on success, -1 on failure; a failed load keeps the entries.
  int32_t SaveToFile(const char* path);
  int32_t LoadFromFile(const char* path);

  // Lives in global memory (Create) or as a plain object; never on the heap.
  static void* operator new(size_t bytes) = delete;
  static void* operator new(size_t, void* place) { return place; }
  static void operator delete(void* address);
  static void operator delete(void*, void*) {}

  // Front to back; visited by the list box and the file writer.
  std::list<RectEntry> entries;
  // The last id given; 0 when built.
  int32_t lastId = 0;
};

// The list box line of an entry: "3. [ (0,0) - (719,575) ] +".
std::string EntryText(const RectEntry& entry);

// The process-wide region; created by the first vfAction call, never
// destroyed. Null until then, or when its memory was refused.
extern CRectList* regionList;

}  // namespace wdi

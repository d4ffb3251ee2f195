#include "region/rect_list.h"

#include <cstdio>
#include <new>

#include "platform/global_memory.h"

namespace wdi {

CRectList* regionList = nullptr;

CRectList* CRectList::Create() {
  void* block = globalAllocLocked(sizeof(CRectList));
  if (block == nullptr) return nullptr;
  return new (block) CRectList();
}

CRectList::~CRectList() = default;

void CRectList::operator delete(void* address) { globalFreeLocked(address); }

int32_t CRectList::AddRect(bool include, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (left < 0 || right < left) return -1;
  if (top < 0 || bottom < top) return -1;
  if (left == right && top == bottom) return -1;
  ++lastId;
  try {
    entries.push_back(RectEntry{lastId, include, left, top, right, bottom});
  } catch (const std::bad_alloc&) {
    --lastId;
    return -1;
  }
  return lastId;
}

void CRectList::DeleteRect(int32_t id) {
  for (auto it = entries.begin(); it != entries.end(); ++it) {
    if (it->id == id) {
      entries.erase(it);
      return;
    }
  }
}

int32_t CRectList::IsProcessed(int32_t x, int32_t y) const {
  int32_t processed = 1;
  for (const RectEntry& e : entries) {
    if (e.left <= x && x <= e.right && e.top <= y && y <= e.bottom) processed = e.include ? 1 : 0;
  }
  return processed;
}

std::string EntryText(const RectEntry& entry) {
  // Five numbers of at most 11 characters each and the fixed text fit easily.
  char line[96];
  std::snprintf(line, sizeof line, "%d. [ (%d,%d) - (%d,%d) ] %s", entry.id, entry.left, entry.top,
                entry.right, entry.bottom, entry.include ? "+" : "-");
  return line;
}

}  // namespace wdi

// The tests' one rectangle type: what a region entry holds apart from its id, comparable
// and printable, and the rectangles of a list in list order.
#pragma once
#include <cstdint>
#include <ostream>
#include <vector>

#include "region/rect_list.h"

namespace wdi::test {

struct Rect {
  bool include;
  int32_t left, top, right, bottom;
  bool operator==(const Rect& o) const {
    return include == o.include && left == o.left && top == o.top && right == o.right &&
           bottom == o.bottom;
  }
  bool operator!=(const Rect& o) const { return !(*this == o); }
};

inline void PrintTo(const Rect& r, std::ostream* os) {
  *os << (r.include ? '+' : '-') << r.left << ',' << r.top << ',' << r.right << ',' << r.bottom;
}

inline std::vector<Rect> rectsOf(const CRectList& list) {
  std::vector<Rect> out;
  for (const RectEntry& e : list.entries)
    out.push_back({e.include, e.left, e.top, e.right, e.bottom});
  return out;
}

}  // namespace wdi::test

#include "pipeline/chroma_fields.h"

#include <gtest/gtest.h>

#include <vector>

namespace wdi {
namespace {

// Rows 0..4 of one chroma column: fields interleave, so output row 0 (top
// field) averages rows 0 and 2, row 1 (bottom field) rows 1 and 3, row 2
// row 4 alone.
TEST(ChromaFields, RowsAverageOnlyWithinTheirField) {
  const std::vector<uint8_t> src = {10, 200, 21, 100, 7};  // 1 column (4:2:2 of width 1), 5 rows
  std::vector<uint8_t> dst(3, 0);
  ChromaToFields420(src.data(), 1, ChromaColumns::Same, 1, 5, dst.data(), 1);
  EXPECT_EQ(dst, (std::vector<uint8_t>{16, 150, 7}));  // (10+21+1)>>1, (200+100+1)>>1, 7
}

TEST(ChromaFields, ColumnsOf444And411) {
  // Width 3, height 2: 4:4:4 pairs (0,1) and (2 alone); rows 0 and 1 are different fields,
  // so the single output row is row 0 alone.
  const std::vector<uint8_t> full = {1, 4, 9, 250, 250, 250};
  std::vector<uint8_t> dst(2, 0);
  ChromaToFields420(full.data(), 3, ChromaColumns::Pairs, 3, 2, dst.data(), 2);
  EXPECT_EQ(dst, (std::vector<uint8_t>{3, 9}));
  // Width 6: 4:1:1 has 2 columns, each used twice; height 3 gives rows {0,2} and {1}.
  const std::vector<uint8_t> quarter = {40, 80, 0, 0, 61, 255};
  std::vector<uint8_t> out(6, 0);
  ChromaToFields420(quarter.data(), 2, ChromaColumns::Halves, 6, 3, out.data(), 3);
  EXPECT_EQ(out, (std::vector<uint8_t>{51, 51, 168, 0, 0, 0}));
}

}  // namespace
}  // namespace wdi

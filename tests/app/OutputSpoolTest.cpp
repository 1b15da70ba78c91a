// The spool hands back every byte in order, whatever part of it went to
// memory (copied or kept as whole blocks) and whatever part to its file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "OutputSpool.h"

namespace {

std::string Held(const COutputSpool& spool) {
  std::string out;
  EXPECT_EQ(spool.CopyOut([&](const char* data, size_t size) {
    out.append(data, size);
    return true;
  }), 0);
  return out;
}

TEST(OutputSpool, HandsBackEveryByteInOrder) {
  // Sizes of the appends, taken alternately as copies and as whole blocks.
  const std::vector<size_t> sizes = {0, 1, 7, 65536, 3, (size_t{1} << 20) + 5, 11, 2 << 20, 1};
  for (size_t cap : {size_t{0}, size_t{5}, size_t{70000}, size_t{3} << 20, size_t{64} << 20}) {
    SCOPED_TRACE(cap);
    COutputSpool spool(cap);
    std::string expected;
    for (size_t i = 0; i < sizes.size(); ++i) {
      std::string part(sizes[i], '\0');
      for (size_t k = 0; k < part.size(); ++k) part[k] = static_cast<char>('a' + (i * 7 + k) % 26);
      expected += part;
      ASSERT_EQ(i % 2 ? spool.AppendBlock(part) : spool.Append(part.data(), part.size()), 0);
      if (i % 2) {
        EXPECT_TRUE(part.empty());
      }
    }
    EXPECT_EQ(spool.Size(), expected.size());
    EXPECT_EQ(Held(spool), expected);
    spool.Clear();
    EXPECT_EQ(Held(spool), "");
  }
}

}  // namespace

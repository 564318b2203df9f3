// Inputs the fuzzers once stumbled over, each with the outcome it must keep.
// The files in tests/data/regress/<target>/ end with the target's mode byte,
// as the fuzzer saw them; the replay drivers run them through the fuzz
// targets' full checks as well.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "korvane/korvane.h"
#include "support/temp_dir.hpp"

namespace kvn {
namespace {

struct CombineRegression {
  const char* file;  // under tests/data/regress/combine/
  const char* what;  // what the input showed
  int result;
  std::optional<std::int32_t> image_size;  // what comes back through pshv, if anything
};

const CombineRegression kCombine[] = {
    // A one-design container is delivered as split, and a split delivers only
    // whole designs: an empty one is refused, with nothing handed out.
    {"one_empty_design", "a one-design container whose design has 0 bytes", -1, std::nullopt},
};

TEST(Regressions, CombineInputsKeepTheirOutcome) {
  for (const auto& c : kCombine) {
    SCOPED_TRACE(std::string(c.file) + ": " + c.what);
    auto bytes =
        test::read_bytes(std::string(KORVANE_SOURCE_DIR) + "/tests/data/regress/combine/" + c.file);
    ASSERT_FALSE(bytes.empty());
    bytes.pop_back();  // the fuzz target's mode byte
    unsigned char* pshv = nullptr;
    std::int32_t sshv = -1;
    EXPECT_EQ(korvane(nullptr, &pshv, &sshv, nullptr, bytes.data(),
                      static_cast<std::int32_t>(bytes.size()), KORVANE_COMBINE, nullptr),
              c.result)
        << korvane_last_error();
    if (c.image_size) {
      EXPECT_NE(pshv, nullptr);
      EXPECT_EQ(sshv, *c.image_size);
    } else {
      EXPECT_EQ(pshv, nullptr);
    }
    std::free(pshv);
  }
}

}  // namespace
}  // namespace kvn

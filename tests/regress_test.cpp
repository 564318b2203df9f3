// Inputs the fuzzers once stumbled over, each with the outcome it must keep.
// The files in tests/data/regress/<target>/ end with the target's mode byte,
// as the fuzzer saw them; the replay drivers run them through the fuzz
// targets' full checks as well.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "convert/fitting.hpp"
#include "convert/pattern_write.hpp"
#include "formats/format_table.hpp"
#include "formats/pattern_read.hpp"
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

// Designs a reader once got wrong, each read as its fuzz target read it:
// refused with its code, or read and written to a file that the output
// check finds holds the same design.
struct PatternRegression {
  const char* file;  // under tests/data/regress/
  const char* what;
  formats::ContentKind read_as, written_as;
  bool mode_byte;                    // ends with the fuzz target's mode byte
  std::optional<ErrorCode> refused;  // nothing: read and written back whole
};

const PatternRegression kPatterns[] = {
    {"pes_pec/step_minus_2048", "a PEC step of -2048, the longest 12 bits hold",
     formats::ContentKind::kPec, formats::ContentKind::kPes, false, std::nullopt},
    {"jef/y_byte_minus_128", "a JEF y step of -128", formats::ContentKind::kJef,
     formats::ContentKind::kJef, false, std::nullopt},
    {"shv_read/stitch_across_the_16_bit_wrap", "a stitch between positions 32768 or more apart",
     formats::ContentKind::kHucDesign, formats::ContentKind::kShvDesign, true, std::nullopt},
};

TEST(Regressions, PatternInputsKeepTheirOutcome) {
  for (const auto& c : kPatterns) {
    SCOPED_TRACE(std::string(c.file) + ": " + c.what);
    auto bytes =
        test::read_bytes(std::string(KORVANE_SOURCE_DIR) + "/tests/data/regress/" + c.file);
    ASSERT_FALSE(bytes.empty());
    if (c.mode_byte) bytes.pop_back();
    const auto p = formats::read_pattern(formats::ByteReader(bytes, c.file), c.read_as);
    ASSERT_EQ(p.has_value(), !c.refused) << (p ? "" : p.error().message());
    if (!p) {
      EXPECT_EQ(p.error().code, *c.refused);
      continue;
    }
    const auto out = convert::write_pattern(*p, c.written_as, "out");
    ASSERT_TRUE(out) << out.error().message();
    const auto held = convert::check_written(*out, *p, *formats::format_of(c.written_as), "out");
    EXPECT_TRUE(held) << (held ? "" : held.error().message());
  }
}

}  // namespace
}  // namespace kvn

// The page's C interface natively, so the sanitizers see it: what it hands
// out must be what the library's own entries make, and no input may crash it
// or leave a failure looking like a success.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "korvane/korvane.h"
#include "korvane/korvane.hpp"
#include "support/design_builders.hpp"
#include "support/temp_dir.hpp"
#include "web/web_api.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using kvn::test::cat;
using kvn::test::HucBuilder;
using kvn::test::long_move;
using kvn::test::raw;
using kvn::test::rec;

Bytes garden() { return kvn::test::read_bytes(KORVANE_SOURCE_DIR "/examples/garden.dhv"); }

struct Out {
  std::string name;
  Bytes bytes;
};

std::vector<Out> outputs() {
  std::vector<Out> out;
  for (std::int32_t i = 0; i < kvw_result_count(); ++i) {
    const auto* d = kvw_result_data(i);
    out.push_back({kvw_result_name(i), Bytes(d, d + kvw_result_size(i))});
  }
  return out;
}

std::int32_t size_of(const Bytes& b) { return static_cast<std::int32_t>(b.size()); }

TEST(WebApi, SplitAndCombineHandOutWhatTheLibraryMakes) {
  const Bytes dhv = garden();
  ASSERT_GT(dhv.size(), 1000u);
  ASSERT_EQ(kvw_split("garden.dhv", dhv.data(), size_of(dhv)), 0) << kvw_error();
  const auto split = outputs();
  void* list = nullptr;
  unsigned char* none = nullptr;
  ASSERT_EQ(korvane(nullptr, &none, nullptr, "garden.dhv", dhv.data(), size_of(dhv), 0, &list), 0);
  const auto* designs = static_cast<pbcb_list_t*>(list);
  ASSERT_EQ(split.size(), designs->count);
  for (std::size_t i = 0; i < split.size(); ++i) {
    EXPECT_EQ(split[i].name, "garden00" + std::to_string(i + 1) + ".shv");
    EXPECT_EQ(split[i].bytes,
              Bytes(designs->entry[i].pb, designs->entry[i].pb + designs->entry[i].cb));
  }
  korvane_free_design_list(list);

  ASSERT_EQ(kvw_combine("garden.dhv", dhv.data(), size_of(dhv)), 0) << kvw_error();
  const auto combined = outputs();
  unsigned char* shv = nullptr;
  std::int32_t sshv = 0;
  ASSERT_EQ(korvane(nullptr, &shv, &sshv, "garden.dhv", dhv.data(), size_of(dhv), KORVANE_COMBINE,
                    nullptr),
            0);
  ASSERT_EQ(combined.size(), 1u);
  EXPECT_EQ(combined[0].name, "garden.shv");
  EXPECT_EQ(combined[0].bytes, Bytes(shv, shv + sshv));
  std::free(shv);
}

// The page's Convert to SHV is the program's --convert, for a HUC design too.
TEST(WebApi, HucConvertsAsTheProgramConverts) {
  const Bytes huc =
      HucBuilder{}
          .extents(40, 30, -5, -6)
          .colour(3, cat({rec(5, 5), rec(-9, 2)}))
          .colour(7, cat({long_move(300, -40), rec(20, -4), raw(0x80, 0x03), rec(-30, 9)}))
          .bytes();
  kvn::test::ScopedTempDir dir;
  const auto in = dir.file("rose.huc");
  kvn::test::write_bytes(in, huc);
  kvn::Invocation run(kvn::Conversion::kConvert, {in});
  ASSERT_TRUE(run.refusals().empty());
  ASSERT_TRUE(run.convert(0).has_value());
  const Bytes want = kvn::test::read_bytes(dir.file("rose.shv"));
  // --huc writes the same bytes: a HUC design's stream goes over unchanged.
  std::filesystem::remove(dir.file("rose.shv"));
  kvn::Invocation huc_run(kvn::Conversion::kHuc, {in});
  ASSERT_TRUE(huc_run.refusals().empty());
  ASSERT_TRUE(huc_run.convert(0).has_value());
  EXPECT_EQ(kvn::test::read_bytes(dir.file("rose.shv")), want);

  ASSERT_EQ(kvw_convert(in.c_str(), huc.data(), size_of(huc), "shv", 0), 0) << kvw_error();
  const auto out = outputs();
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].name, dir.file("rose.shv"));
  EXPECT_EQ(out[0].bytes, want);
  EXPECT_EQ(kvw_recognise(out[0].bytes.data(), size_of(out[0].bytes)), 2);  // an SHV design
  EXPECT_NE(kvw_convert("rose.huc", huc.data(), size_of(huc), "nonsense", 0), 0);
  EXPECT_EQ(kvw_error_code(), 27);  // kBadArgument
}

// Every cut and many flipped bytes of the example, through every entry: a
// failure always has its message and no outputs, a success no message, and a
// picture exactly width x height RGBA pixels.
TEST(WebApi, DamagedInputsFailCleanlyEverywhere) {
  const Bytes dhv = garden();
  std::vector<Bytes> inputs;
  for (std::size_t len = 0; len <= dhv.size(); len += len < 300 ? 1 : 97)
    inputs.emplace_back(dhv.begin(), dhv.begin() + static_cast<std::ptrdiff_t>(len));
  for (std::size_t at = 0; at < dhv.size(); at += 53) {
    Bytes b = dhv;
    b[at] = static_cast<std::uint8_t>(b[at] ^ (0x11 * (at % 15 + 1)));
    inputs.push_back(std::move(b));
  }
  int failed = 0;
  for (const auto& in : inputs) {
    const std::int32_t n = size_of(in);
    for (int entry = 0; entry < 5; ++entry) {
      int r = 0;
      switch (entry) {
        case 0:
          r = kvw_split("g.dhv", in.data(), n);
          break;
        case 1:
          r = kvw_combine("g.dhv", in.data(), n);
          break;
        case 2:
          r = kvw_picture("g.dhv", in.data(), n, -1);
          break;
        case 3:
          r = kvw_picture("g.dhv", in.data(), n, 1);
          break;
        default:
          r = kvw_info("g.dhv", in.data(), n);
          break;
      }
      const std::string error = kvw_error();
      SCOPED_TRACE("entry " + std::to_string(entry) + ", " + std::to_string(n) + " bytes");
      EXPECT_EQ(r != 0, !error.empty());
      if (r != 0) {
        ++failed;
        EXPECT_EQ(error.rfind("g.dhv: ", 0), 0u) << error;
        // --info still says why, in its document.
        EXPECT_EQ(kvw_result_count(), entry == 4 ? 1 : 0);
      } else if (entry == 2 || entry == 3) {
        ASSERT_EQ(kvw_result_count(), 1);
        EXPECT_GE(kvw_picture_width(), 1u);
        EXPECT_EQ(std::size_t(kvw_result_size(0)),
                  std::size_t{kvw_picture_width()} * kvw_picture_height() * 4);
      }
    }
  }
  EXPECT_GT(failed, 100);
  kvw_clear();
}

}  // namespace

namespace {

// An index with no output is refused with the page's error code, never an
// abort; the outputs stay readable afterwards.
TEST(WebApi, RefusesIndicesWithNoOutput) {
  const Bytes dhv = garden();
  ASSERT_EQ(kvw_split("garden.dhv", dhv.data(), size_of(dhv)), 0) << kvw_error();
  const std::int32_t count = kvw_result_count();
  ASSERT_GT(count, 0);
  for (const std::int32_t i : {count, count + 1, -1, INT32_MIN, INT32_MAX}) {
    SCOPED_TRACE(i);
    EXPECT_EQ(kvw_result_name(i), nullptr);
    EXPECT_EQ(kvw_result_data(i), nullptr);
    EXPECT_EQ(kvw_result_size(i), -1);
    EXPECT_EQ(kvw_error_code(), 27);  // kBadArgument
    EXPECT_NE(std::string(kvw_error()).find("no output number"), std::string::npos);
  }
  EXPECT_EQ(outputs().size(), static_cast<std::size_t>(count));
  kvw_clear();
  EXPECT_EQ(kvw_result_name(0), nullptr);
  EXPECT_EQ(kvw_error_code(), 27);
}

// Other callers of the module may pass what the page never does: each misuse
// fails in words, with the bad-argument code and nothing handed out.
TEST(WebApi, RefusesMisuseInWordsWithoutCrashing) {
  const Bytes dhv = garden();
  const std::uint8_t* p = dhv.data();
  const std::int32_t n = size_of(dhv);
  const char* f = "garden.dhv";
  const struct {
    const char* call;
    int (*run)(const char*, const std::uint8_t*, std::int32_t);
    const char* file;
    const std::uint8_t* data;
    std::int32_t size;
    const char* says;
  } cases[] = {
      {"info", [](auto a, auto b, auto c) { return kvw_info(a, b, c); }, nullptr, p, n,
       "no file name"},
      {"split", [](auto a, auto b, auto c) { return kvw_split(a, b, c); }, nullptr, p, n,
       "no file name"},
      {"combine", [](auto a, auto b, auto c) { return kvw_combine(a, b, c); }, f, nullptr, 100,
       "no bytes were given"},
      {"split", [](auto a, auto b, auto c) { return kvw_split(a, b, c); }, f, p, -5,
       "a size of -5"},
      {"convert", [](auto a, auto b, auto c) { return kvw_convert(a, b, c, "dst", 0); }, nullptr, p,
       n, "no file name"},
      {"convert", [](auto a, auto b, auto c) { return kvw_convert(a, b, c, nullptr, 1); }, f, p, n,
       "no format was named"},
      {"picture", [](auto a, auto b, auto c) { return kvw_picture(a, b, c, 0); }, nullptr, p, n,
       "no file name"},
      {"picture", [](auto a, auto b, auto c) { return kvw_picture(a, b, c, INT32_MAX); }, f, p, n,
       "no design number 2147483648"},
      {"picture", [](auto a, auto b, auto c) { return kvw_picture(a, b, c, INT32_MIN); }, f, p, n,
       "no design number -2147483647"},
      {"realistic", [](auto a, auto b, auto c) { return kvw_realistic(a, b, c, INT32_MIN); }, f, p,
       n, "no design number -2147483647"},
      {"worksheet", [](auto a, auto b, auto c) { return kvw_worksheet(a, b, c); }, nullptr, p, n,
       "no file name"},
      {"turned", [](auto a, auto b, auto c) { return kvw_convert_turned(a, b, c, "dst", 1, "45"); },
       f, p, n, "90, 180, 270 or fit, not 45"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.call) + " " + c.says);
    EXPECT_EQ(c.run(c.file, c.data, c.size), -1);
    EXPECT_EQ(kvw_error_code(), 27);  // kBadArgument
    EXPECT_NE(std::string(kvw_error()).find(c.says), std::string::npos) << kvw_error();
    EXPECT_EQ(kvw_result_count(), 0);
  }
  // Still usable afterwards.
  EXPECT_EQ(kvw_split(f, p, n), 0) << kvw_error();
  kvw_clear();
}

}  // namespace

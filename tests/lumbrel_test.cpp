#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "formats/huc_layout.hpp"
#include "formats/shv_design.hpp"
#include "formats/stitch.hpp"
#include "korvane/korvane.h"
#include "shvgen/shv_writer.hpp"
#include "support/c_calls.hpp"
#include "support/design_builders.hpp"
#include "support/fake_file_system.hpp"
#include "support/temp_dir.hpp"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace kvn::shvgen {
namespace {

using formats::ByteReader;
using test::Bytes;
using test::cat;
using test::HucBuilder;
using test::long_move;
using test::rec;

struct HoopCase {
  std::int32_t width, height;
  std::uint8_t huc_hoop;
  std::uint8_t code;
};

const HoopCase kHoops[] = {
    {1000, 1000, 0x40, 0x30}, {1001, 1000, 0x40, 0x50}, {1000, 1001, 0x40, 0x10},
    {1000, 1701, 0x40, 0x90}, {1500, 2401, 0x40, 0xB7}, {1501, 100, 0x40, 0x00},
    {1700, 1000, 0x40, 0x00}, {1000, 1700, 0x40, 0x10},  // never turned to fit
    {1200, 1200, 0x02, 0xB2}, {900, 900, 0x02, 0x30},   {1400, 2000, 0x41, 0xB1},
    {1500, 3600, 0x43, 0xB7}, {1500, 3601, 0x43, 0x00}, {65534, 65534, 0x40, 0x00},
};

TEST(HoopCode, TakesTheFirstClassTheDesignFits) {
  for (const auto& c : kHoops) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height) + " hoop " +
                 std::to_string(c.huc_hoop));
    EXPECT_EQ(hoop_code(c.width, c.height, c.huc_hoop), c.code);
  }
}

struct DimsCase {
  const char* name;
  std::int16_t x0, y0, x1, y1;
  Bytes block;
  std::size_t bitmap;
};

const DimsCase kDims[] = {
    {"AllZero", 0, 0, 0, 0, {0, 0, 0, 0, 0, 0}, 0},
    {"OffsetFromNegativeExtent", 255, 0, -137, 0, {40, 0, 13, 0, 13, 0}, 0},
    {"NegativeOffsetShort", 100, 10, 50, -10, {6, 2, 0xFB, 1, 0xFB, 1}, 6},
    {"Count255IsShort", 1271, 1000, -1270, -1000, {255, 200, 127, 100, 127, 100}, 255 * 100},
    {"Count256IsLong",
     1281,
     1000,
     -1270,
     -1000,
     {255, 255, 1, 1, 0, 0, 200, 0, 127, 0, 100, 0, 127, 0, 100},
     256 * 100},
    {"Exactly255By255IsLong",
     1271,
     1271,
     -1270,
     -1270,
     {255, 255, 1, 0, 255, 0, 255, 0, 127, 0, 127, 0, 127, 0, 127},
     255 * 128},
    {"NegativeOffsetLong",
     3000,
     0,
     50,
     0,
     {255, 255, 1, 1, 0x28, 0, 0, 0xFF, 0xFB, 0, 0, 0xFF, 0xFB, 0, 0},
     0},
    {"NegativeCountsAreZero", -100, -100, 50, 50, {0, 0, 0xFB, 0xFB, 0xFB, 0xFB}, 0},
    {"OneNegativeCountLeavesNoBitmap", -100, 10, 50, -10, {0, 2, 0xFB, 1, 0xFB, 1}, 0},
};

TEST(BuildShv, WritesTheDimensionBlockAndPreviewSize) {
  for (const auto& c : kDims) {
    SCOPED_TRACE(c.name);
    const Bytes huc =
        HucBuilder{}.extents(c.x0, c.y0, c.x1, c.y1).colour(1, cat({rec(0, 0), rec(1, 1)})).bytes();
    const auto shv = build_shv(ByteReader(huc, "t.huc"), "d");
    ASSERT_TRUE(shv) << shv.error().message();
    const std::size_t at = formats::kShvNameAt + 1;
    EXPECT_EQ(
        Bytes(shv->begin() + at, shv->begin() + static_cast<std::ptrdiff_t>(at + c.block.size())),
        c.block);
    const auto d = formats::read_shv_design(ByteReader(*shv, "t.shv"));
    ASSERT_TRUE(d) << d.error().message();
    EXPECT_EQ(d->header_at, at + c.block.size() + c.bitmap);
    EXPECT_EQ(d->header.x1, c.x1);
    EXPECT_EQ(d->header.Stitches, 2u);
  }
}

TEST(BuildShv, LaysOutHeaderColoursAndStreamByteForByte) {
  const Bytes block1 = cat({long_move(-300, 20), rec(5, 5)});
  const Bytes block2 = cat({rec(1, 1), test::raw(0x80, 0x03)});
  const Bytes huc = HucBuilder{}
                        .extents(0, 0, 0, 0)
                        .hoop(0x42)
                        .colour(33, block1, -1, 0x0102, -2)
                        .colour(7, block2, 9, 3, 4)
                        .trailing({0xAA, 0xBB, 0xCC})  // no count covers it; copied all the same
                        .bytes();
  const auto shv = build_shv(ByteReader(huc, "t.huc"), "garden");
  ASSERT_TRUE(shv);
  const std::string text(kShvHeaderText);
  const auto text_end = shv->begin() + static_cast<std::ptrdiff_t>(text.size());
  EXPECT_EQ(std::string(shv->begin(), text_end), text);
  EXPECT_EQ(Bytes(text_end, shv->begin() + 86), Bytes(86 - text.size(), 0));
  const Bytes want = cat({
      Bytes{6, 'g', 'a', 'r', 'd', 'e', 'n'},
      Bytes{0, 0, 0, 0, 0, 0},                                                   // no preview
      Bytes{2, 0xC4, 0x28, 0, 0x30, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 14},  // shvhdr_t
      Bytes{0, 0, 0, 5, 33, 0, 0, 0, 0, 0, 0x01, 0x02, 0xFF, 0xFE},              // shvcolor_t 1
      Bytes{0, 0, 0, 9, 7, 0, 0, 0, 0, 0, 0, 3, 0, 4},                           // shvcolor_t 2
      block1,
      block2,
      Bytes{0xAA, 0xBB, 0xCC},
  });
  EXPECT_EQ(Bytes(shv->begin() + 86, shv->end()), want);
}

TEST(BuildShv, TakesTheFirst127BytesOfALongName) {
  const Bytes huc = HucBuilder{}.bytes();
  const auto shv = build_shv(ByteReader(huc, "t.huc"), std::string(200, 'n'));
  ASSERT_TRUE(shv);
  EXPECT_EQ((*shv)[86], 127);
  EXPECT_EQ((*shv)[87 + 126], 'n');
  EXPECT_EQ((*shv)[87 + 127], 0);  // the dimension block follows
}

TEST(BuildShv, RefusesAnImageShorterThanItsHeaderAndColourTable) {
  for (std::size_t size : {std::size_t{0}, std::size_t{28}, std::size_t{29 + 3 * 7 - 1}}) {
    SCOPED_TRACE(size);
    Bytes huc = HucBuilder{}.n_colors(3).bytes();
    huc.resize(size);
    const auto shv = build_shv(ByteReader(huc, "t.huc"), "x");
    ASSERT_FALSE(shv);
    EXPECT_EQ(shv.error().code, ErrorCode::kHucTooShort);
    EXPECT_EQ(shv.error().message().rfind("t.huc: the HUC design is shorter", 0), 0u);
  }
}

}  // namespace
}  // namespace kvn::shvgen

namespace kvn::convert {
namespace {

using test::Bytes;
using test::cat;
using test::FakeFileSystem;
using test::HucBuilder;
using test::rec;

Bytes small_huc() {
  return HucBuilder{}
      .extents(30, 20, -10, -40)
      .colour(2, cat({rec(0, 0), rec(3, 4), rec(-5, 1)}))
      .bytes();
}

std::string stored_name(const Bytes& shv) {
  return std::string(shv.begin() + 87, shv.begin() + 87 + shv[86]);
}

struct Handed {
  std::uint8_t* shv = reinterpret_cast<std::uint8_t*>(8);  // untouched unless handed out
  std::int32_t sshv = -7;
  bool untouched() const { return shv == reinterpret_cast<std::uint8_t*>(8) && sshv == -7; }
  Bytes take() {
    Bytes b(shv, shv + sshv);
    std::free(shv);
    return b;
  }
};

struct OutputCase {
  const char* name;
  const char* pFileShv;
  bool pshv;
  const char* pFileHuc;
  std::int32_t memory_size;  // > 0: the HUC image comes from memory, padded to this size
  const char* file_written;  // nullptr: none
  std::string design;
};

const OutputCase kOutputs[] = {
    {"DerivedFromTheHucFile", nullptr, false, "C:\\designs\\flowers.big.DHV", 0,
     "C:\\designs\\flowers.big.shv", "flowers.big"},
    {"NamedFile", "out/x.shv", false, "in/a.huc", 0, "out/x.shv", "x"},
    {"NamedFileAndMemory", "out/y.shv", true, "in/a.huc", 0, "out/y.shv", "y"},
    {"MemoryNamedAfterTheHucFile", nullptr, true, "in/a.huc", 0, nullptr, "a"},
    {"MemoryWithoutNamesUsesTheSize", nullptr, true, nullptr, 4660, nullptr, "00001234"},
    {"BothSeparatorsEverywhere", nullptr, false, "dir\\sub/pat.tern.huc", 0,
     "dir\\sub/pat.tern.shv", "pat.tern"},
    {"ForwardSlashAfterBackslash", "a\\b/c.d\\e.shv", false, "in/a.huc", 0, "a\\b/c.d\\e.shv", "e"},
};

TEST(Lumbrel, ProducesWhatTheArgumentsAskFor) {
  for (const auto& c : kOutputs) {
    SCOPED_TRACE(c.name);
    FakeFileSystem fs;
    Bytes huc = small_huc();
    if (c.memory_size > 0) huc.resize(static_cast<std::size_t>(c.memory_size), 0);
    if (c.pFileHuc && c.memory_size == 0) fs.files[c.pFileHuc] = huc;
    Handed h;
    const test::LumbrelArgs call{c.pFileShv,
                                 c.pshv ? &h.shv : nullptr,
                                 c.pshv ? &h.sshv : nullptr,
                                 c.pFileHuc,
                                 c.memory_size > 0 ? huc.data() : nullptr,
                                 c.memory_size};
    test::Seen diag;
    ASSERT_EQ(test::lumbrel_seen(call, fs, diag), 0);
    EXPECT_TRUE((diag.code == ErrorCode::kOk));
    const std::size_t inputs = c.pFileHuc && c.memory_size == 0 ? 1 : 0;
    EXPECT_EQ(fs.files.size(), inputs + (c.file_written ? 1 : 0));
    Bytes image;
    if (c.file_written) {
      ASSERT_EQ(fs.files.count(c.file_written), 1u);
      EXPECT_EQ(diag.written, std::vector<std::string>{c.file_written});
      image = fs.files[c.file_written];
    }
    if (c.pshv) {
      ASSERT_FALSE(h.untouched());
      const Bytes mem = h.take();
      if (c.file_written) {
        EXPECT_EQ(mem, image);
      }
      image = mem;
    } else {
      EXPECT_TRUE(h.untouched());
    }
    EXPECT_EQ(stored_name(image), c.design);
  }
}

struct FailCase {
  const char* name;
  int result;
  ErrorCode code;
};

TEST(Lumbrel, FailsWithoutWritingOrHandingOutAnything) {
  const FailCase cases[] = {
      {"HucFileMissing", 1, ErrorCode::kCannotOpen},
      {"HucShorterThanItsHeader", 1, ErrorCode::kHucTooShort},
      {"HucShorterThanItsColourTable", 1, ErrorCode::kHucTooShort},
      {"OutputCannotBeWritten", -1, ErrorCode::kCannotWrite},
      {"OutputIsTheHucFile", -1, ErrorCode::kWouldOverwriteInput},
      {"OutputIsTheProtectedInput", -1, ErrorCode::kWouldOverwriteInput},
      {"NoOutputCanBeNamed", -1, ErrorCode::kNoInputName},
      {"NegativeSize", 1, ErrorCode::kCannotRead},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string name = c.name;
    FakeFileSystem fs;
    Bytes huc = small_huc();
    if (name == "HucShorterThanItsHeader") huc.resize(28);
    if (name == "HucShorterThanItsColourTable") huc.resize(29 + 6);
    if (name != "HucFileMissing") fs.files["in/a.huc"] = huc;
    fs.files["in/garden.dhv"] = {1, 2, 3};
    if (name == "OutputCannotBeWritten") fs.fail_writes_after = 0;
    const auto before = fs.files;

    Handed h;
    test::LumbrelArgs call{"out/a.shv", &h.shv, &h.sshv, "in/a.huc", nullptr, 0};
    std::string protected_input;
    if (name == "OutputIsTheHucFile") call.pFileShv = "in/a.huc";
    if (name == "OutputIsTheProtectedInput") {
      protected_input = "in/garden.dhv";
      call.pFileShv = protected_input.c_str();
    }
    if (name == "NoOutputCanBeNamed" || name == "NegativeSize") {
      call = test::LumbrelArgs{
          nullptr, nullptr,    nullptr,
          nullptr, huc.data(), name == "NegativeSize" ? -1 : static_cast<std::int32_t>(huc.size())};
    }
    test::Seen diag;
    EXPECT_EQ(test::lumbrel_seen(call, fs, diag, protected_input), c.result);
    ASSERT_NE(diag.code, ErrorCode::kOk);
    EXPECT_EQ(diag.code, c.code) << diag.message;
    EXPECT_TRUE(diag.written.empty());
    EXPECT_EQ(fs.files, before);
    EXPECT_TRUE(h.untouched());
  }
}

// A HUC image from outside must be whole before anything is built from it:
// every cut of a good one, a wrong mark and bytes of another kind give 1.
TEST(Lumbrel, TakesOnlyAWholeHucImageFromOutside) {
  const Bytes good = HucBuilder{}
                         .extents(40, 40, -10, -10)
                         .colour(3, cat({rec(10, 10), rec(-5, 5)}))
                         .colour(9, cat({test::long_move(300, -20), rec(1, 1)}))
                         .bytes();
  std::vector<std::pair<std::string, Bytes>> refused;
  for (std::size_t n = 0; n < good.size(); ++n)
    refused.emplace_back("cut to " + std::to_string(n),
                         Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n)));
  Bytes unmarked = good;
  unmarked[1] = 0xC5;
  refused.emplace_back("wrong mark", unmarked);
  refused.emplace_back(
      "a PNG", Bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D',
                     'R',  0,   0,   0,   1,    0,    0,    0,    1, 8, 6, 0,  0,   0,   0});
  for (const auto& [what, huc] : refused) {
    SCOPED_TRACE(what);
    Handed h;
    EXPECT_EQ(lumbrel(nullptr, &h.shv, &h.sshv, nullptr, huc.data(),
                      static_cast<std::int32_t>(huc.size())),
              1);
    EXPECT_TRUE(h.untouched());
  }
  Bytes longer = good;
  longer.push_back(0x42);  // bytes after the counted stream are kept, as before
  for (const Bytes& huc : {good, longer}) {
    Handed h;
    ASSERT_EQ(lumbrel(nullptr, &h.shv, &h.sshv, nullptr, huc.data(),
                      static_cast<std::int32_t>(huc.size())),
              0)
        << korvane_last_error();
    EXPECT_EQ(h.shv[h.sshv - 1], huc.back());
    std::free(h.shv);
  }
}

TEST(Lumbrel, RoundTripsThroughGetShvStitchPos) {
  const Bytes block1 = cat({test::long_move(500, -200), rec(10, 10), rec(-3, 7)});
  const Bytes block2 = cat({rec(2, 2), rec(127, -127), test::long_move(-40, 60)});
  const Bytes huc = HucBuilder{}
                        .extents(600, 100, -20, -250)
                        .colour(19, block1, -1, 0, 0)
                        .colour(33, block2, -1, 507, -183)
                        .bytes();
  unsigned char* shv = nullptr;
  std::int32_t sshv = 0;
  ASSERT_EQ(
      lumbrel(nullptr, &shv, &sshv, nullptr, huc.data(), static_cast<std::int32_t>(huc.size())), 0);
  const Bytes image(shv, shv + sshv);
  const unsigned char* hdr = GetShvStitchPos(shv);
  const auto at = static_cast<std::size_t>(hdr - shv);
  std::free(shv);

  const auto d = formats::read_shv_design(formats::ByteReader(image, "t.shv"));
  ASSERT_TRUE(d) << d.error().message();
  EXPECT_EQ(d->header_at, at);
  formats::shvhdr_t want;
  want.nColors = 2;
  want.Hoop = 0x30;
  want.x0 = 600;
  want.y0 = 100;
  want.x1 = -20;
  want.y1 = -250;
  want.Stitches = static_cast<std::uint32_t>((block1.size() + block2.size()) / 2);
  EXPECT_EQ(d->header, want);
  EXPECT_EQ(d->colours, (std::vector<formats::shvcolor_t>{{6, 19, 0, 0}, {6, 33, 507, -183}}));
  EXPECT_EQ(Bytes(d->stream.begin(), d->stream.end()), cat({block1, block2}));
  EXPECT_TRUE(d->trailing.empty());
  // Walking block 1 from its stored start ends where block 2 says it begins.
  std::int16_t x = 0, y = 0;
  formats::GetXY(d->stream, 6, &x, &y);
  EXPECT_EQ(x, 507);
  EXPECT_EQ(y, -183);
}

#ifndef _WIN32
int run_korvane_in(const test::ScopedTempDir& dir, const std::string& args) {
  const std::string cmd =
      "cd '" + dir.path().string() + "' && '" + KORVANE_EXE + "' " + args + " >/dev/null 2>&1";
  const int status = std::system(cmd.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(CliHuc, WritesTheShvBesideTheHucFileOrWhereToldTo) {
  test::ScopedTempDir dir;
  test::write_bytes(dir.file("rose.huc"), small_huc());
  EXPECT_EQ(run_korvane_in(dir, "--huc rose.huc"), 0);
  EXPECT_EQ(run_korvane_in(dir, "--huc rose.huc -o other.shv"), 0);
  EXPECT_EQ(run_korvane_in(dir, "--huc missing.huc"), 1);
  EXPECT_EQ(run_korvane_in(dir, "--huc rose.huc -o rose.huc"), 1);
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"other.shv", "rose.huc", "rose.shv"}));
  EXPECT_EQ(stored_name(test::read_bytes(dir.file("rose.shv"))), "rose");
  EXPECT_EQ(stored_name(test::read_bytes(dir.file("other.shv"))), "other");
  EXPECT_EQ(test::read_bytes(dir.file("rose.huc")), small_huc());
}
#endif

}  // namespace
}  // namespace kvn::convert

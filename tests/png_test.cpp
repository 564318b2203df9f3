#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "convert/previews.hpp"
#include "inspect/pictures.hpp"
#include "inspect/png_encode.hpp"
#include "inspect/survey.hpp"
#include "shvgen/colour_tables.hpp"
#include "support/builders.hpp"
#include "support/c_calls.hpp"
#include "support/fake_file_system.hpp"
#include "support/page_png.hpp"
#include "support/pattern_views.hpp"
#include "support/png_decode.hpp"
#include "support/sample_designs.hpp"
#include "support/temp_dir.hpp"

// libpng's own reader checks libpng's encoder; Windows encodes with its imaging component.
#if defined(KORVANE_HAVE_PNG) && !defined(_WIN32)
#include <png.h>
#endif

namespace kvn::convert {
namespace {

using formats::NeedleOp;
using formats::Pattern;
using inspect::kDrawingMargin;
using test::Bytes;
using test::DecodedPng;
using test::DhvBuilder;
using test::FakeFileSystem;

DecodedPng::Colour colour(const inspect::Rgb& c) { return {c.r, c.g, c.b}; }
const DecodedPng::Colour kMark = colour(inspect::kBasePalette[inspect::kMarkIndex]);
bool is_background(const DecodedPng::Colour& c) {
  return c == colour(inspect::kBasePalette[inspect::kBackgroundIndex]) ||
         c == colour(inspect::kBasePalette[inspect::kBackgroundAltIndex]);
}

// Without a PNG library there is nothing to encode (Windows has its own).
#ifdef KORVANE_HAVE_PNG

formats::ShvDesign design_of(const Bytes& shv) {
  auto d = formats::read_shv_design(formats::ByteReader(shv, "t.shv"));
  EXPECT_TRUE(d.has_value()) << d.error().message();
  return *d;
}

// The program's encoder and the page's (which stores its image data
// uncompressed): every picture check holds both.
const struct Encoder {
  const char* name;
  Result<Bytes> (*indexed)(const inspect::Picture&, const std::string&);
  Result<Bytes> (*full)(const inspect::RgbaPicture&, const std::string&);
} kEncoders[] = {{"program", inspect::encode_png, inspect::encode_png},
                 {"page", inspect::page_encode_png, inspect::page_encode_png}};

// Through each encoder and back: what a viewer shows, the same from both.
DecodedPng round_trip(const inspect::Picture& p) {
  std::optional<DecodedPng> first;
  for (const auto& e : kEncoders) {
    SCOPED_TRACE(e.name);
    auto png = e.indexed(p, "t.png");
    EXPECT_TRUE(png.has_value()) << png.error().message();
    if (!png) continue;
    auto decoded = test::decode_png(*png);
    EXPECT_TRUE(decoded.has_value());
    if (!decoded) continue;
    if (!first) {
      first = std::move(decoded);
      continue;
    }
    EXPECT_EQ(decoded->width, first->width);
    EXPECT_EQ(decoded->height, first->height);
    EXPECT_TRUE(decoded->rgb == first->rgb) << "the encoders' pixels differ";
  }
  return first ? *first : DecodedPng{};
}

// An SHV image with a stored preview of 2 rows of 3 pixels: row 0 holds the
// values 1, 2, 3 and row 1 the values 4, 5, 6, two to a byte.
Bytes two_by_three_preview() {
  Bytes b(86, 0);
  b.push_back(1);
  b.push_back('p');
  b.insert(b.end(), {2, 3, 0, 0, 0, 0});
  b.insert(b.end(), {0x12, 0x30, 0x45, 0x60});
  b.insert(b.end(), {0, 0xC4, 0x28, 0, 0x30, 0, 0, 0, 20, 0, 30, 0, 0, 0, 0, 0, 0, 0, 0});
  return b;
}

TEST(Pictures, StoredPreviewIsTurnedUprightAndScaledWithSquarePixels) {
  const DecodedPng png =
      round_trip(inspect::stored_preview_picture(design_of(two_by_three_preview())));
  // Rows run along x and become columns; a row's first pixel (largest y) is
  // the bottom, as y runs downwards.
  constexpr std::uint32_t kScale = 16;  // 512 / 3 is more than the largest factor
  ASSERT_EQ(png.width, 2 * kScale);
  ASSERT_EQ(png.height, 3 * kScale);
  const struct {
    std::uint32_t row, cell;
    std::uint8_t value;
  } cells[] = {{0, 0, 1}, {0, 1, 2}, {0, 2, 3}, {1, 0, 4}, {1, 1, 5}, {1, 2, 6}};
  for (const auto& c : cells) {
    SCOPED_TRACE("row " + std::to_string(c.row) + " pixel " + std::to_string(c.cell));
    const std::uint32_t top = (2 - c.cell) * kScale;
    const auto want = colour(inspect::kPreviewPalette[c.value]);
    EXPECT_EQ(png.at(c.row * kScale, top), want);
    EXPECT_EQ(png.at(c.row * kScale + kScale - 1, top + kScale - 1), want);
  }
}

TEST(Pictures, AnEmptyStoredPreviewIsOneBackgroundPixel) {
  const DecodedPng png = round_trip(inspect::stored_preview_picture(
      design_of(test::written_shv(test::HucBuilder{}.colour(1, test::rec(0, 0)), "empty"))));
  ASSERT_EQ(png.width, 1u);
  ASSERT_EQ(png.height, 1u);
  EXPECT_TRUE(is_background(png.at(0, 0)));
}

TEST(Pictures, OneStitchIsOneLineInItsThreadsColourOnTheChecker) {
  // The stitch runs 1 mm to the right: 4 pixels at 4 pixels per millimetre.
  // A white thread, which a light background would hide.
  Pattern p{"one",
            {test::thread_of(0xFF, 0xFF, 0xFF)},
            {{10, 0, NeedleOp::kStitch}, {10, 0, NeedleOp::kEnd}}};
  const DecodedPng png = round_trip(inspect::stitch_picture(p));
  ASSERT_EQ(png.width, 2 * kDrawingMargin + 4 + 1);
  ASSERT_EQ(png.height, 2 * kDrawingMargin + 1);
  for (std::uint32_t y = 0; y < png.height; ++y)
    for (std::uint32_t x = 0; x < png.width; ++x) {
      const bool on_line = y == kDrawingMargin && x >= kDrawingMargin && x <= kDrawingMargin + 4;
      if (on_line)
        ASSERT_EQ(png.at(x, y), (DecodedPng::Colour{0xFF, 0xFF, 0xFF})) << x << ", " << y;
      else
        ASSERT_TRUE(is_background(png.at(x, y))) << x << ", " << y;
    }
  // Both squares of the checker are there.
  EXPECT_NE(png.at(0, 0), png.at(inspect::kCheckerSide, 0));
}

TEST(Pictures, StitchDrawingHasYDownBlockColoursAndLeavesJumpsOut) {
  // A jump 20 mm to the right, a stitch 1 mm down (y grows downwards), a
  // colour change, a stitch back 1 mm up. Without threads each block gets
  // its own colour; with threads, the thread's.
  const std::vector<formats::NeedleEvent> events = {{200, 0, NeedleOp::kJump},
                                                    {200, 10, NeedleOp::kStitch},
                                                    {200, 10, NeedleOp::kColourChange},
                                                    {210, 0, NeedleOp::kStitch},
                                                    {210, 0, NeedleOp::kEnd}};
  const struct {
    const char* name;
    std::vector<formats::Thread> threads;
  } cases[] = {{"Threads", {test::thread_of(200, 10, 10), test::thread_of(10, 10, 200)}},
               {"NoColours", {}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Pattern p{"down", c.threads, events};
    const DecodedPng png = round_trip(inspect::stitch_picture(p));
    ASSERT_EQ(png.width, 2 * kDrawingMargin + 84 + 1);
    ASSERT_EQ(png.height, 2 * kDrawingMargin + 4 + 1);
    const auto first = colour(inspect::thread_colour(p, 0));
    const auto second = colour(inspect::thread_colour(p, 1));
    EXPECT_NE(first, second);
    EXPECT_EQ(png.at(kDrawingMargin + 80, kDrawingMargin + 1), first);        // y = 0 is the top
    EXPECT_EQ(png.at(kDrawingMargin + 80, kDrawingMargin + 3), first);        // y = 10 below it
    EXPECT_EQ(png.at(kDrawingMargin + 84, kDrawingMargin), second);           // the way back up
    EXPECT_TRUE(is_background(png.at(kDrawingMargin + 40, kDrawingMargin)));  // the jump
  }
}

TEST(Pictures, LayoutPlacesEachDesignAndMarksTheStartPoint) {
  // 10 mm to the right, once at the start point and once placed 20 mm down.
  const Pattern a{
      "a", {test::thread_of(255, 0, 0)}, {{100, 0, NeedleOp::kStitch}, {100, 0, NeedleOp::kEnd}}};
  const Pattern b{
      "b", {test::thread_of(0, 0, 255)}, {{100, 0, NeedleOp::kStitch}, {100, 0, NeedleOp::kEnd}}};
  const inspect::PlacedPattern placed[] = {{&a, 0, 0}, {&b, 0, 200}};
  const DecodedPng png = round_trip(inspect::layout_picture(placed));
  // The 100 x 100 mm hoop, centred on the 10 x 20 mm layout, spans the drawing:
  // the start point lies 45 mm from its left and 40 mm from its top.
  ASSERT_EQ(png.height, 2 * kDrawingMargin + 400 + 1 + inspect::kLayoutCaptionHeight);
  const std::uint32_t x0 = kDrawingMargin + 180, y0 = kDrawingMargin + 160;
  EXPECT_EQ(png.at(x0, y0), kMark);
  EXPECT_EQ(png.at(x0, y0 + inspect::kMarkArm), kMark);
  EXPECT_EQ(png.at(x0 + 30, y0), (DecodedPng::Colour{255, 0, 0}));
  EXPECT_EQ(png.at(x0 + 30, y0 + 80), (DecodedPng::Colour{0, 0, 255}));
  EXPECT_TRUE(is_background(png.at(x0 + 30, y0 + 40)));
}

TEST(Pictures, LayoutOutlinesItsHoopAndCarriesAScaleAndLabels) {
  const Pattern a{"first", {}, {{100, 0, NeedleOp::kStitch}, {100, 0, NeedleOp::kEnd}}};
  const Pattern b{"", {}, {{100, 0, NeedleOp::kStitch}, {100, 0, NeedleOp::kEnd}}};
  struct Case {
    const char* name;
    std::int32_t bx, by;  // where b is placed
    std::uint32_t hoop_w, hoop_h;
    bool fits;
    const char* caption;
  };
  const Case cases[] = {
      {"Small", 0, 200, 100, 100, true, "all designs 10.0 x 20.0 mm: hoop 100 x 100 mm"},
      {"Tall", 0, 2000, 150, 240, true, "all designs 10.0 x 200.0 mm: hoop 150 x 240 mm"},
      {"Wide", 2000, 0, 150, 360, false,
       "all designs 210.0 x 0.0 mm: larger than every hoop (150 x 360 mm)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const inspect::PlacedPattern placed[] = {{&a, 0, 0}, {&b, c.bx, c.by}};
    const auto caption = inspect::hoop_caption(100 + c.bx, c.by);
    EXPECT_EQ(caption.text, c.caption);
    EXPECT_EQ(caption.fits, c.fits);
    const DecodedPng png = round_trip(inspect::layout_picture(placed));
    const auto hoop = colour(c.fits ? inspect::kHoopColour : inspect::kTooLargeColour);
    const std::uint32_t drawing = png.height - inspect::kLayoutCaptionHeight;
    std::uint32_t left = png.width, right = 0, top = png.height, bottom = 0, in_caption = 0,
                  label = 0;
    for (std::uint32_t y = 0; y < png.height; ++y)
      for (std::uint32_t x = 0; x < png.width; ++x) {
        if (png.at(x, y) == colour(inspect::kLabelText)) ++label;
        if (!(png.at(x, y) == hoop)) continue;
        if (y >= drawing) {
          ++in_caption;
          continue;
        }
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
    // 4 pixels a millimetre; the centring may round a pixel either way.
    EXPECT_NEAR(right - left, 4 * c.hoop_w, 1);
    EXPECT_NEAR(bottom - top, 4 * c.hoop_h, 1);
    EXPECT_GT(in_caption, 50u);  // the hoop line is written in the hoop's colour
    EXPECT_GT(label, 2 * 20u);   // two labels of white text
    // The scale bar: a black run along the middle of the caption's first line,
    // a whole number of 10 mm long.
    const std::uint32_t mid = drawing + 4 + 7 * inspect::kTextScale / 2;
    std::uint32_t run = 0;
    while (png.at(kDrawingMargin + run, mid) == kMark) ++run;
    EXPECT_EQ((run - 1) % 40, 0u) << run;
    EXPECT_GE(run - 1, 40u);
  }
}

TEST(Pictures, FarFlungStitchesAreScaledDownToTheSizeCap) {
  Pattern p{"far", {}, {}};
  for (int i = 1; i <= 200; ++i) p.events.push_back({127 * i, 0, NeedleOp::kStitch});
  p.events.push_back({127 * 200, 0, NeedleOp::kEnd});
  const auto stitches = inspect::stitch_picture(p);
  EXPECT_EQ(stitches.width, 2 * kDrawingMargin + inspect::kMaxDrawingSide + 1);
  EXPECT_EQ(stitches.height, 2 * kDrawingMargin + 1);
  const inspect::PlacedPattern placed[] = {{&p, -32768, 32767}};
  const auto layout = inspect::layout_picture(placed);
  EXPECT_LE(layout.width, 2 * kDrawingMargin + inspect::kMaxDrawingSide + 1);
  EXPECT_LE(layout.height,
            2 * kDrawingMargin + inspect::kMaxDrawingSide + 1 + inspect::kLayoutCaptionHeight);
}

TEST(Pictures, ManyThreadColoursShareTheNearestPaletteEntry) {
  // 300 blocks of different greys: more than a palette holds.
  Pattern p{"many", {}, {}};
  for (int i = 0; i < 300; ++i) {
    if (i) p.events.push_back({i, 0, NeedleOp::kColourChange});
    p.events.push_back({i + 1, 0, NeedleOp::kStitch});
    p.threads.push_back(test::thread_of(static_cast<std::uint8_t>(i % 256),
                                        static_cast<std::uint8_t>(i / 2),
                                        static_cast<std::uint8_t>(i / 3)));
  }
  p.events.push_back({300, 0, NeedleOp::kEnd});
  const auto picture = inspect::stitch_picture(p);
  EXPECT_EQ(picture.palette.size(), 256u);
  for (const auto& e : kEncoders) EXPECT_TRUE(e.indexed(picture, "many.png").has_value()) << e.name;
}

#ifndef _WIN32
// Thread pictures keep every byte through the file: an opaque one is written
// without its alpha, a see-through one with it, whatever the row length.
TEST(Pictures, FullColourPicturesComeBackPixelForPixel) {
  const struct {
    std::uint32_t width, height;
    bool see_through;
  } cases[] = {{1, 1, false}, {67, 5, false}, {3, 130, true}, {64, 2, true}};
  for (const auto& e : kEncoders) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(e.name) + ": " + std::to_string(c.width) + " x " +
                   std::to_string(c.height));
      inspect::RgbaPicture p;
      p.width = c.width;
      p.height = c.height;
      p.rgba.resize(std::size_t{c.width} * c.height * 4);
      for (std::size_t i = 0; i < p.rgba.size(); ++i)
        p.rgba[i] =
            i % 4 == 3 && !c.see_through ? 0xFF : static_cast<std::uint8_t>(i * 37 + i / 97);
      const auto png = e.full(p, "t.png");
      ASSERT_TRUE(png.has_value());
      png_image image;
      std::memset(&image, 0, sizeof image);
      image.version = PNG_IMAGE_VERSION;
      ASSERT_TRUE(png_image_begin_read_from_memory(&image, png->data(), png->size()));
      EXPECT_EQ(image.format & PNG_FORMAT_FLAG_ALPHA, c.see_through ? PNG_FORMAT_FLAG_ALPHA : 0u);
      image.format = PNG_FORMAT_RGBA;
      std::vector<std::uint8_t> back(PNG_IMAGE_SIZE(image));
      ASSERT_TRUE(png_image_finish_read(&image, nullptr, back.data(), 0, nullptr));
      EXPECT_TRUE(back == p.rgba);
    }
  }
}
#endif  // _WIN32

TEST(Pictures, TheReadmePicturesAreWhatPreviewDrawsOfTheExample) {
  // tools/make_examples.sh makes them; a change to the pictures or the example
  // must come with new ones.
  const std::string source = KORVANE_SOURCE_DIR;
  FakeFileSystem fs;
  fs.files["garden.dhv"] = test::read_bytes(source + "/examples/garden.dhv");
  test::Seen diag;
  ASSERT_EQ(test::previews_seen("garden.dhv", nullptr, fs, diag), 0);
  for (const std::string name : {"garden-layout.png", "garden-stitches-001.png"}) {
    SCOPED_TRACE(name);
    const auto drawn = test::decode_png(fs.files.at(name));
    const auto kept = test::decode_png(test::read_bytes(source + "/docs/" + name));
    ASSERT_TRUE(drawn && kept);
    EXPECT_EQ(kept->width, drawn->width);
    EXPECT_EQ(kept->height, drawn->height);
    EXPECT_TRUE(kept->rgb == drawn->rgb) << "run tools/make_examples.sh";
  }
}

#endif  // KORVANE_HAVE_PNG

Bytes garden() {
  return DhvBuilder{}
      .name("garden")
      .add(test::rose_shv(), 100, -50)
      .add(test::one_stitch_shv(0, 10, 0))
      .bytes();
}

TEST(PreviewFiles, AreNamedAfterTheInputWithTheDesignNumber) {
  struct Case {
    const char* name;
    std::string input;
    bool container;
    const char* out_dir;
    std::vector<std::string> written;
  };
  const Case cases[] = {
      {"Container",
       "in/garden.dhv",
       true,
       nullptr,
       {"in/garden-preview-001.png", "in/garden-stitches-001.png", "in/garden-preview-002.png",
        "in/garden-stitches-002.png", "in/garden-layout.png"}},
      {"Design", "rose.SHV", false, nullptr, {"rose-preview.png", "rose-stitches.png"}},
      {"IntoADirectory",
       "in/rose.shv",
       false,
       "out",
       {"out/rose-preview.png", "out/rose-stitches.png"}},
      {"DirectoryWithSlash",
       "rose.shv",
       false,
       "out/",
       {"out/rose-preview.png", "out/rose-stitches.png"}},
      {"DotInDirectoryOnly",
       "my.dir/rose",
       false,
       nullptr,
       {"my.dir/rose-preview.png", "my.dir/rose-stitches.png"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeFileSystem fs;
    fs.files[c.input] = c.container ? garden() : test::rose_shv();
    test::Seen diag;
    const std::string dir = c.out_dir ? c.out_dir : "";
    const int r = test::previews_seen(c.input, c.out_dir ? &dir : nullptr, fs, diag);
    if (!inspect::png_supported()) {
      // A build without libpng says so once, before reading anything.
      EXPECT_EQ(r, -1);
      ASSERT_NE(diag.code, ErrorCode::kOk);
      EXPECT_EQ(diag.code, ErrorCode::kCannotEncode);
      EXPECT_EQ(diag.file, c.input);
      EXPECT_TRUE(diag.written.empty());
      continue;
    }
    ASSERT_EQ(r, 0) << diag.message;
    EXPECT_EQ(diag.written, c.written);
    for (const auto& name : c.written)
      EXPECT_TRUE(test::decode_png(fs.files.at(name)).has_value()) << name;
  }
}

TEST(PreviewFiles, WriteNothingForAFileThatCannotBeDrawn) {
  if (!inspect::png_supported()) GTEST_SKIP() << "no PNG library in this build";
  FakeFileSystem fs;
  Bytes cut = garden();
  cut.resize(cut.size() - 1);
  fs.files["cut.dhv"] = cut;
  test::Seen diag;
  EXPECT_EQ(test::previews_seen("cut.dhv", nullptr, fs, diag), -1);
  EXPECT_EQ(fs.files.size(), 1u);
  EXPECT_TRUE(diag.written.empty());
  ASSERT_NE(diag.code, ErrorCode::kOk);
  EXPECT_EQ(diag.code, ErrorCode::kDesignTruncated);
  EXPECT_THAT(diag.message, testing::StartsWith("cut.dhv: byte "));
}

TEST(PreviewFiles, KeepWhatWasWrittenBeforeADiskFilledUp) {
  if (!inspect::png_supported()) GTEST_SKIP() << "no PNG library in this build";
  FakeFileSystem fs;
  fs.files["garden.dhv"] = garden();
  fs.fail_writes_after = 2;
  test::Seen diag;
  EXPECT_EQ(test::previews_seen("garden.dhv", nullptr, fs, diag), -1);
  EXPECT_EQ(diag.written,
            (std::vector<std::string>{"garden-preview-001.png", "garden-stitches-001.png"}));
  ASSERT_NE(diag.code, ErrorCode::kOk);
  EXPECT_EQ(diag.code, ErrorCode::kCannotWrite);
  EXPECT_EQ(diag.file, "garden-preview-002.png");
}

}  // namespace
}  // namespace kvn::convert

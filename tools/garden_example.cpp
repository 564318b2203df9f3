// The bundled example: a flower, a leaf with a ladybird and the word GARDEN,
// stitched the way a digitiser would (satin petals and letters, a fill, running
// stitches), so that a person trying korvane sees embroidery and not noise.
// Everything is computed from fixed numbers: the same bytes on every build.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "formats/byte_reader.hpp"
#include "formats/byte_writer.hpp"
#include "formats/huc_layout.hpp"
#include "formats/stitch.hpp"
#include "shvgen/shv_writer.hpp"
#include "tools/example_gen.hpp"

namespace kvn::example {
namespace {

using formats::ByteWriter;

constexpr double kPi = std::numbers::pi;
// Colour codes of the machines' chart.
constexpr std::uint8_t kBlack = 0, kRed = 3, kYellow = 5, kGreen = 2, kDarkGreen = 34,
                       kDarkPink = 42, kOrange = 9, kDarkBlue = 33;
constexpr std::int64_t kNormalMax = 127;  // a normal record's reach (-128 would be an escape)
constexpr double kSatinSpacing = 4.0;     // 0.4 mm between satin stitches
constexpr double kFillRows = 4.0;         // 0.4 mm between fill rows
constexpr double kFillStitch = 35.0;      // 3.5 mm fill stitches
constexpr double kRunStitch = 22.0;       // 2.2 mm running stitches

struct Point {
  double x, y;
};

// Writes one design's stitch stream with its colour table and extents.
class Stitcher {
 public:
  // A new colour block; its first record moves the needle to (x, y).
  void colour(std::uint8_t code, Point to) {
    close_block();
    formats::huccolor_t c;
    c.Color = code;
    c.xpos = static_cast<std::int16_t>(x_);
    c.ypos = static_cast<std::int16_t>(y_);
    colours_.push_back(c);
    block_words_ = 0;
    const auto [dx, dy] = delta(to);
    if (std::abs(dx) <= kNormalMax && std::abs(dy) <= kNormalMax)
      normal(dx, dy);
    else
      long_move(dx, dy);
  }

  // A straight stitch to `to`, cut into records the stream can hold.
  void stitch(Point to) {
    const auto [dx, dy] = delta(to);
    const std::int64_t n = std::max<std::int64_t>(
        1, (std::max(std::abs(dx), std::abs(dy)) + kNormalMax - 1) / kNormalMax);
    std::int64_t done_x = 0, done_y = 0;
    for (std::int64_t i = 1; i <= n; ++i) {
      const std::int64_t sx = dx * i / n - done_x, sy = dy * i / n - done_y;
      normal(sx, sy);
      done_x += sx;
      done_y += sy;
    }
  }

  // Running stitches along a polyline, about kRunStitch apart.
  void run(const std::vector<Point>& path) {
    for (std::size_t i = 1; i < path.size(); ++i) {
      const double len = std::hypot(path[i].x - path[i - 1].x, path[i].y - path[i - 1].y);
      const int n = std::max(1, static_cast<int>(std::lround(len / kRunStitch)));
      for (int k = 1; k <= n; ++k) {
        const double t = static_cast<double>(k) / n;
        stitch({path[i - 1].x + (path[i].x - path[i - 1].x) * t,
                path[i - 1].y + (path[i].y - path[i - 1].y) * t});
      }
    }
  }

  // Satin along a polyline: zig-zags across it, `width` wide.
  void satin(const std::vector<Point>& path, double width) {
    bool left = true;
    for (std::size_t i = 1; i < path.size(); ++i) {
      const Point a = path[i - 1], b = path[i];
      const double len = std::hypot(b.x - a.x, b.y - a.y);
      if (len < 1) continue;
      const double nx = -(b.y - a.y) / len * width / 2, ny = (b.x - a.x) / len * width / 2;
      const int n = std::max(1, static_cast<int>(len / kSatinSpacing));
      for (int k = 0; k <= n; ++k) {
        const double t = static_cast<double>(k) / n;
        const double s = left ? 1 : -1;
        stitch({a.x + (b.x - a.x) * t + s * nx, a.y + (b.y - a.y) * t + s * ny});
        left = !left;
      }
    }
  }

  // A satin petal or leaf from `base`, `length` long at `angle`, widest in its
  // middle; the needle runs back along the middle to the base afterwards,
  // under the satin, so the next one starts where this one did.
  void petal(Point base, double angle, double length, double width) {
    const double ux = std::cos(angle), uy = std::sin(angle);
    const int n = static_cast<int>(length / kSatinSpacing);
    for (int k = 0; k <= n; ++k) {
      const double t = static_cast<double>(k) / n;
      // Round at the tip, narrow at the base.
      const double w = width / 2 * std::sqrt(std::sin(kPi * std::pow(t, 0.8)));
      const double s = (k % 2) ? 1 : -1;
      stitch({base.x + ux * length * t - uy * w * s, base.y + uy * length * t + ux * w * s});
    }
    run({{base.x + ux * length, base.y + uy * length}, base});
  }

  // Rows of fill between `left(y)` and `right(y)` from `top` to `bottom`, sewn
  // back and forth with the stitches of neighbouring rows staggered, as a
  // tatami fill is.
  template <class Left, class Right>
  void fill(double top, double bottom, Left left, Right right) {
    int row = 0;
    for (double y = top; y <= bottom; y += kFillRows, ++row) {
      const double l = left(y), r = right(y);
      if (r - l < 2) continue;
      const bool forward = row % 2 == 0;
      const double from = forward ? l : r, to = forward ? r : l;
      stitch({from, y});
      const double offset = kFillStitch * (row % 3) / 3.0;
      for (double d = kFillStitch - offset; d < r - l; d += kFillStitch)
        stitch({forward ? l + d : r - d, y});
      stitch({to, y});
    }
  }

  // A move that draws nothing: one long record, or two by `via` (300 away from
  // `to` along one axis, inside the design) where the target is nearer than a
  // long record can move without stitching.
  void jump(Point to, Point via) {
    const auto [dx, dy] = delta(to);
    if (std::abs(dx) >= formats::kLongStitchLimit || std::abs(dy) >= formats::kLongStitchLimit) {
      long_move(dx, dy);
      return;
    }
    const auto [vx, vy] = delta(via);
    long_move(vx, vy);
    const auto [tx, ty] = delta(to);
    long_move(tx, ty);
  }

  Point at() const { return {static_cast<double>(x_), static_cast<double>(y_)}; }

  // The HUC design image of everything stitched, `name` in its header.
  Bytes huc(const std::string& name, Design& out) {
    close_block();
    out.x0 = static_cast<std::int16_t>(x0_);
    out.y0 = static_cast<std::int16_t>(y0_);
    out.x1 = static_cast<std::int16_t>(x1_);
    out.y1 = static_cast<std::int16_t>(y1_);
    out.end_x = static_cast<std::int16_t>(x_);
    out.end_y = static_cast<std::int16_t>(y_);
    out.recipe.colours = colours_.size();
    out.recipe.words = words_;
    out.recipe.name = name;
    out.recipe.box = {out.x1, out.x0, out.y1, out.y0};
    formats::huchdr_t hdr;
    hdr.nColors = static_cast<std::uint8_t>(colours_.size());
    hdr.Name.fill(' ');
    std::copy_n(name.begin(), std::min(name.size(), formats::kHucNameSize), hdr.Name.begin());
    hdr.x0 = out.x0;
    hdr.y0 = out.y0;
    hdr.x1 = out.x1;
    hdr.y1 = out.y1;
    hdr.Stitches = static_cast<std::uint16_t>(words_);
    ByteWriter huc(formats::huc_stream_at(colours_.size()) + stream_.size());
    formats::write_huchdr(huc, hdr);
    for (const auto& c : colours_) formats::write_huccolor(huc, c);
    huc.bytes(stream_.view());
    return huc.take();
  }

 private:
  std::pair<std::int64_t, std::int64_t> delta(Point to) const {
    return {std::llround(to.x) - x_, std::llround(to.y) - y_};
  }

  void normal(std::int64_t dx, std::int64_t dy) {
    stream_.u8(static_cast<std::uint8_t>(static_cast<std::int8_t>(dx)));
    stream_.u8(static_cast<std::uint8_t>(static_cast<std::int8_t>(dy)));
    advance(dx, dy, 1);
  }

  void long_move(std::int64_t dx, std::int64_t dy) {
    formats::put_long_move(stream_, static_cast<std::int16_t>(dx), static_cast<std::int16_t>(dy));
    advance(dx, dy, formats::kLongMoveWords);
  }

  void advance(std::int64_t dx, std::int64_t dy, std::size_t words) {
    x_ += dx;
    y_ += dy;
    x0_ = std::max(x0_, x_);
    y0_ = std::max(y0_, y_);
    x1_ = std::min(x1_, x_);
    y1_ = std::min(y1_, y_);
    block_words_ += words;
    words_ += words;
  }

  void close_block() {
    if (!colours_.empty()) colours_.back().Stitches = static_cast<std::uint16_t>(block_words_);
  }

  ByteWriter stream_{4096};
  std::vector<formats::huccolor_t> colours_;
  std::size_t block_words_ = 0, words_ = 0;
  // The start point is part of every design.
  std::int64_t x_ = 0, y_ = 0, x0_ = 0, y0_ = 0, x1_ = 0, y1_ = 0;
};

// A flower of satin petals round a filled middle, on a running-stitch stem
// with two satin leaves; the start point is the flower's middle.
void flower(Stitcher& s) {
  const std::vector<Point> stem = {{0, 0}, {12, 180}, {-8, 360}, {-30, 520}, {-22, 660}};
  s.colour(kDarkGreen, stem[0]);
  s.run(stem);
  s.run({stem.rbegin(), stem.rend()});  // twice over, for a stem that shows
  s.colour(kGreen, {-22, 500});
  s.petal({-22, 500}, -2.5, 190, 90);
  s.jump({-5, 390}, {-5, 90});
  s.petal({-5, 390}, -0.6, 170, 80);
  s.colour(kDarkPink, {0, 0});
  constexpr int kPetals = 6;
  for (int i = 0; i < kPetals; ++i) s.petal({0, 0}, -kPi / 2 + 2 * kPi * i / kPetals, 270, 190);
  s.colour(kYellow, {0, -70});
  constexpr double kMiddle = 75;
  auto half = [&](double y) { return std::sqrt(std::max(0.0, kMiddle * kMiddle - y * y)); };
  s.fill(
      -kMiddle + 2, kMiddle - 2, [&](double y) { return -half(y); }, half);
}

// A curved leaf with a fill, its veins in satin and running stitch, and a
// ladybird sitting on it; the start point is the leaf's middle.
void leaf(Stitcher& s) {
  constexpr double kTop = -340, kBottom = 340, kHalfWidth = 170;
  auto mid = [&](double y) {
    return 60 * std::sin(kPi * (y - kTop) / (kBottom - kTop)) - 40 * (y - kTop) / (kBottom - kTop);
  };
  auto half = [&](double y) {
    const double t = (y - kTop) / (kBottom - kTop);
    return kHalfWidth * std::pow(std::sin(kPi * t), 0.8);
  };
  s.colour(kGreen, {mid(kTop + 4), kTop + 4});
  s.fill(
      kTop + 4, kBottom - 4, [&](double y) { return mid(y) - half(y); },
      [&](double y) { return mid(y) + half(y); });
  std::vector<Point> vein;
  for (double y = kBottom + 60; y >= kTop + 30; y -= 20)
    vein.push_back({mid(std::min(y, kBottom)), y});
  s.colour(kDarkGreen, vein.front());
  s.satin(vein, 14);
  // Side veins: out and back along the same line, from the top down.
  for (double y = kTop + 110; y < kBottom - 80; y += 90) {
    const Point root = {mid(y), y};
    s.jump(root, {root.x, root.y + (root.y < 0 ? 300 : -300)});
    for (const double side : {-1.0, 1.0}) {
      const double ty = y + 60;
      const Point tip = {mid(ty) + side * half(ty) * 0.75, y - 40};
      s.run({root, tip, root});
    }
  }
  constexpr Point kBug = {-30, 120};
  constexpr double kBugR = 70;
  s.colour(kRed, {kBug.x, kBug.y - kBugR + 3});
  auto bug = [&](double y) {
    return std::sqrt(std::max(0.0, kBugR * kBugR - (y - kBug.y) * (y - kBug.y)));
  };
  s.fill(
      kBug.y - kBugR + 3, kBug.y + kBugR - 3, [&](double y) { return kBug.x - bug(y); },
      [&](double y) { return kBug.x + bug(y); });
  s.colour(kBlack, {kBug.x, kBug.y - kBugR - 30});
  auto head = [&](double y) {
    const double dy = y - (kBug.y - kBugR - 8);
    return std::sqrt(std::max(0.0, 30.0 * 30.0 - dy * dy));
  };
  s.fill(
      kBug.y - kBugR - 36, kBug.y - kBugR + 4, [&](double y) { return kBug.x - head(y); },
      [&](double y) { return kBug.x + head(y); });
  s.satin({{kBug.x, kBug.y - kBugR}, {kBug.x, kBug.y + kBugR}}, 6);
  for (const Point spot : {Point{-32, -25}, Point{32, -25}, Point{-38, 22}, Point{38, 22}}) {
    const Point c = {kBug.x + spot.x, kBug.y + spot.y};
    s.jump({c.x - 12, c.y}, {c.x - 12, c.y - 300});
    s.satin({{c.x - 12, c.y}, {c.x + 12, c.y}}, 22);
  }
}

// GARDEN in satin letters 15 mm high, each letter one stroke that may run over
// itself, the letters joined by moves, over an orange zig-zag border; the
// start point is the middle of the word.
void lettering(Stitcher& s) {
  using Stroke = std::vector<Point>;
  const std::vector<Stroke> letters = {
      {{90, 25},
       {70, 0},
       {20, 0},
       {0, 20},
       {0, 130},
       {20, 150},
       {70, 150},
       {90, 130},
       {90, 80},
       {50, 80}},                                                                               // G
      {{0, 150}, {45, 0}, {90, 150}, {72, 92}, {18, 92}},                                       // A
      {{0, 150}, {0, 0}, {60, 0}, {85, 20}, {85, 55}, {60, 75}, {0, 75}, {40, 75}, {88, 150}},  // R
      {{0, 150}, {0, 0}, {50, 0}, {85, 30}, {85, 120}, {50, 150}, {0, 150}},                    // D
      {{85, 0}, {0, 0}, {0, 75}, {65, 75}, {0, 75}, {0, 150}, {85, 150}},                       // E
      {{0, 150}, {0, 0}, {85, 150}, {85, 0}},                                                   // N
  };
  constexpr double kAdvance = 130, kWidth = 5 * kAdvance + 90;
  const double left = -kWidth / 2, top = -110;
  for (std::size_t i = 0; i < letters.size(); ++i) {
    Stroke stroke;
    for (const Point p : letters[i])
      stroke.push_back({left + kAdvance * static_cast<double>(i) + p.x, top + p.y});
    if (i == 0)
      s.colour(kDarkBlue, stroke.front());
    else
      s.jump(stroke.front(),
             {stroke.front().x + (stroke.front().x < 0 ? 300 : -300), stroke.front().y});
    s.satin(stroke, 22);
  }
  // The border: a zig-zag under the word with a running line through it.
  const double y = top + 200;
  s.colour(kOrange, {left, y});
  Stroke zig;
  for (int k = 0; left + 25 * k <= left + kWidth; ++k)
    zig.push_back({left + 25 * k, y + ((k % 2) ? -18.0 : 18.0)});
  s.run(zig);
  s.run({{left + kWidth, y}, {left, y}});
}

}  // namespace

Result<Container> garden() {
  struct Part {
    const char* name;
    void (*draw)(Stitcher&);
    std::int16_t x, y;
  };
  constexpr Part kParts[] = {
      {"flower", flower, -350, -300},
      {"leaf", leaf, 380, -260},
      {"lettering", lettering, 0, 620},
  };
  Container c;
  Rng unused(0);
  for (const auto& part : kParts) {
    Stitcher s;
    part.draw(s);
    Design d;
    d.huc = s.huc(part.name, d);
    d.recipe.Xoffset = part.x;
    d.recipe.Yoffset = part.y;
    KORVANE_TRY(shv, shvgen::build_shv(formats::ByteReader(d.huc, std::string(part.name) + ".huc"),
                                       part.name));
    d.shv = std::move(shv);
    c.designs.push_back(std::move(d));
  }
  c.dhv = wrap_container("garden", c.designs, Unread::kZero, unused);
  return c;
}

}  // namespace kvn::example

#include "inspect/realistic.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <string>

namespace kvn::inspect {
namespace {

using formats::NeedleOp;
using formats::Pattern;

// Light comes from the upper left and from above the fabric (x right, y down,
// z towards the viewer), so shadows fall to the lower right. Mostly from
// above: a thread in any direction then shows its highlight.
constexpr double kLightX = -1, kLightY = -1, kLightZ = 2.5;
constexpr double kAmbient = 0.28;
constexpr double kDiffuse = 0.8;
// The highlight is white light added to the thread's own: a black thread
// reflects it as well as a white one does, which is what keeps black and
// navy threads from turning into flat black bands.
constexpr double kSpecular = 0.55;
constexpr double kShininess = 12;
// Where a thread dives into the fabric it turns away from the light.
constexpr double kEndDarkening = 0.35;
// The shadow a thread casts: offset and widened by these fractions of its
// half width, at most this dark. Offset plus widening stay under the half
// width, so that nothing falls further from a stitch than the thread's width.
constexpr double kShadowOffset = 0.35;
constexpr double kShadowGrow = 0.12;
constexpr double kShadowSoftness = 0.6;
constexpr float kShadowStrength = 0.4f;
// Across a thread the shading is looked up, not computed, at this many places.
constexpr int kProfileSteps = 64;

double srgb_to_linear(double v) {
  return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double linear_to_srgb(double v) {
  v = std::clamp(v, 0.0, 1.0);
  return v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
}

struct Point {
  double x, y;
};

// The shading of a thread depends on its direction only through this many
// steps around the circle: each colour's profiles are made once per step.
constexpr int kDirections = 128;
constexpr int kSrgbSteps = 4096;
constexpr double kPi = 3.14159265358979323846;

// Linear light to 8-bit sRGB by table: a power per pixel would cost more than
// the drawing.
class SrgbTable {
 public:
  SrgbTable() {
    for (int i = 0; i < kSrgbSteps; ++i)
      v_[static_cast<std::size_t>(i)] =
          static_cast<float>(255 * linear_to_srgb(static_cast<double>(i) / (kSrgbSteps - 1)));
  }
  float operator()(double lin) const {
    const double at = std::clamp(lin, 0.0, 1.0) * (kSrgbSteps - 1);
    return v_[static_cast<std::size_t>(at + 0.5)];
  }

 private:
  std::array<float, kSrgbSteps> v_{};
};

// The threads put on the pixels one stitch at a time, the last sewn first: each
// goes under what is already there, so that a pixel once hidden costs nothing
// more however many stitches lie beneath it (dense fills lie many deep). The
// pixels hold premultiplied colour and, in alpha, how much is hidden; the
// fabric goes under everything at the end. Per stitch only the rows and
// columns its capsule can touch are visited, and nothing is allocated.
class ThreadPainter {
 public:
  ThreadPainter(RgbaPicture& picture, double half_width)
      : p_(picture),
        r_(half_width),
        shorten_(0),
        words_((std::size_t{picture.width} + 63) / 64),
        hidden_(words_ * picture.height, 0) {}

  void set_needle_hole(double pixels) { shorten_ = pixels; }

  void set_colour(const Rgb& c) {
    lin_ = {srgb_to_linear(c.r / 255.0), srgb_to_linear(c.g / 255.0),
            srgb_to_linear(c.b / 255.0)};
    made_.fill(false);
  }

  void stitch(Point a, Point b) {
    double dx = b.x - a.x, dy = b.y - a.y;
    const double len = std::sqrt(dx * dx + dy * dy);
    // A needle going down where it came up leaves no thread to see.
    if (!(len > 1e-6)) return;
    const double cut = std::min(shorten_, 0.25 * len);
    const double ux = dx / len, uy = dy / len;
    a = {a.x + ux * cut, a.y + uy * cut};
    b = {b.x - ux * cut, b.y - uy * cut};
    auto turn = static_cast<int>(std::lround((std::atan2(uy, ux) + kPi) / (2 * kPi) * kDirections));
    turn %= kDirections;
    profile_ = &profile_for(turn);
    paint(a, b, kShadowOffset * r_, r_ * (1 + kShadowGrow));
  }

 private:
  using Profile = std::array<std::array<float, 3>, kProfileSteps>;

  // The thread's colour across its width, from one edge (-1) to the other
  // (+1), lit as a cylinder lying in direction `turn`.
  const Profile& profile_for(int turn) {
    const auto t = static_cast<std::size_t>(turn);
    if (made_[t]) return profiles_[t];
    made_[t] = true;
    const double angle = 2 * kPi * turn / kDirections - kPi;
    const double ux = std::cos(angle), uy = std::sin(angle);
    const double ll = std::sqrt(kLightX * kLightX + kLightY * kLightY + kLightZ * kLightZ);
    const double lx = kLightX / ll, ly = kLightY / ll, lz = kLightZ / ll;
    const double hl = std::sqrt(lx * lx + ly * ly + (lz + 1) * (lz + 1));
    const double hx = lx / hl, hy = ly / hl, hz = (lz + 1) / hl;
    const double px = -uy, py = ux;  // across the thread
    for (int i = 0; i < kProfileSteps; ++i) {
      const double u = -1 + 2.0 * i / (kProfileSteps - 1);
      const double nz = std::sqrt(std::max(0.0, 1 - u * u));
      const double nx = u * px, ny = u * py;
      const double diffuse = std::max(0.0, nx * lx + ny * ly + nz * lz);
      const double sheen = std::pow(std::max(0.0, nx * hx + ny * hy + nz * hz), kShininess);
      for (std::size_t c = 0; c < 3; ++c)
        profiles_[t][static_cast<std::size_t>(i)][c] =
            srgb_(lin_[c] * (kAmbient + kDiffuse * diffuse) + kSpecular * sheen);
    }
    return profiles_[t];
  }

  // The thread from a to b under what is drawn and, in the same pass, its
  // shadow under the thread: the capsule of radius `sr` offset by `off` both
  // ways. Along a row every measure changes
  // by a constant step; coverage at the edges goes with the squared distance,
  // which needs no root and differs from the true distance by little within
  // the one-pixel rim.
  void paint(Point a, Point b, double off, double sr) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    const double len = std::sqrt(len2);
    const double soft = kShadowSoftness * r_ + 0.5;
    const double thread_reach = r_ + 0.5, shadow_reach = sr + 0.5 * soft;
    const Point sa{a.x + off, a.y + off}, sb{b.x + off, b.y + off};
    const auto W = static_cast<double>(p_.width), H = static_cast<double>(p_.height);
    const double top = std::max(0.0, std::floor(std::min(a.y, b.y) - thread_reach));
    const double bottom = std::min(H - 1, std::ceil(std::max(sa.y, sb.y) + shadow_reach));
    auto ring = [](double inner, double outer, float& in2, float& out2, float& scale) {
      inner = std::max(0.0, inner);
      in2 = static_cast<float>(inner * inner);
      out2 = static_cast<float>(outer * outer);
      scale = out2 > in2 ? 1.0f / (out2 - in2) : 0.0f;
    };
    float t_in2, t_out2, t_scale, s_in2, s_out2, s_scale;
    ring(r_ - 0.5, r_ + 0.5, t_in2, t_out2, t_scale);
    ring(sr - 0.5 * soft, sr + 0.5 * soft, s_in2, s_out2, s_scale);
    const auto fdx = static_cast<float>(dx), fdy = static_cast<float>(dy);
    const auto foff = static_cast<float>(off);
    const auto inv_len2 = static_cast<float>(1 / len2);
    const auto across_scale = static_cast<float>((kProfileSteps - 1) * 0.5 / (len * r_));
    const auto end_scale = static_cast<float>(len / (1.5 * r_));
    const float mid = 0.5f * (kProfileSteps - 1);
    const auto& prof = *profile_;
    const Capsule thread(a, b, thread_reach), shade_of(sa, sb, shadow_reach);
    for (double row = top; row <= bottom; ++row) {
      const double yc = row + 0.5;
      double lo = 0, hi = 0, slo = 0, shi = 0;
      const bool thread_row = thread.span(yc, lo, hi);
      if (shade_of.span(yc, slo, shi)) {
        lo = thread_row ? std::min(lo, slo) : slo;
        hi = thread_row ? std::max(hi, shi) : shi;
      } else if (!thread_row) {
        continue;
      }
      const double first = std::max(0.0, std::floor(lo));
      const double last = std::min(W - 1, std::ceil(hi));
      if (first > last) continue;
      const auto y = static_cast<std::size_t>(row);
      std::uint8_t* const line = p_.rgba.data() + y * p_.width * 4;
      std::uint64_t* const hidden = hidden_.data() + y * words_;
      const auto ry = static_cast<float>(yc - a.y);
      const auto end = static_cast<std::size_t>(last) + 1;
#if defined(__GNUC__)
      // A stitch's next rows lie a picture's width further on, where the
      // cache has nothing yet: ask for them while this row is worked, unless
      // threads already hide them there.
      if (row + 2 <= bottom) {
        const std::uint8_t* ahead = line + 2 * std::size_t{p_.width} * 4;
        const std::uint64_t* mask = hidden + 2 * words_;
        const auto from = static_cast<std::size_t>(first);
        if (~mask[from / 64]) __builtin_prefetch(ahead + 4 * from, 1);
        if (~mask[(end - 1) / 64]) __builtin_prefetch(ahead + 4 * (end - 1), 1);
      }
#endif
      // Only the pixels that nothing nearer the viewer hides yet, found 64 at
      // a time in the mask: a bit a pixel stays in the cache, where the
      // pixels would not.
      const auto from = static_cast<std::size_t>(first);
      const std::size_t first_word = from / 64, last_word = (end - 1) / 64;
      for (std::size_t w = first_word; w <= last_word; ++w) {
        std::uint64_t todo = ~hidden[w];
        if (w == first_word) todo &= ~std::uint64_t{0} << (from % 64);
        if (w == last_word) todo &= ~std::uint64_t{0} >> (63 - (end - 1) % 64);
        for (; todo != 0; todo &= todo - 1) {
          const std::size_t x = w * 64 + static_cast<std::size_t>(std::countr_zero(todo));
          std::uint8_t* const px = line + 4 * x;
          const auto rx = static_cast<float>(static_cast<double>(x) + 0.5 - a.x);
          const float open = static_cast<float>(0xFF - px[3]) * (1.0f / 255);
          const float t = std::clamp((rx * fdx + ry * fdy) * inv_len2, 0.0f, 1.0f);
          const float ex = rx - t * fdx, ey = ry - t * fdy;
          const float d2 = ex * ex + ey * ey;
          const float cover = d2 <= t_in2 ? 1.0f : d2 >= t_out2 ? 0.0f : (t_out2 - d2) * t_scale;
          // The shadow falls only where the thread leaves something showing.
          float keep = 1;
          if (cover < 1) {
            const float sx = rx - foff, sy = ry - foff;
            const float st = std::clamp((sx * fdx + sy * fdy) * inv_len2, 0.0f, 1.0f);
            const float sex = sx - st * fdx, sey = sy - st * fdy;
            const float sd2 = sex * sex + sey * sey;
            if (sd2 < s_out2)
              keep =
                  1 - (sd2 <= s_in2 ? kShadowStrength : kShadowStrength * (s_out2 - sd2) * s_scale);
          }
          if (cover <= 0) {
            if (keep >= 1) continue;
            px[3] = seen(open * keep);
            if (px[3] == 0xFF) hidden[x / 64] |= std::uint64_t{1} << (x % 64);
            continue;
          }
          const float across = std::clamp((ry * fdx - rx * fdy) * across_scale + mid, 0.0f,
                                          static_cast<float>(kProfileSteps - 1));
          const float from_end = std::min(t, 1 - t) * end_scale;
          const float dip = from_end >= 1 ? 0.0f : (1 - from_end) * (1 - from_end);
          const float shade = open * cover * (1 - static_cast<float>(kEndDarkening) * dip);
          const auto& c = prof[static_cast<std::size_t>(across + 0.5f)];
          px[0] = add(px[0], c[0] * shade);
          px[1] = add(px[1], c[1] * shade);
          px[2] = add(px[2], c[2] * shade);
          px[3] = seen(open * (1 - cover) * keep);
          if (px[3] == 0xFF) hidden[x / 64] |= std::uint64_t{1} << (x % 64);
        }
      }
    }
  }

  // Opacity from what still shows through; colour added to what is there.
  static std::uint8_t seen(float open) { return static_cast<std::uint8_t>(255.5f - 255 * open); }
  static std::uint8_t add(std::uint8_t v, float more) {
    return static_cast<std::uint8_t>(std::min(255.0f, static_cast<float>(v) + more + 0.5f));
  }

  // Where rows cross the capsule of radius r around a-b: the capsule is
  // convex, so the union of its two end discs and its band is one interval.
  // What does not change from row to row is worked out once.
  class Capsule {
   public:
    Capsule(Point a, Point b, double r) : a_(a), b_(b), r_(r) {
      dx_ = b.x - a.x;
      dy_ = b.y - a.y;
      len2_ = dx_ * dx_ + dy_ * dy_;
      rlen_ = r * std::sqrt(len2_);
      flat_x_ = std::abs(dx_) < 1e-12;
      flat_y_ = std::abs(dy_) < 1e-12;
      inv_dx_ = flat_x_ ? 0 : 1 / dx_;
      inv_dy_ = flat_y_ ? 0 : 1 / dy_;
    }

    bool span(double yc, double& lo, double& hi) const {
      bool any = false;
      auto add = [&](double l, double h) {
        if (l > h) return;
        lo = any ? std::min(lo, l) : l;
        hi = any ? std::max(hi, h) : h;
        any = true;
      };
      for (const Point& c : {a_, b_}) {
        const double d = yc - c.y;
        if (std::abs(d) <= r_) {
          const double half = std::sqrt(r_ * r_ - d * d);
          add(c.x - half, c.x + half);
        }
      }
      // The band: 0 <= t <= 1 and |across| <= r, each linear in x.
      double l = -1e300, h = 1e300;
      const double ry = yc - a_.y;
      // (x - a.x) * dx + ry * dy within [0, len2]
      if (flat_x_) {
        const double m = ry * dy_;
        if (m < 0 || m > len2_) l = 1, h = 0;
      } else {
        double x1 = a_.x - ry * dy_ * inv_dx_, x2 = x1 + len2_ * inv_dx_;
        if (x1 > x2) std::swap(x1, x2);
        l = std::max(l, x1), h = std::min(h, x2);
      }
      // ry * dx - (x - a.x) * dy within [-r len, r len]
      if (flat_y_) {
        const double m = ry * dx_;
        if (m < -rlen_ || m > rlen_) l = 1, h = 0;
      } else {
        double x1 = a_.x + (ry * dx_ - rlen_) * inv_dy_, x2 = a_.x + (ry * dx_ + rlen_) * inv_dy_;
        if (x1 > x2) std::swap(x1, x2);
        l = std::max(l, x1), h = std::min(h, x2);
      }
      add(l, h);
      return any;
    }

   private:
    Point a_, b_;
    double r_, dx_ = 0, dy_ = 0, len2_ = 0, rlen_ = 0, inv_dx_ = 0, inv_dy_ = 0;
    bool flat_x_ = false, flat_y_ = false;
  };

  RgbaPicture& p_;
  double r_;
  double shorten_;
  std::array<double, 3> lin_{};
  SrgbTable srgb_;
  std::array<Profile, kDirections> profiles_{};
  std::array<bool, kDirections> made_{};
  const Profile* profile_ = nullptr;
  std::size_t words_;
  std::vector<std::uint64_t> hidden_;  // a bit a pixel: nothing more shows there
};

void clear(RgbaPicture& p) { p.rgba.assign(std::size_t{p.width} * p.height * 4, 0); }

// What shows through the threads at pixel i, straight colour and alpha.
struct Under {
  Rgb c;
  std::uint8_t a;
};

// `under(i)` beneath the drawn threads; then straight colour for the encoders.
template <class UnderFn>
void put_under(RgbaPicture& p, UnderFn under) {
  for (std::size_t i = 0, n = std::size_t{p.width} * p.height; i < n; ++i) {
    std::uint8_t* px = p.rgba.data() + 4 * i;
    const unsigned open = 0xFFu - px[3];
    if (open != 0) {
      const Under u = under(i);
      const unsigned below = (open * u.a + 127) / 255;
      const std::uint8_t uc[3] = {u.c.r, u.c.g, u.c.b};
      for (std::size_t c = 0; c < 3; ++c)
        px[c] = static_cast<std::uint8_t>(std::min(255u, px[c] + (below * uc[c] + 127) / 255));
      px[3] = static_cast<std::uint8_t>(px[3] + below);
    }
    const unsigned a = px[3];
    if (a == 0 || a == 0xFF) continue;
    for (std::size_t c = 0; c < 3; ++c)
      px[c] = static_cast<std::uint8_t>(std::min(255u, (px[c] * 255u + a / 2) / a));
  }
}

Under fabric_under(const std::optional<Rgb>& fabric) {
  return fabric ? Under{*fabric, 0xFF} : Under{Rgb{0, 0, 0}, 0};
}

double half_width_pixels(const ThreadLook& look, double pixels_per_mm) {
  return std::max(0.25, 0.5 * look.thread_width_mm * pixels_per_mm);
}

// Every stitch of `pattern`, shifted by (dx, dy) tenths, at pixel
// origin_x + x * k, origin_y + y * k; the last sewn first.
void paint_pattern(ThreadPainter& painter, const Pattern& pattern, std::int64_t dx, std::int64_t dy,
                   double origin_x, double origin_y, double k) {
  std::size_t block = static_cast<std::size_t>(
      std::count_if(pattern.events.begin(), pattern.events.end(),
                    [](const auto& e) { return e.op == NeedleOp::kColourChange; }));
  painter.set_colour(thread_colour(pattern, block));
  auto at = [&](std::int64_t px, std::int64_t py) {
    return Point{origin_x + static_cast<double>(px + dx) * k,
                 origin_y + static_cast<double>(py + dy) * k};
  };
  for (std::size_t i = pattern.events.size(); i-- > 0;) {
    const auto& e = pattern.events[i];
    if (e.op == NeedleOp::kColourChange) painter.set_colour(thread_colour(pattern, --block));
    if (e.op != NeedleOp::kStitch) continue;
    const std::int64_t x = i == 0 ? 0 : pattern.events[i - 1].x;
    const std::int64_t y = i == 0 ? 0 : pattern.events[i - 1].y;
    painter.stitch(at(x, y), at(e.x, e.y));
  }
}

double clamp_look(double v, double lo, double hi, double fallback) {
  return std::isfinite(v) ? std::clamp(v, lo, hi) : fallback;
}

}  // namespace

std::optional<double> thread_width_for_weight(int weight) {
  switch (weight) {
    case 30:
      return 0.46;
    case 40:
      return 0.4;
    case 60:
      return 0.33;
    default:
      return std::nullopt;
  }
}

RgbaPicture realistic_picture(const Pattern& pattern, const ThreadLook& look) {
  // The start point too, as the line drawing spans it.
  std::int64_t minx = 0, miny = 0, maxx = 0, maxy = 0;
  {
    std::int64_t x = 0, y = 0;
    for (const auto& e : pattern.events) {
      if (e.op == NeedleOp::kStitch) {
        for (const auto& [px, py] :
             {std::pair{x, y}, std::pair{std::int64_t{e.x}, std::int64_t{e.y}}}) {
          minx = std::min(minx, px), maxx = std::max(maxx, px);
          miny = std::min(miny, py), maxy = std::max(maxy, py);
        }
      }
      x = e.x;
      y = e.y;
    }
  }
  double ppm = clamp_look(look.pixels_per_mm, kMinPixelsPerMm, kMaxPixelsPerMm, 10);
  const double width_mm = clamp_look(look.thread_width_mm, kMinThreadWidth, kMaxThreadWidth, 0.4);
  // A margin of fabric around the threads, wider than the thread and its shadow.
  auto margin_mm = [&] { return std::max(1.0, 2 * width_mm); };
  const auto span_mm =
      static_cast<double>(std::max(maxx - minx, maxy - miny)) / 10 + 2 * margin_mm();
  if (span_mm * ppm > kMaxRealisticSide) ppm = kMaxRealisticSide / span_mm;
  const double k = ppm / 10;
  const double margin = margin_mm() * ppm;
  RgbaPicture p;
  p.width =
      static_cast<std::uint32_t>(std::ceil(static_cast<double>(maxx - minx) * k + 2 * margin));
  p.height =
      static_cast<std::uint32_t>(std::ceil(static_cast<double>(maxy - miny) * k + 2 * margin));
  p.width = std::clamp<std::uint32_t>(p.width, 1, kMaxRealisticSide);
  p.height = std::clamp<std::uint32_t>(p.height, 1, kMaxRealisticSide);
  clear(p);
  ThreadLook clamped = look;
  clamped.thread_width_mm = width_mm;
  ThreadPainter painter(p, half_width_pixels(clamped, ppm));
  painter.set_needle_hole(kNeedleHoleMm * ppm);
  paint_pattern(painter, pattern, 0, 0, margin - static_cast<double>(minx) * k,
                margin - static_cast<double>(miny) * k, k);
  const Under fabric = fabric_under(look.fabric);
  put_under(p, [&](std::size_t) { return fabric; });
  return p;
}

Status check_rgba(const inspect::RgbaPicture& picture, const std::string& name) {
  if (picture.width == 0 || picture.height == 0 ||
      picture.rgba.size() != std::size_t{picture.width} * picture.height * 4)
    return make_error(ErrorCode::kCannotEncode, name,
                      "a picture of " + std::to_string(picture.width) + " x " +
                          std::to_string(picture.height) + " pixels holds " +
                          std::to_string(picture.rgba.size()) + " bytes");
  return Ok{};
}

bool opaque(const inspect::RgbaPicture& picture) {
  for (std::size_t i = 3; i < picture.rgba.size(); i += 4)
    if (picture.rgba[i] != 0xFF) return false;
  return true;
}

RgbaPicture to_rgba(const Picture& picture) {
  RgbaPicture p;
  p.width = picture.width;
  p.height = picture.height;
  p.rgba.resize(picture.pixels.size() * 4);
  for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
    const Rgb c = picture.palette[picture.pixels[i]];
    p.rgba[4 * i] = c.r;
    p.rgba[4 * i + 1] = c.g;
    p.rgba[4 * i + 2] = c.b;
    p.rgba[4 * i + 3] = 0xFF;
  }
  return p;
}

RgbaPicture realistic_layout(std::span<const PlacedPattern> designs, const ThreadLook& look) {
  const double ppm = clamp_look(look.pixels_per_mm, kMinPixelsPerMm, kMaxPixelsPerMm, 10);
  const double width_mm = clamp_look(look.thread_width_mm, kMinThreadWidth, kMaxThreadWidth, 0.4);
  // Hundredths of a pixel a tenth of a millimetre: the frame scales in whole ratios.
  const auto num = std::max<std::int64_t>(1, std::llround(ppm * 10));
  const LayoutFrame frame = layout_frame(designs, num, 100, kMaxRealisticSide, false);
  const Picture& d = frame.picture;
  RgbaPicture p;
  p.width = d.width;
  p.height = d.height;
  clear(p);
  ThreadLook clamped = look;
  clamped.thread_width_mm = width_mm;
  const double real_ppm = frame.pixels_per_tenth * 10;
  ThreadPainter painter(p, half_width_pixels(clamped, real_ppm));
  painter.set_needle_hole(kNeedleHoleMm * real_ppm);
  for (auto placed = designs.rbegin(); placed != designs.rend(); ++placed)
    paint_pattern(painter, *placed->pattern, placed->x_offset, placed->y_offset, frame.origin_x,
                  frame.origin_y, frame.pixels_per_tenth);
  // The hoop and the outlines under the threads, the caption strip as it is;
  // then the marks and labels over them, so that they stay readable.
  auto is_over = [&](std::uint8_t v) { return v == kMarkIndex || v == frame.label_text; };
  auto drawing = [&](std::size_t i) { return i < std::size_t{frame.drawing_height} * d.width; };
  const Under fabric = fabric_under(look.fabric);
  put_under(p, [&](std::size_t i) {
    const std::uint8_t v = d.pixels[i];
    if (drawing(i) && (v == kBackgroundIndex || v == kBackgroundAltIndex || is_over(v)))
      return fabric;
    return Under{d.palette[v], 0xFF};
  });
  for (std::size_t i = 0; i < std::size_t{frame.drawing_height} * d.width; ++i) {
    if (!is_over(d.pixels[i])) continue;
    const Rgb c = d.palette[d.pixels[i]];
    p.rgba[4 * i] = c.r, p.rgba[4 * i + 1] = c.g, p.rgba[4 * i + 2] = c.b;
    p.rgba[4 * i + 3] = 0xFF;
  }
  return p;
}

}  // namespace kvn::inspect

#include "convert/placement.hpp"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

namespace kvn::convert {
namespace {

using formats::HoopSize;
using formats::NeedleOp;
using formats::Pattern;

struct Size {
  std::int64_t width = 0, height = 0;
};

Size size_of(const formats::PatternExtents& e) {
  if (e.empty) return {};
  return {std::int64_t{e.max_x} - e.min_x, std::int64_t{e.max_y} - e.min_y};
}

Size turned(Size s) { return {s.height, s.width}; }

// The hoops are listed smallest first, so the first that holds it is the one it needs.
const HoopSize* hoop_for(std::span<const HoopSize> hoops, Size s) {
  for (const auto& h : hoops)
    if (s.width <= h.width && s.height <= h.height) return &h;
  return nullptr;
}

std::string tenths_mm(std::int64_t tenths) {
  const std::int64_t a = tenths < 0 ? -tenths : tenths;
  std::string s = tenths < 0 ? "-" : "";
  s.append(std::to_string(a / 10)).append(".").append(std::to_string(a % 10));
  return s;
}

std::string size_text(Size s) {
  std::string t = tenths_mm(s.width);
  t.append(" x ").append(tenths_mm(s.height)).append(" mm");
  return t;
}

std::string hoop_text(const HoopSize& h) {
  std::string t = std::to_string(h.width / 10);
  t.append(" x ").append(std::to_string(h.height / 10)).append(" mm hoop");
  return t;
}

int degrees(Turn t) {
  switch (t) {
    case Turn::k90:
      return 90;
    case Turn::k180:
      return 180;
    case Turn::k270:
      return 270;
    case Turn::kNone:
    case Turn::kToFit:
      break;
  }
  return 0;
}

std::optional<std::int32_t> narrow(std::int64_t v) {
  if (!formats::held(v)) return std::nullopt;
  return static_cast<std::int32_t>(v);
}

// y runs downwards, so a quarter turn clockwise takes (x, y) to (-y, x).
Status turn(Pattern& p, Turn t, const std::string& file) {
  for (auto& e : p.events) {
    const std::int64_t x = e.x, y = e.y;
    std::int64_t nx = x, ny = y;
    if (t == Turn::k90) {
      nx = -y;
      ny = x;
    } else if (t == Turn::k180) {
      nx = -x;
      ny = -y;
    } else if (t == Turn::k270) {
      nx = y;
      ny = -x;
    }
    const auto cx = narrow(nx), cy = narrow(ny);
    if (!cx || !cy)
      return make_error(ErrorCode::kCoordinateOutOfRange, file,
                        "turned, the stitches would reach further than any design can");
    e = {*cx, *cy, e.op};
  }
  return Ok{};
}

std::int64_t floor_half(std::int64_t v) { return v >= 0 ? v / 2 : -((1 - v) / 2); }

std::string moved_text(std::int64_t dx, std::int64_t dy) {
  std::string t = "moved";
  const auto part = [&](std::int64_t d, const char* less, const char* more) {
    if (d == 0) return;
    if (t.size() > 5) t.append(" and");
    t.append(" ").append(tenths_mm(d < 0 ? -d : d)).append(" mm ").append(d < 0 ? less : more);
  };
  part(dx, "to the left", "to the right");
  part(dy, "up", "down");
  t.append(" so that the machine starts at the middle of the design");
  return t;
}

// Machines start at the hoop's centre, so the design's middle goes to the
// origin. The source's first stitch was sewn from its own origin; a jump to
// it keeps that stitch where it was instead of sewing it from the middle.
Status recentre(Pattern& p, const formats::PatternExtents& e, std::vector<Adjustment>& adjustments,
                const std::string& file) {
  if (e.empty) return Ok{};
  const std::int64_t cx = floor_half(std::int64_t{e.min_x} + e.max_x);
  const std::int64_t cy = floor_half(std::int64_t{e.min_y} + e.max_y);
  // A tenth of a millimetre is the rounding of the middle itself.
  if (cx >= -1 && cx <= 1 && cy >= -1 && cy <= 1) return Ok{};
  // Before the first move the needle stands at the start point, wherever that now is.
  std::size_t first = 0;
  for (; first < p.events.size(); ++first) {
    auto& ev = p.events[first];
    if (ev.op == NeedleOp::kStitch || ev.op == NeedleOp::kJump) break;
    ev = {0, 0, ev.op};
  }
  // Checked once for the whole design rather than event by event, so that
  // the loop is a plain pass over the positions.
  bool beyond = false;
  for (std::size_t i = first; i < p.events.size(); ++i) {
    auto& ev = p.events[i];
    const std::int64_t x = ev.x - cx, y = ev.y - cy;
    beyond |= !formats::held(x) || !formats::held(y);
    ev = {static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), ev.op};
  }
  if (beyond)
    return make_error(ErrorCode::kCoordinateOutOfRange, file,
                      "moved to its middle, the stitches would reach further than any design can");
  if (first < p.events.size() && p.events[first].op == NeedleOp::kStitch) {
    const formats::NeedleEvent to_first{p.events[first].x, p.events[first].y, NeedleOp::kJump};
    p.events.insert(p.events.begin() + static_cast<std::ptrdiff_t>(first), to_first);
  }
  adjustments.push_back({"recentred", 1, moved_text(-cx, -cy)});
  return Ok{};
}

}  // namespace

Result<formats::Pattern> place_for_target(formats::Pattern p, const formats::Format& target,
                                          const ConvertOptions& options,
                                          std::vector<Adjustment>& adjustments,
                                          const std::string& file) {
  const auto hoops = target.limits.hoops;
  Turn t = options.rotate;
  if (t == Turn::kToFit) {
    const Size s = size_of(formats::stitch_extents(p));
    t = !hoops.empty() && !hoop_for(hoops, s) && hoop_for(hoops, turned(s)) ? Turn::k90
                                                                             : Turn::kNone;
  }
  if (t != Turn::kNone) {
    if (auto ok = turn(p, t, file); !ok) return ok.error();
    std::string why = "turned by " + std::to_string(degrees(t)) + " degrees clockwise";
    if (options.rotate == Turn::kToFit)
      why.append(" so that it fits the ").append(hoop_text(*hoop_for(hoops, size_of(formats::stitch_extents(p)))));
    adjustments.push_back({"turned", 1, why});
  }

  // Documents and pictures list the design as it was read: no machine sews them.
  if (target.family == formats::Family::kDocument || target.family == formats::Family::kPicture)
    return p;

  // One walk over the stitches serves both the hoop and the middle.
  const auto extents = formats::stitch_extents(p);
  const Size s = size_of(extents);
  if (!hoops.empty() && !hoop_for(hoops, s)) {
    std::string what = "it is " + size_text(s) + " and the largest " + target.name + " hoop is the " +
                       hoop_text(hoops.back());
    if (!options.allow_oversize) {
      const HoopSize* other = hoop_for(hoops, turned(s));
      const bool was_turned = t == Turn::k90 || t == Turn::k270;
      if (other && was_turned)
        what.append("; as it lies, unturned, it fits the ").append(hoop_text(*other));
      else if (other)
        what.append("; turned by 90 degrees it fits the ")
            .append(hoop_text(*other))
            .append(": use --rotate 90");
      else
        what.append("; turned, it fits no hoop either");
      what.append(" (--allow-oversize writes it as it is)");
      return make_error(ErrorCode::kLargerThanHoops, file, what);
    }
    adjustments.push_back(
        {"oversize", 1, "written although no hoop holds it: " + what + "; the machine may refuse it"});
  }
  if (!options.keep_origin)
    if (auto ok = recentre(p, extents, adjustments, file); !ok) return ok.error();
  return p;
}

}  // namespace kvn::convert

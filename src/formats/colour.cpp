#include "formats/colour.hpp"

#include <array>
#include <cmath>

namespace kvn::formats {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadians = kPi / 180.0;
constexpr double kPow25To7 = 6103515625.0;

// Linear light of each 8-bit value, computed once: every pick converts a
// whole chart, and the power function is most of a conversion's cost.
double linear(std::uint8_t c) {
  static const auto table = [] {
    std::array<double, 256> t{};
    for (std::size_t i = 0; i < t.size(); ++i) {
      const double v = static_cast<double>(i) / 255.0;
      t[i] = v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    }
    return t;
  }();
  return table[c];
}

double pow7(double v) {
  const double v2 = v * v;
  return v2 * v2 * v2 * v;
}

double lab_f(double t) {
  constexpr double kEpsilon = 216.0 / 24389.0;
  constexpr double kKappa = 24389.0 / 27.0;
  return t > kEpsilon ? std::cbrt(t) : (kKappa * t + 16.0) / 116.0;
}

// Hue angle in degrees, 0 to 360; a grey has none and counts as 0.
double hue(double b, double a) {
  if (a == 0.0 && b == 0.0) return 0.0;
  const double h = std::atan2(b, a) / kRadians;
  return h < 0.0 ? h + 360.0 : h;
}

}  // namespace

Lab lab_of(Rgb c) {
  const double r = linear(c.r), g = linear(c.g), b = linear(c.b);
  const double x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / 0.95047;
  const double y = 0.2126729 * r + 0.7151522 * g + 0.0721750 * b;
  const double z = (0.0193339 * r + 0.1191920 * g + 0.9503041 * b) / 1.08883;
  const double fx = lab_f(x), fy = lab_f(y), fz = lab_f(z);
  return {116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz)};
}

double delta_e2000(const Lab& x, const Lab& y) {
  const double c_bar = (std::sqrt(x.a * x.a + x.b * x.b) + std::sqrt(y.a * y.a + y.b * y.b)) / 2.0;
  const double c_bar7 = pow7(c_bar);
  // Near-greys have their a axis stretched, where the eye tells hues apart least.
  const double g = 0.5 * (1.0 - std::sqrt(c_bar7 / (c_bar7 + kPow25To7)));
  const double a1 = (1.0 + g) * x.a, a2 = (1.0 + g) * y.a;
  const double c1 = std::sqrt(a1 * a1 + x.b * x.b), c2 = std::sqrt(a2 * a2 + y.b * y.b);
  const double h1 = hue(x.b, a1), h2 = hue(y.b, a2);
  const bool both_chromatic = c1 * c2 != 0.0;

  double dh = 0.0;
  if (both_chromatic) {
    dh = h2 - h1;
    if (dh > 180.0) dh -= 360.0;
    if (dh < -180.0) dh += 360.0;
  }
  const double d_l = y.l - x.l;
  const double d_c = c2 - c1;
  const double d_h = 2.0 * std::sqrt(c1 * c2) * std::sin(dh / 2.0 * kRadians);

  const double l_bar = (x.l + y.l) / 2.0;
  const double c_bar_p = (c1 + c2) / 2.0;
  double h_bar = h1 + h2;
  if (both_chromatic) {
    // The mean of two angles goes the short way round the circle.
    if (std::fabs(h1 - h2) <= 180.0)
      h_bar /= 2.0;
    else
      h_bar = h_bar < 360.0 ? (h_bar + 360.0) / 2.0 : (h_bar - 360.0) / 2.0;
  }
  const double t = 1.0 - 0.17 * std::cos((h_bar - 30.0) * kRadians) +
                   0.24 * std::cos(2.0 * h_bar * kRadians) +
                   0.32 * std::cos((3.0 * h_bar + 6.0) * kRadians) -
                   0.20 * std::cos((4.0 * h_bar - 63.0) * kRadians);
  const double d_theta = 30.0 * std::exp(-((h_bar - 275.0) / 25.0) * ((h_bar - 275.0) / 25.0));
  const double c_bar_p7 = pow7(c_bar_p);
  const double r_c = 2.0 * std::sqrt(c_bar_p7 / (c_bar_p7 + kPow25To7));
  const double l50 = (l_bar - 50.0) * (l_bar - 50.0);
  const double s_l = 1.0 + 0.015 * l50 / std::sqrt(20.0 + l50);
  const double s_c = 1.0 + 0.045 * c_bar_p;
  const double s_h = 1.0 + 0.015 * c_bar_p * t;
  const double r_t = -std::sin(2.0 * d_theta * kRadians) * r_c;
  const double l_term = d_l / s_l, c_term = d_c / s_c, h_term = d_h / s_h;
  return std::sqrt(l_term * l_term + c_term * c_term + h_term * h_term + r_t * c_term * h_term);
}

double delta_e2000(Rgb x, Rgb y) { return delta_e2000(lab_of(x), lab_of(y)); }

}  // namespace kvn::formats

#include "cli/demo.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace wdi::cli {

namespace {

constexpr double kTwoPi = 6.283185307179586;

struct Colour {
  double y, cb, cr;
};

uint8_t clampByte(double v, double lo, double hi) {
  return static_cast<uint8_t>(std::lround(std::min(hi, std::max(lo, v))));
}

// Position on a path that bounces between lo and hi at `speed` per field.
double bounce(double lo, double hi, double speed, double t) {
  const double span = hi - lo;
  if (span <= 0) return lo;
  double p = std::fmod(speed * t, 2 * span);
  if (p > span) p = 2 * span - p;
  return lo + p;
}

// Static background: fine diagonal stripes near the sampling limit, a ruler
// of one-pixel lines, and a soft colour gradient.
Colour background(double x, double y, double w, double h) {
  Colour c{128 + 30 * std::sin(kTwoPi * (x + 0.6 * y) / 5.3) + 20 * std::sin(kTwoPi * y / h),
           118 + 30 * x / w, 122 + 20 * y / h};
  if (x > 0.05 * w && x < 0.32 * w && y > 0.74 * h && y < 0.95 * h) {
    const auto ix = static_cast<long>(x);
    const auto iy = static_cast<long>(y);
    const bool line = iy % 4 == 0 || (ix % 10 == 0 && iy % 16 < 8);
    c = {line ? 40.0 : 220.0, 128, 128};
  }
  return c;
}

// The three moving objects at field time t. Each returns false outside itself.
struct Objects {
  double w, h;

  bool panel(double x, double y, double t, Colour* c) const {
    const double pw = 0.28 * w, ph = 0.3 * h;
    const double x0 = 0.06 * w + 0.5 * t, y0 = 0.06 * h + 0.25 * t;
    if (x < x0 || x >= x0 + pw || y < y0 || y >= y0 + ph) return false;
    const double r = std::hypot(x - x0 - pw / 2, y - y0 - ph / 2);
    *c = {128 + 90 * std::cos(kTwoPi * r / 6), 170, 110};
    return true;
  }

  void panelBox(double t, double box[4]) const {
    box[0] = 0.06 * w + 0.5 * t;
    box[1] = 0.06 * h + 0.25 * t;
    box[2] = box[0] + 0.28 * w;
    box[3] = box[1] + 0.3 * h;
  }

  bool bar(double x, double y, double t, Colour* c) const {
    const double bh = 0.08 * h;
    const double y0 = bounce(0.05 * h, 0.9 * h - bh, 5, t);
    if (x < 0.62 * w || x >= 0.95 * w || y < y0 || y >= y0 + bh) return false;
    const double u = x - 0.62 * w, v = y - y0;
    *c = {(static_cast<long>(u) % 4 < 2) != (static_cast<long>(u + v) % 12 < 6) ? 200.0 : 50.0, 90,
          80};
    return true;
  }

  void barBox(double t, double box[4]) const {
    const double bh = 0.08 * h;
    box[0] = 0.62 * w;
    box[1] = bounce(0.05 * h, 0.9 * h - bh, 5, t);
    box[2] = 0.95 * w;
    box[3] = box[1] + bh;
  }

  double discRadius() const { return 0.13 * h; }

  void discCentre(double t, double* cx, double* cy) const {
    const double r = discRadius();
    *cx = bounce(r, w - r, 9, t);
    *cy = 0.55 * h + 0.12 * h * std::sin(kTwoPi * t / 40);
  }

  bool disc(double x, double y, double t, Colour* c) const {
    double cx, cy;
    discCentre(t, &cx, &cy);
    const double dx = x - cx, dy = y - cy, r = discRadius();
    const double d = std::hypot(dx, dy);
    if (d >= r) return false;
    const bool check =
        (static_cast<long>(std::floor(dx / 8)) + static_cast<long>(std::floor(dy / 8))) % 2 == 0;
    double luma = check ? 40 : 210;
    if (std::fabs(d - 0.7 * r) < 1.5) luma = 235;
    *c = {luma, 100, 190};
    return true;
  }

  void discBox(double t, double box[4]) const {
    double cx, cy;
    discCentre(t, &cx, &cy);
    const double r = discRadius();
    box[0] = cx - r;
    box[1] = cy - r;
    box[2] = cx + r;
    box[3] = cy + r;
  }
};

}  // namespace

DemoScene::DemoScene(uint32_t width, uint32_t height)
    : width_(width),
      height_(height),
      pictureBytes_(static_cast<size_t>(width) * height * 3 / 2),
      background_(pictureBytes_) {
  const double w = width, h = height;
  uint8_t* yPlane = background_.data();
  uint8_t* cbPlane = yPlane + static_cast<size_t>(width) * height;
  uint8_t* crPlane = cbPlane + static_cast<size_t>(width / 2) * (height / 2);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      yPlane[y * width + x] = clampByte(background(x, y, w, h).y, 16, 235);
    }
  }
  for (uint32_t j = 0; j < height / 2; ++j) {
    for (uint32_t i = 0; i < width / 2; ++i) {
      const Colour c = background(2 * i + 0.5, 2 * j + 0.5, w, h);
      cbPlane[j * (width / 2) + i] = clampByte(c.cb, 16, 240);
      crPlane[j * (width / 2) + i] = clampByte(c.cr, 16, 240);
    }
  }
}

void DemoScene::render(uint32_t t, uint8_t* picture) const {
  std::memcpy(picture, background_.data(), pictureBytes_);
  const uint32_t cw = width_ / 2, ch = height_ / 2;
  uint8_t* yPlane = picture;
  uint8_t* cbPlane = yPlane + static_cast<size_t>(width_) * height_;
  uint8_t* crPlane = cbPlane + static_cast<size_t>(cw) * ch;
  const Objects objects{static_cast<double>(width_), static_cast<double>(height_)};
  const double ft = t;

  using Shape = bool (Objects::*)(double, double, double, Colour*) const;
  using Box = void (Objects::*)(double, double*) const;
  const Shape shapes[3] = {&Objects::panel, &Objects::bar, &Objects::disc};
  const Box boxes[3] = {&Objects::panelBox, &Objects::barBox, &Objects::discBox};
  for (int k = 0; k < 3; ++k) {
    double box[4];
    (objects.*boxes[k])(ft, box);
    const auto x0 = static_cast<uint32_t>(std::max(0.0, std::floor(box[0])));
    const auto y0 = static_cast<uint32_t>(std::max(0.0, std::floor(box[1])));
    const auto x1 = static_cast<uint32_t>(std::min<double>(width_, std::ceil(box[2]) + 1));
    const auto y1 = static_cast<uint32_t>(std::min<double>(height_, std::ceil(box[3]) + 1));
    Colour c;
    for (uint32_t y = y0; y < y1; ++y) {
      for (uint32_t x = x0; x < x1; ++x) {
        if ((objects.*shapes[k])(x, y, ft, &c)) yPlane[y * width_ + x] = clampByte(c.y, 16, 235);
      }
    }
    for (uint32_t j = y0 / 2; j < std::min(ch, y1 / 2 + 1); ++j) {
      for (uint32_t i = x0 / 2; i < std::min(cw, x1 / 2 + 1); ++i) {
        if ((objects.*shapes[k])(2 * i + 0.5, 2 * j + 0.5, ft, &c)) {
          cbPlane[j * cw + i] = clampByte(c.cb, 16, 240);
          crPlane[j * cw + i] = clampByte(c.cr, 16, 240);
        }
      }
    }
  }
}

void weaveFields(const uint8_t* top, const uint8_t* bottom, uint32_t width, uint32_t height,
                 uint8_t* frame) {
  const uint32_t cw = (width + 1) / 2, ch = (height + 1) / 2;
  const uint32_t widths[3] = {width, cw, cw};
  const uint32_t heights[3] = {height, ch, ch};
  size_t offset = 0;
  for (int p = 0; p < 3; ++p) {
    for (uint32_t y = 0; y < heights[p]; ++y) {
      const size_t row = offset + static_cast<size_t>(y) * widths[p];
      std::memcpy(frame + row, ((y & 1) ? bottom : top) + row, widths[p]);
    }
    offset += static_cast<size_t>(widths[p]) * heights[p];
  }
}

void pictureToRgb(const uint8_t* picture, uint32_t width, uint32_t height, uint8_t* rgb,
                  size_t rgbStride) {
  const uint32_t cw = (width + 1) / 2, ch = (height + 1) / 2;
  const uint8_t* yPlane = picture;
  const uint8_t* cbPlane = yPlane + static_cast<size_t>(width) * height;
  const uint8_t* crPlane = cbPlane + static_cast<size_t>(cw) * ch;
  auto clamp = [](int v) { return static_cast<uint8_t>(std::min(255, std::max(0, v))); };
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* out = rgb + y * rgbStride;
    for (uint32_t x = 0; x < width; ++x) {
      // 8-bit fixed point of 1.164, 1.596, 0.392, 0.813, 2.017.
      const int c = 298 * (yPlane[y * width + x] - 16);
      const int d = cbPlane[(y / 2) * cw + x / 2] - 128;
      const int e = crPlane[(y / 2) * cw + x / 2] - 128;
      out[3 * x + 0] = clamp((c + 409 * e + 128) >> 8);
      out[3 * x + 1] = clamp((c - 100 * d - 208 * e + 128) >> 8);
      out[3 * x + 2] = clamp((c + 516 * d + 128) >> 8);
    }
  }
}

}  // namespace wdi::cli

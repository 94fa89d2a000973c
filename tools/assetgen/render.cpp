#include "render.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sarn::assets {
namespace {

// Premultiplied colour, 0..1.
struct Pixel {
  double r = 0, g = 0, b = 0, a = 0;
};

struct Canvas {
  int width, height;
  std::vector<Pixel> pixels;
  Canvas(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h) {}
};

// Where a drawing's units land: pixel = origin + units * scale.
struct Place {
  double x = 0, y = 0, scale = 1;
};

struct Time {
  int frame = 0, frames = 1;
};

double Clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

double Length(double x, double y) { return std::sqrt(x * x + y * y); }

// Signed distance from (x, y) to the shape's edge, negative inside, in the shape's own units.
double Distance(const Shape& s, const std::vector<double>& a, double radius, double x, double y) {
  switch (s.kind) {
    case ShapeKind::Rect: {
      const double cx = (a[0] + a[2]) / 2, cy = (a[1] + a[3]) / 2;
      const double hx = std::abs(a[2] - a[0]) / 2, hy = std::abs(a[3] - a[1]) / 2;
      const double r = std::clamp(radius, 0.0, std::min(hx, hy));
      const double qx = std::abs(x - cx) - hx + r, qy = std::abs(y - cy) - hy + r;
      return Length(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - r;
    }
    case ShapeKind::Ellipse: {
      const double rx = std::max(std::abs(a[2]), 1e-6), ry = std::max(std::abs(a[3]), 1e-6);
      const double px = x - a[0], py = y - a[1];
      const double k0 = Length(px / rx, py / ry), k1 = Length(px / (rx * rx), py / (ry * ry));
      if (k1 < 1e-12) return -std::min(rx, ry);
      return k0 * (k0 - 1) / k1;  // exact for circles, close for the mild ellipses drawn here
    }
    case ShapeKind::Ring:
      return std::abs(Length(x - a[0], y - a[1]) - a[2]) - a[3] / 2;
    case ShapeKind::Line: {
      const double px = x - a[0], py = y - a[1], bx = a[2] - a[0], by = a[3] - a[1];
      const double bb = bx * bx + by * by;
      const double h = bb > 0 ? Clamp01((px * bx + py * by) / bb) : 0;
      return Length(px - bx * h, py - by * h) - a[4] / 2;
    }
    case ShapeKind::Fill:
    case ShapeKind::Use:
      break;
  }
  return -1e9;
}

void Paint(Canvas& canvas, const Pixel& colour, const Shape& s, const std::vector<double>& args, double radius,
           const Place& place) {
  for (int y = 0; y < canvas.height; ++y) {
    for (int x = 0; x < canvas.width; ++x) {
      double cover = 1;
      if (s.kind != ShapeKind::Fill) {
        const double ux = (x + 0.5 - place.x) / place.scale, uy = (y + 0.5 - place.y) / place.scale;
        // Half a pixel either side of the edge is partly covered.
        cover = Clamp01(0.5 - Distance(s, args, radius, ux, uy) * place.scale);
        if (cover <= 0) continue;
      }
      Pixel& d = canvas.pixels[static_cast<std::size_t>(y) * canvas.width + x];
      const double k = 1 - colour.a * cover;
      d = {colour.r * cover + d.r * k, colour.g * cover + d.g * k, colour.b * cover + d.b * k,
           colour.a * cover + d.a * k};
    }
  }
}

void Draw(const Script& script, const std::vector<Shape>& shapes, Canvas& canvas, const Place& place, Time time) {
  for (const Shape& s : shapes) {
    double t = time.frames > 1 ? static_cast<double>(time.frame) / (time.frames - 1) : 0;
    if (s.firstFrame >= 0) {
      if (time.frame < s.firstFrame || time.frame > s.lastFrame) continue;
      t = s.lastFrame > s.firstFrame ? static_cast<double>(time.frame - s.firstFrame) / (s.lastFrame - s.firstFrame) : 0;
    }
    std::vector<double> args;
    for (const Number& n : s.args) args.push_back(n.At(t));
    if (s.kind == ShapeKind::Use) {
      const Place inner{place.x + args[0] * place.scale, place.y + args[1] * place.scale, place.scale * args[2] / 100};
      Draw(script, script.symbols[static_cast<std::size_t>(s.symbol)].shapes, canvas, inner, time);
      continue;
    }
    const Rgba c = s.colour.At(t);
    const double alpha = c.a / 255.0;
    Paint(canvas, {c.r / 255.0 * alpha, c.g / 255.0 * alpha, c.b / 255.0 * alpha, alpha}, s, args, s.radius.At(t), place);
  }
}

Image Finish(const Canvas& canvas) {
  Image image(canvas.width, canvas.height);
  for (std::size_t i = 0; i < canvas.pixels.size(); ++i) {
    const Pixel& p = canvas.pixels[i];
    auto channel = [&](double premultiplied) {
      return static_cast<std::uint8_t>(std::lround(p.a > 0 ? Clamp01(premultiplied / p.a) * 255 : 0));
    };
    image.pixels[i] = {channel(p.r), channel(p.g), channel(p.b), static_cast<std::uint8_t>(std::lround(Clamp01(p.a) * 255))};
  }
  return image;
}

}  // namespace

Image RenderFrame(const Script& script, const Output& out, int frame) {
  Canvas canvas(out.width * out.scale, out.height * out.scale);
  Draw(script, out.shapes, canvas, {0, 0, static_cast<double>(out.scale)}, {frame, out.frames});
  return Finish(canvas);
}

Image RenderIcon(const Script& script, const Output& out, int size) {
  Canvas canvas(size, size);
  Draw(script, out.shapes, canvas, {0, 0, size / 100.0}, {});
  return Finish(canvas);
}

std::vector<std::int16_t> RenderSound(const Output& out) {
  const auto count = static_cast<std::size_t>(std::lround(out.lengthMs * out.sampleRate / 1000));
  std::vector<double> mix(count, 0.0);
  std::uint32_t seed = 0x5A17u;  // fixed: the same file on every build
  for (const Click& c : out.clicks) {
    const auto start = static_cast<std::size_t>(std::lround(c.atMs * out.sampleRate / 1000));
    const auto length = static_cast<std::size_t>(std::lround(c.lengthMs * out.sampleRate / 1000));
    const double decay = c.lengthMs / 1000 / 5;  // down to under 1 % by the click's end
    const double attack = 0.0005 * out.sampleRate;
    for (std::size_t i = 0; i < length && start + i < count; ++i) {
      seed = seed * 1664525u + 1013904223u;
      const double noise = static_cast<double>(seed >> 8) / (1u << 23) - 1;
      const double s = static_cast<double>(i) / out.sampleRate;
      const double envelope = std::exp(-s / decay) * std::min(1.0, i / attack);
      mix[start + i] += c.level * envelope * (0.6 * std::sin(2 * std::numbers::pi * c.pitchHz * s) + 0.4 * noise);
    }
  }
  std::vector<std::int16_t> samples;
  samples.reserve(count);
  for (double v : mix) samples.push_back(static_cast<std::int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767)));
  return samples;
}

Bytes BuildOutput(const Script& script, const Output& out) {
  switch (out.kind) {
    case OutputKind::Picture:
      return WriteBmp24(RenderFrame(script, out, 0));
    case OutputKind::Animation: {
      std::vector<Image> frames;
      for (int f = 0; f < out.frames; ++f) frames.push_back(RenderFrame(script, out, f));
      std::vector<Rgba> palette;
      std::vector<IndexedImage> indexed;
      Quantise(frames, palette, indexed);
      return WriteAvi8(indexed, palette, out.rate);
    }
    case OutputKind::Icon: {
      std::vector<Image> images;
      for (int size : out.sizes) images.push_back(RenderIcon(script, out, size));
      return WriteIco32(images);
    }
    case OutputKind::Sound:
      return WriteWav16(RenderSound(out), out.sampleRate);
  }
  return {};
}

}  // namespace sarn::assets

// The asset script: pictures, animations, icons and sounds described in a few lines of text (the format is
// described in docs/option.md, "Assets"), parsed into the model below and drawn by render.h.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "asset_files.h"

namespace sarn::assets {

// A number or a colour that may move through an animation: "2..18" goes from 2 to 18.
struct Number {
  double from = 0, to = 0;
  double At(double t) const { return from + (to - from) * t; }
};
struct Colour {
  Rgba from, to;
  Rgba At(double t) const;
};

enum class ShapeKind { Fill, Rect, Ellipse, Ring, Line, Use };

struct Shape {
  ShapeKind kind = ShapeKind::Fill;
  // rect: x0 y0 x1 y1 | ellipse: cx cy rx ry | ring: cx cy r width | line: x0 y0 x1 y1 width | use: x y size
  std::vector<Number> args;
  Number radius;  // corners of a rect
  Colour colour;  // all but use
  int symbol = -1;
  // "@F-L": drawn only in frames F..L, and its ranges run over those frames; otherwise over the whole animation.
  int firstFrame = -1, lastFrame = -1;
};

struct Symbol {
  std::string name;
  std::vector<Shape> shapes;  // in a 100 x 100 box
};

struct Click {
  double atMs = 0, lengthMs = 10, pitchHz = 2000, level = 0.5;
};

enum class OutputKind { Picture, Animation, Icon, Sound };

struct Output {
  OutputKind kind = OutputKind::Picture;
  std::string path;            // relative to the output folder, '/' between folders
  int width = 0, height = 0;   // picture and animation: the size in drawing units
  int scale = 1;               // pixels per drawing unit
  int frames = 1, rate = 15;   // animation: frame count and frames per second
  std::vector<int> sizes;      // icon: one image per size; drawing units are 0..100 at every size
  int sampleRate = 22050;      // sound
  double lengthMs = 0;
  std::vector<Shape> shapes;
  std::vector<Click> clicks;
};

struct Script {
  std::vector<Symbol> symbols;
  std::vector<Output> outputs;
};

// Fills `script`, or gives "line N: what is wrong" and false.
[[nodiscard]] bool ParseScript(std::string_view text, Script& script, std::string& error);

}  // namespace sarn::assets

// The file formats the build-time assets are written in: a 24-bit BMP, an 8-bit uncompressed AVI that the
// Windows animation control plays, a multi-size 32-bit icon and a 16-bit PCM wave file. Each writer takes
// finished pixels or samples and returns the file's bytes, or nothing when the input cannot make a valid
// file; drawing is elsewhere (raster.h).
#pragma once

#include <cstdint>
#include <vector>

namespace sarn::assets {

using Bytes = std::vector<std::uint8_t>;

struct Rgba {
  std::uint8_t r = 0, g = 0, b = 0, a = 255;
  friend bool operator==(const Rgba&, const Rgba&) = default;
};

// Pixels top row first, left to right.
struct Image {
  int width = 0, height = 0;
  std::vector<Rgba> pixels;
  Image() = default;
  Image(int w, int h, Rgba fill = {}) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, fill) {}
  Rgba& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
  const Rgba& at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Palette indices, top row first.
struct IndexedImage {
  int width = 0, height = 0;
  std::vector<std::uint8_t> indices;
};

// Rows of DIBs are padded to whole 32-bit words.
constexpr int DibStride(int width, int bitsPerPixel) { return (width * bitsPerPixel + 31) / 32 * 4; }

// Bottom-up 24-bit BMP at 96 dpi; alpha is ignored.
Bytes WriteBmp24(const Image& image);

// RIFF "AVI " with one video stream of uncompressed 8-bit frames ("00db"), one palette of at most 256 colours
// and an index; no sound stream. All frames share the size of the first. Needs at least one frame.
Bytes WriteAvi8(const std::vector<IndexedImage>& frames, const std::vector<Rgba>& palette, int framesPerSecond);

// An icon file with one 32-bit image (straight alpha, plus the AND mask older Windows wants) per entry, in the
// order given. Sizes up to 256.
Bytes WriteIco32(const std::vector<Image>& images);

// Mono 16-bit PCM.
Bytes WriteWav16(const std::vector<std::int16_t>& samples, int sampleRate);

// Reduces frames to one shared palette: every colour exactly when there are at most 256, otherwise the 256 most
// frequent colours, the rest drawn with the nearest of those. Alpha is ignored.
void Quantise(const std::vector<Image>& frames, std::vector<Rgba>& palette, std::vector<IndexedImage>& indexed);

}  // namespace sarn::assets

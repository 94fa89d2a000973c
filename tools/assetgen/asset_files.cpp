#include "asset_files.h"

#include <algorithm>
#include <array>
#include <map>
#include <string_view>

namespace sarn::assets {
namespace {

// Little-endian output, and chunk sizes patched in once the chunk is complete.
class Writer {
 public:
  Bytes bytes;
  void u8(std::uint32_t v) { bytes.push_back(static_cast<std::uint8_t>(v)); }
  void u16(std::uint32_t v) { u8(v & 0xFF); u8(v >> 8 & 0xFF); }
  void u32(std::uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); }
  void fourcc(std::string_view id) { for (char c : id) u8(static_cast<std::uint8_t>(c)); }
  void patch32(std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  }
  std::size_t size() const { return bytes.size(); }

  // RIFF chunk: id, size, body. Returns where the size goes; End pads to an even length as RIFF requires.
  std::size_t Begin(std::string_view id) { fourcc(id); u32(0); return size() - 4; }
  std::size_t BeginList(std::string_view kind, std::string_view type) {
    std::size_t at = Begin(kind);
    fourcc(type);
    return at;
  }
  void End(std::size_t sizeAt) {
    patch32(sizeAt, static_cast<std::uint32_t>(size() - sizeAt - 4));
    if (size() % 2 != 0) u8(0);
  }

  void BitmapInfoHeader(int width, int height, int bits, std::uint32_t imageSize, std::uint32_t coloursUsed) {
    u32(40);
    u32(static_cast<std::uint32_t>(width));
    u32(static_cast<std::uint32_t>(height));
    u16(1);
    u16(static_cast<std::uint32_t>(bits));
    u32(0);  // BI_RGB
    u32(imageSize);
    u32(3780);  // 96 dpi in pixels per metre
    u32(3780);
    u32(coloursUsed);
    u32(0);
  }
};

}  // namespace

Bytes WriteBmp24(const Image& image) {
  if (image.width <= 0 || image.height <= 0) return {};
  const int stride = DibStride(image.width, 24);
  const auto pixelBytes = static_cast<std::uint32_t>(stride * image.height);
  Writer w;
  w.fourcc("BM");
  w.u32(14 + 40 + pixelBytes);
  w.u32(0);
  w.u32(14 + 40);
  w.BitmapInfoHeader(image.width, image.height, 24, pixelBytes, 0);
  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = 0; x < image.width; ++x) {
      const Rgba& p = image.at(x, y);
      w.u8(p.b); w.u8(p.g); w.u8(p.r);
    }
    for (int pad = image.width * 3; pad < stride; ++pad) w.u8(0);
  }
  return w.bytes;
}

Bytes WriteAvi8(const std::vector<IndexedImage>& frames, const std::vector<Rgba>& palette, int framesPerSecond) {
  if (frames.empty() || palette.empty() || palette.size() > 256 || framesPerSecond <= 0) return {};
  const int width = frames[0].width, height = frames[0].height;
  if (width <= 0 || height <= 0) return {};
  for (const IndexedImage& f : frames) {
    if (f.width != width || f.height != height || f.indices.size() != static_cast<std::size_t>(width) * height) return {};
    for (std::uint8_t index : f.indices)
      if (index >= palette.size()) return {};
  }
  const int stride = DibStride(width, 8);
  const auto frameBytes = static_cast<std::uint32_t>(stride * height);
  const auto count = static_cast<std::uint32_t>(frames.size());

  Writer w;
  const std::size_t riff = w.BeginList("RIFF", "AVI ");
  const std::size_t hdrl = w.BeginList("LIST", "hdrl");
  const std::size_t avih = w.Begin("avih");
  w.u32(static_cast<std::uint32_t>(1000000 / framesPerSecond));
  w.u32(frameBytes * static_cast<std::uint32_t>(framesPerSecond));
  w.u32(0);     // padding granularity
  w.u32(0x10);  // AVIF_HASINDEX
  w.u32(count);
  w.u32(0);     // initial frames
  w.u32(1);     // one stream: no sound
  w.u32(frameBytes);
  w.u32(static_cast<std::uint32_t>(width));
  w.u32(static_cast<std::uint32_t>(height));
  for (int i = 0; i < 4; ++i) w.u32(0);
  w.End(avih);

  const std::size_t strl = w.BeginList("LIST", "strl");
  const std::size_t strh = w.Begin("strh");
  w.fourcc("vids");
  w.fourcc("DIB ");  // uncompressed: the animation control needs no codec
  w.u32(0);          // flags
  w.u16(0);          // priority
  w.u16(0);          // language
  w.u32(0);          // initial frames
  w.u32(1);          // scale
  w.u32(static_cast<std::uint32_t>(framesPerSecond));
  w.u32(0);          // start
  w.u32(count);
  w.u32(frameBytes);
  w.u32(0xFFFFFFFF);  // default quality
  w.u32(0);           // sample size: one frame per chunk
  w.u16(0); w.u16(0); w.u16(static_cast<std::uint32_t>(width)); w.u16(static_cast<std::uint32_t>(height));
  w.End(strh);
  const std::size_t strf = w.Begin("strf");
  w.BitmapInfoHeader(width, height, 8, frameBytes, static_cast<std::uint32_t>(palette.size()));
  for (const Rgba& c : palette) { w.u8(c.b); w.u8(c.g); w.u8(c.r); w.u8(0); }
  w.End(strf);
  w.End(strl);
  w.End(hdrl);

  // Only frame chunks inside "movi": the animation control counts every chunk there as a frame.
  const std::size_t movi = w.BeginList("LIST", "movi");
  const std::size_t moviType = movi + 4;  // index offsets count from the list's type
  std::vector<std::uint32_t> offsets;
  for (const IndexedImage& f : frames) {
    offsets.push_back(static_cast<std::uint32_t>(w.size() - moviType));
    const std::size_t chunk = w.Begin("00db");
    for (int y = height - 1; y >= 0; --y) {
      for (int x = 0; x < width; ++x) {
        w.u8(f.indices[static_cast<std::size_t>(y) * width + x]);
      }
      for (int pad = width; pad < stride; ++pad) w.u8(0);
    }
    w.End(chunk);
  }
  w.End(movi);

  const std::size_t idx1 = w.Begin("idx1");
  for (std::uint32_t offset : offsets) {
    w.fourcc("00db");
    w.u32(0x10);  // AVIIF_KEYFRAME: every frame is whole
    w.u32(offset);
    w.u32(frameBytes);
  }
  w.End(idx1);
  w.End(riff);
  return w.bytes;
}

Bytes WriteIco32(const std::vector<Image>& images) {
  if (images.empty()) return {};
  for (const Image& image : images)
    if (image.width <= 0 || image.width > 256 || image.height <= 0 || image.height > 256) return {};
  Writer w;
  w.u16(0);
  w.u16(1);  // icon, not cursor
  w.u16(static_cast<std::uint32_t>(images.size()));
  std::vector<std::size_t> sizeAt, offsetAt;
  for (const Image& image : images) {
    w.u8(image.width == 256 ? 0 : image.width);  // 0 means 256
    w.u8(image.height == 256 ? 0 : image.height);
    w.u8(0);   // no palette
    w.u8(0);
    w.u16(1);  // planes
    w.u16(32);
    sizeAt.push_back(w.size());
    w.u32(0);
    offsetAt.push_back(w.size());
    w.u32(0);
  }
  for (std::size_t i = 0; i < images.size(); ++i) {
    const Image& image = images[i];
    const std::size_t start = w.size();
    const int maskStride = DibStride(image.width, 1);
    const auto colourBytes = static_cast<std::uint32_t>(image.width * 4 * image.height);
    const auto maskBytes = static_cast<std::uint32_t>(maskStride * image.height);
    // The height counts the colour image and the mask together.
    w.BitmapInfoHeader(image.width, 2 * image.height, 32, colourBytes + maskBytes, 0);
    w.patch32(start + 24, 0);  // icons leave the resolution empty
    w.patch32(start + 28, 0);
    for (int y = image.height - 1; y >= 0; --y) {
      for (int x = 0; x < image.width; ++x) {
        const Rgba& p = image.at(x, y);
        w.u8(p.b); w.u8(p.g); w.u8(p.r); w.u8(p.a);
      }
    }
    // AND mask: a set bit leaves the screen showing, for Windows that ignores the alpha channel.
    for (int y = image.height - 1; y >= 0; --y) {
      std::vector<std::uint8_t> row(static_cast<std::size_t>(maskStride), 0);
      for (int x = 0; x < image.width; ++x) {
        if (image.at(x, y).a == 0) row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
      }
      for (std::uint8_t b : row) w.u8(b);
    }
    w.patch32(sizeAt[i], static_cast<std::uint32_t>(w.size() - start));
    w.patch32(offsetAt[i], static_cast<std::uint32_t>(start));
  }
  return w.bytes;
}

Bytes WriteWav16(const std::vector<std::int16_t>& samples, int sampleRate) {
  if (sampleRate <= 0) return {};
  Writer w;
  const std::size_t riff = w.BeginList("RIFF", "WAVE");
  const std::size_t fmt = w.Begin("fmt ");
  w.u16(1);  // PCM
  w.u16(1);  // mono
  w.u32(static_cast<std::uint32_t>(sampleRate));
  w.u32(static_cast<std::uint32_t>(sampleRate) * 2);
  w.u16(2);
  w.u16(16);
  w.End(fmt);
  const std::size_t data = w.Begin("data");
  for (std::int16_t s : samples) w.u16(static_cast<std::uint16_t>(s));
  w.End(data);
  w.End(riff);
  return w.bytes;
}

void Quantise(const std::vector<Image>& frames, std::vector<Rgba>& palette, std::vector<IndexedImage>& indexed) {
  auto key = [](const Rgba& c) { return static_cast<std::uint32_t>(c.r) << 16 | c.g << 8 | c.b; };
  std::map<std::uint32_t, std::size_t> counts;  // ordered: the same frames always give the same palette
  for (const Image& f : frames)
    for (const Rgba& p : f.pixels) ++counts[key(p)];
  std::vector<std::pair<std::size_t, std::uint32_t>> byCount;
  for (auto [colour, n] : counts) byCount.emplace_back(n, colour);
  std::stable_sort(byCount.begin(), byCount.end(), [](auto& a, auto& b) { return a.first > b.first; });
  if (byCount.size() > 256) byCount.resize(256);

  palette.clear();
  std::map<std::uint32_t, std::uint8_t> indexOf;
  for (auto [n, colour] : byCount) {
    indexOf[colour] = static_cast<std::uint8_t>(palette.size());
    palette.push_back(Rgba{static_cast<std::uint8_t>(colour >> 16), static_cast<std::uint8_t>(colour >> 8),
                           static_cast<std::uint8_t>(colour), 255});
  }
  auto nearest = [&](const Rgba& c) {
    std::uint32_t k = key(c);
    if (auto it = indexOf.find(k); it != indexOf.end()) return it->second;
    int best = 0, bestDistance = 1 << 30;
    for (std::size_t i = 0; i < palette.size(); ++i) {
      const int dr = c.r - palette[i].r, dg = c.g - palette[i].g, db = c.b - palette[i].b;
      const int d = dr * dr + dg * dg + db * db;
      if (d < bestDistance) { bestDistance = d; best = static_cast<int>(i); }
    }
    indexOf[k] = static_cast<std::uint8_t>(best);
    return static_cast<std::uint8_t>(best);
  };
  indexed.clear();
  for (const Image& f : frames) {
    IndexedImage out{f.width, f.height, {}};
    out.indices.reserve(f.pixels.size());
    for (const Rgba& p : f.pixels) out.indices.push_back(nearest(p));
    indexed.push_back(std::move(out));
  }
}

}  // namespace sarn::assets

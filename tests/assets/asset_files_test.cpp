// The file writers, read back field by field as Windows reads them: RIFF chunk sizes and nesting, the AVI's
// headers, frames and index, BMP and icon headers, the wave header.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tools/assetgen/asset_files.h"

namespace sarn::assets {
namespace {

std::uint32_t U32(const Bytes& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t U16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8); }
std::string Id(const Bytes& b, std::size_t at) { return std::string(reinterpret_cast<const char*>(&b[at]), 4); }

struct Chunk {
  std::string id;         // "LIST/movi" for lists
  std::size_t at, data, size;
};

// Walks a RIFF tree; every chunk must fit in its parent, and an odd-sized chunk is followed by a pad byte.
void Walk(const Bytes& b, std::size_t from, std::size_t end, const std::string& parent, std::vector<Chunk>& out) {
  std::size_t at = from;
  while (at < end) {
    ASSERT_LE(at + 8, end) << "chunk header past the end of " << parent;
    const std::string id = Id(b, at);
    const std::uint32_t size = U32(b, at + 4);
    ASSERT_LE(at + 8 + size, end) << id << " in " << parent << " runs past its parent";
    if (id == "RIFF" || id == "LIST") {
      out.push_back({id + "/" + Id(b, at + 8), at, at + 12, size});
      Walk(b, at + 12, at + 8 + size, Id(b, at + 8), out);
    } else {
      out.push_back({id, at, at + 8, size});
    }
    at += 8 + size + (size & 1);
  }
  EXPECT_EQ(at, end) << "padding of " << parent;
}

std::vector<Chunk> Chunks(const Bytes& b) {
  std::vector<Chunk> out;
  Walk(b, 0, b.size(), "file", out);
  return out;
}

const Chunk* Find(const std::vector<Chunk>& chunks, const std::string& id) {
  for (const Chunk& c : chunks)
    if (c.id == id) return &c;
  return nullptr;
}

IndexedImage Frame(int w, int h, std::uint8_t fill) {
  return {w, h, std::vector<std::uint8_t>(static_cast<std::size_t>(w) * h, fill)};
}

TEST(AviWriter, HeadersFramesAndIndexAgree) {
  // 5 pixels wide: rows padded to 8 bytes, so padding and bottom-up order both show.
  std::vector<IndexedImage> frames{Frame(5, 3, 0), Frame(5, 3, 1), Frame(5, 3, 2)};
  frames[1].indices[0] = 2;  // top-left pixel of frame 1
  const std::vector<Rgba> palette{{1, 2, 3}, {10, 20, 30}, {53, 160, 222}};
  const Bytes avi = WriteAvi8(frames, palette, 15);
  ASSERT_FALSE(avi.empty());
  const auto chunks = Chunks(avi);
  ASSERT_FALSE(HasFailure());

  ASSERT_EQ(chunks[0].id, "RIFF/AVI ");
  EXPECT_EQ(chunks[0].size + 8, avi.size());
  const std::size_t frameBytes = 8 * 3;

  const Chunk* avih = Find(chunks, "avih");
  ASSERT_NE(avih, nullptr);
  EXPECT_EQ(avih->size, 56u);
  EXPECT_EQ(U32(avi, avih->data + 12) & 0x10, 0x10u);  // has an index
  EXPECT_EQ(U32(avi, avih->data + 16), 3u);            // frames
  EXPECT_EQ(U32(avi, avih->data + 24), 1u);            // one stream: no sound
  EXPECT_GE(U32(avi, avih->data + 28), frameBytes);    // suggested buffer holds a frame
  EXPECT_EQ(U32(avi, avih->data + 32), 5u);
  EXPECT_EQ(U32(avi, avih->data + 36), 3u);

  const Chunk* strh = Find(chunks, "strh");
  ASSERT_NE(strh, nullptr);
  EXPECT_EQ(strh->size, 56u);
  EXPECT_EQ(Id(avi, strh->data), "vids");
  EXPECT_EQ(Id(avi, strh->data + 4), "DIB ");
  EXPECT_EQ(U32(avi, strh->data + 32), 3u);   // length
  EXPECT_GE(U32(avi, strh->data + 36), frameBytes);

  const Chunk* strf = Find(chunks, "strf");
  ASSERT_NE(strf, nullptr);
  EXPECT_EQ(strf->size, 40u + 4 * palette.size());
  EXPECT_EQ(static_cast<std::int32_t>(U32(avi, strf->data + 8)), 3);  // positive: bottom-up
  EXPECT_EQ(U16(avi, strf->data + 14), 8);
  EXPECT_EQ(U32(avi, strf->data + 16), 0u);  // BI_RGB
  EXPECT_EQ(U32(avi, strf->data + 32), palette.size());
  // Palette entries are blue, green, red, 0.
  EXPECT_EQ(avi[strf->data + 40 + 8], 222);
  EXPECT_EQ(avi[strf->data + 40 + 10], 53);

  // The animation control counts every chunk in "movi" as a frame: only the frames may be there.
  const Chunk* movi = Find(chunks, "LIST/movi");
  ASSERT_NE(movi, nullptr);
  std::vector<const Chunk*> frameChunks;
  for (const Chunk& c : chunks)
    if (c.at > movi->at && c.at < movi->at + 8 + movi->size) frameChunks.push_back(&c);
  ASSERT_EQ(frameChunks.size(), 3u);
  for (const Chunk* c : frameChunks) {
    EXPECT_EQ(c->id, "00db");
    EXPECT_EQ(c->size, frameBytes);
  }
  // Frame 1's top-left pixel is the first pixel of its last row.
  EXPECT_EQ(avi[frameChunks[1]->data + 2 * 8], 2);
  EXPECT_EQ(avi[frameChunks[1]->data], 1);

  // Index offsets count from the "movi" type and point at each frame's chunk id.
  const Chunk* idx1 = Find(chunks, "idx1");
  ASSERT_NE(idx1, nullptr);
  ASSERT_EQ(idx1->size, 3u * 16);
  for (std::size_t i = 0; i < 3; ++i) {
    const std::size_t entry = idx1->data + 16 * i;
    EXPECT_EQ(Id(avi, entry), "00db");
    EXPECT_EQ(U32(avi, entry + 4), 0x10u);  // key frame
    EXPECT_EQ(movi->at + 8 + U32(avi, entry + 8), frameChunks[i]->at) << "frame " << i;
    EXPECT_EQ(U32(avi, entry + 12), frameBytes);
  }
}

TEST(AviWriter, RefusesWhatCannotBeAValidFile) {
  const std::vector<Rgba> palette{{0, 0, 0}, {255, 255, 255}};
  EXPECT_TRUE(WriteAvi8({}, palette, 15).empty());
  EXPECT_TRUE(WriteAvi8({Frame(4, 4, 0), Frame(4, 5, 0)}, palette, 15).empty()) << "frames of two sizes";
  EXPECT_TRUE(WriteAvi8({Frame(4, 4, 2)}, palette, 15).empty()) << "index past the palette";
}

TEST(BmpWriter, HeaderAndBottomUpPaddedRows) {
  Image image(3, 2, {10, 20, 30});
  image.at(0, 0) = {200, 100, 50};  // top-left
  const Bytes bmp = WriteBmp24(image);
  const std::size_t stride = 12;    // 9 bytes padded to a word
  ASSERT_EQ(bmp.size(), 54 + stride * 2);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(U32(bmp, 2), bmp.size());
  EXPECT_EQ(U32(bmp, 10), 54u);  // pixels right after the two headers
  EXPECT_EQ(U32(bmp, 18), 3u);
  EXPECT_EQ(U32(bmp, 22), 2u);
  EXPECT_EQ(U16(bmp, 28), 24);
  EXPECT_EQ(U32(bmp, 34), stride * 2);
  // The top row is stored last, blue first.
  EXPECT_EQ(bmp[54 + stride], 50);
  EXPECT_EQ(bmp[54 + stride + 2], 200);
  EXPECT_EQ(bmp[54], 30);
  EXPECT_TRUE(WriteBmp24(Image()).empty());
}

TEST(IcoWriter, DirectoryEntriesPointAtTheirImages) {
  std::vector<Image> images{Image(16, 16, {1, 2, 3, 255}), Image(33, 33, {1, 2, 3, 128}), Image(256, 256)};
  images[0].at(0, 0).a = 0;    // transparent top-left: its mask bit is set
  images[2].pixels.assign(images[2].pixels.size(), {0, 0, 0, 0});
  const Bytes ico = WriteIco32(images);
  ASSERT_FALSE(ico.empty());
  EXPECT_EQ(U16(ico, 2), 1);
  ASSERT_EQ(U16(ico, 4), 3);
  std::size_t expectedOffset = 6 + 3 * 16;
  for (std::size_t i = 0; i < images.size(); ++i) {
    const std::size_t e = 6 + 16 * i;
    const int size = images[i].width;
    EXPECT_EQ(ico[e], size == 256 ? 0 : size) << "256 is written as 0";
    EXPECT_EQ(ico[e + 1], size == 256 ? 0 : size);
    EXPECT_EQ(U16(ico, e + 6), 32);
    const std::size_t maskStride = static_cast<std::size_t>((size + 31) / 32 * 4);
    const std::size_t bytes = 40 + static_cast<std::size_t>(size) * size * 4 + maskStride * size;
    EXPECT_EQ(U32(ico, e + 8), bytes) << "image " << i;
    EXPECT_EQ(U32(ico, e + 12), expectedOffset) << "images follow one another";
    const std::size_t h = U32(ico, e + 12);
    EXPECT_EQ(static_cast<int>(U32(ico, h + 4)), size);
    EXPECT_EQ(static_cast<int>(U32(ico, h + 8)), 2 * size) << "colour and mask";
    EXPECT_EQ(U16(ico, h + 14), 32);
    expectedOffset += bytes;
  }
  EXPECT_EQ(expectedOffset, ico.size());
  // 16 x 16: alpha of the top-left pixel (last colour row), and its mask bit (last mask row, first bit).
  const std::size_t first = U32(ico, 6 + 12);
  EXPECT_EQ(ico[first + 40 + 15 * 16 * 4 + 3], 0);
  EXPECT_EQ(ico[first + 40 + 16 * 16 * 4 + 15 * 4], 0x80);
  EXPECT_EQ(ico[first + 40 + 16 * 16 * 4], 0) << "opaque pixels leave the mask clear";
  EXPECT_TRUE(WriteIco32({Image(257, 257)}).empty());
}

TEST(WavWriter, PcmHeaderAndData) {
  const std::vector<std::int16_t> samples{0, 1000, -1000, 32767, -32768};
  const Bytes wav = WriteWav16(samples, 22050);
  const auto chunks = Chunks(wav);
  ASSERT_FALSE(HasFailure());
  ASSERT_EQ(chunks[0].id, "RIFF/WAVE");
  const Chunk* fmt = Find(chunks, "fmt ");
  ASSERT_NE(fmt, nullptr);
  EXPECT_EQ(fmt->size, 16u);
  EXPECT_EQ(U16(wav, fmt->data), 1);  // PCM
  EXPECT_EQ(U16(wav, fmt->data + 2), 1);
  EXPECT_EQ(U32(wav, fmt->data + 4), 22050u);
  EXPECT_EQ(U16(wav, fmt->data + 12), 2);
  EXPECT_EQ(U16(wav, fmt->data + 14), 16);
  const Chunk* data = Find(chunks, "data");
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->size, 10u);
  EXPECT_EQ(data->data + data->size, wav.size());
}

TEST(Quantise, KeepsExactColoursAndMapsTheRestToTheNearest) {
  Image few(2, 1);
  few.at(0, 0) = {53, 160, 222};
  few.at(1, 0) = {27, 30, 36};
  std::vector<Rgba> palette;
  std::vector<IndexedImage> indexed;
  Quantise({few, few}, palette, indexed);
  ASSERT_EQ(palette.size(), 2u);
  ASSERT_EQ(indexed.size(), 2u);
  EXPECT_EQ(palette[indexed[1].indices[0]], (Rgba{53, 160, 222}));
  EXPECT_EQ(palette[indexed[1].indices[1]], (Rgba{27, 30, 36}));

  // 300 greys once each and one colour everywhere else: the common one survives exactly.
  Image many(400, 1, {53, 160, 222});
  for (int x = 0; x < 300; ++x) many.at(x, 0) = {static_cast<std::uint8_t>(x % 256), static_cast<std::uint8_t>(x / 256 * 7), 0};
  Quantise({many}, palette, indexed);
  ASSERT_EQ(palette.size(), 256u);
  EXPECT_EQ(palette[indexed[0].indices[399]], (Rgba{53, 160, 222}));
  auto distance = [](const Rgba& a, const Rgba& b) {
    return (a.r - b.r) * (a.r - b.r) + (a.g - b.g) * (a.g - b.g) + (a.b - b.b) * (a.b - b.b);
  };
  for (int x = 0; x < 300; ++x) {
    const Rgba& want = many.at(x, 0);
    int best = 1 << 30;
    for (const Rgba& p : palette) best = std::min(best, distance(p, want));
    EXPECT_EQ(distance(palette[indexed[0].indices[static_cast<std::size_t>(x)]], want), best) << "pixel " << x;
  }
}

}  // namespace
}  // namespace sarn::assets

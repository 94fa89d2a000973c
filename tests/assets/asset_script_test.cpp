// The asset script: what it refuses (with the line), how ranges and frame spans move a shape, what the drawing
// puts where, the click sound, and the repository's own script.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>

#include "tools/assetgen/render.h"

namespace sarn::assets {
namespace {

Script Parse(const std::string& text) {
  Script script;
  std::string error;
  EXPECT_TRUE(ParseScript(text, script, error)) << error;
  return script;
}

TEST(AssetScript, RefusesMistakesNamingTheLine) {
  struct Case { const char* text; const char* error; };
  const Case cases[] = {
      {"colour a blue\n", "line 1: \"blue\" is not a colour"},
      {"picture p.bmp size=4x4\n  rect 0 0 1 1 red\nend\n", "line 2: \"red\" is not a colour"},
      {"picture p.bmp size=4x4\n  rect 0 0 1 #000000\nend\n", "line 2: \"rect\" takes 4 numbers and a colour"},
      {"picture p.bmp size=4x4\n  use nothing 0 0 10\nend\n", "line 2: no symbol \"nothing\" defined above"},
      {"symbol s\n  use s 0 0 10\nend\n", "line 2: no symbol \"s\" defined above"},
      {"picture p.bmp size=4x4\n  @0-1 fill #000000\nend\n", "line 2: frames only in an animation or a symbol"},
      {"animation a.avi size=4x4 frames=4 rate=10\n  @2-4 fill #000000\nend\n", "line 2: frame 4 is past the last frame"},
      {"animation a.avi size=4x4 frames=1 rate=10\nend\n", "line 1: frames must be a whole number from 2 to 1000"},
      {"picture p.bmp size=4x4 colour=1\nend\n", "line 1: unknown key \"colour\""},
      {"picture ../p.bmp size=4x4\nend\n", "line 1: path must be relative, without \"..\": \"../p.bmp\""},
      {"picture p.bmp size=4x4\nend\npicture p.bmp size=2x2\nend\n", "line 3: \"p.bmp\" is written twice"},
      {"sound s.wav length=100\n  click at=150\nend\n", "line 2: at out of range"},
      {"picture p.bmp size=4x4\n  fill #000000\n", "line 1: this block has no \"end\""},
      {"end\n", "line 1: \"end\" without a block"},
  };
  for (const Case& c : cases) {
    Script script;
    std::string error;
    EXPECT_FALSE(ParseScript(c.text, script, error)) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
}

TEST(AssetScript, CommentsColoursAndOptionsAnywhere) {
  const Script s = Parse(
      "colour glass #35A0DE80   # a comment after a colour\n"
      "picture a/b.bmp size=41x22 scale=3\n"
      "  rect 1 2 3 4 glass radius=0..2\n"
      "end\n");
  ASSERT_EQ(s.outputs.size(), 1u);
  ASSERT_EQ(s.outputs[0].shapes.size(), 1u);
  const Shape& rect = s.outputs[0].shapes[0];
  EXPECT_EQ(rect.colour.from, (Rgba{53, 160, 222, 0x80}));
  EXPECT_DOUBLE_EQ(rect.radius.to, 2);
}

TEST(AssetRender, ShapesLandWhereTheUnitsSay) {
  const Script s = Parse(
      "symbol dot\n  rect 0 0 50 50 #FF0000\nend\n"
      "picture p.bmp size=10x5 scale=2\n"
      "  fill #1B1E24\n"
      "  rect 2 1 4 3 #35A0DE\n"
      "  use dot 6 0 4\n"  // the top-left quarter of a 4-unit box: units 6..8, 0..2
      "end\n");
  const Image image = RenderFrame(s, s.outputs[0], 0);
  ASSERT_EQ(image.width, 20);
  ASSERT_EQ(image.height, 10);
  EXPECT_EQ(image.at(0, 0), (Rgba{27, 30, 36, 255}));
  EXPECT_EQ(image.at(5, 3), (Rgba{53, 160, 222, 255})) << "inside the rect (pixels 4..7, 2..5)";
  EXPECT_EQ(image.at(8, 3), (Rgba{27, 30, 36, 255})) << "just right of it";
  EXPECT_EQ(image.at(13, 2), (Rgba{255, 0, 0, 255})) << "the symbol, scaled and moved";
  EXPECT_EQ(image.at(16, 2), (Rgba{27, 30, 36, 255})) << "past the symbol's half";
}

TEST(AssetRender, EdgesAreBlendedNotStepped) {
  const Script s = Parse("picture p.bmp size=20x20\n  fill #000000\n  ring 10 10 6 2 #FFFFFF\nend\n");
  const Image image = RenderFrame(s, s.outputs[0], 0);
  EXPECT_EQ(image.at(15, 9).r, 255) << "on the ring";
  EXPECT_EQ(image.at(10, 10).r, 0) << "in its hole";
  bool partial = false;
  for (const Rgba& p : image.pixels) partial = partial || (p.r > 20 && p.r < 235);
  EXPECT_TRUE(partial);
}

TEST(AssetRender, RangesRunOverTheAnimationOrTheirFrames) {
  const Script s = Parse(
      "animation a.avi size=10x1 frames=5 rate=10\n"
      "  fill #000000..#FF0000\n"        // over all five frames
      "  @1-3 rect 0..8 0 2..10 1 #FFFFFF\n"  // a 2-unit block moving right during frames 1..3
      "end\n");
  const Output& out = s.outputs[0];
  auto frame = [&](int f) { return RenderFrame(s, out, f); };
  EXPECT_EQ(frame(0).at(9, 0).r, 0);
  EXPECT_EQ(frame(2).at(9, 0).r, 128);
  EXPECT_EQ(frame(4).at(9, 0).r, 255);
  EXPECT_EQ(frame(0).at(0, 0).g, 0) << "before its frames the block is not drawn";
  EXPECT_EQ(frame(1).at(0, 0), (Rgba{255, 255, 255, 255}));
  EXPECT_EQ(frame(2).at(4, 0).g, 255) << "half way: units 4..6";
  EXPECT_EQ(frame(2).at(0, 0).g, 0);
  EXPECT_EQ(frame(3).at(9, 0).g, 255);
  EXPECT_EQ(frame(4).at(9, 0).g, 0) << "after its frames it is gone";
}

TEST(AssetRender, IconsKeepTransparencyOutsideTheShape) {
  const Script s = Parse("icon i.ico sizes=16,32\n  ellipse 50 50 30 30 #35A0DE\nend\n");
  const Image small = RenderIcon(s, s.outputs[0], 16);
  EXPECT_EQ(small.at(0, 0).a, 0);
  EXPECT_EQ(small.at(8, 8), (Rgba{53, 160, 222, 255}));
  // An edge pixel keeps its colour and takes partial alpha (straight, not darkened).
  for (const Rgba& p : small.pixels)
    if (p.a > 0) {
      EXPECT_EQ(p.b, 222);
    }
}

TEST(AssetSound, TwoClicksWithSilenceBetween) {
  const Script s = Parse(
      "sound s.wav length=200 rate=10000\n"
      "  click at=0 length=10 pitch=2500 level=0.8\n"
      "  click at=100 length=10 pitch=2500 level=0.8\n"
      "end\n");
  const auto samples = RenderSound(s.outputs[0]);
  ASSERT_EQ(samples.size(), 2000u);
  auto peak = [&](std::size_t from, std::size_t to) {
    int p = 0;
    for (std::size_t i = from; i < to; ++i) p = std::max(p, std::abs(static_cast<int>(samples[i])));
    return p;
  };
  EXPECT_GT(peak(0, 100), 8000);
  EXPECT_EQ(peak(100, 1000), 0) << "a click ends at its length";
  EXPECT_GT(peak(1000, 1100), 8000);
  EXPECT_EQ(peak(1100, 2000), 0);
  EXPECT_EQ(samples, RenderSound(s.outputs[0])) << "the same every build";
}

#ifndef _WIN32
// The repository's own script: it parses and every output it names can be written. Natively only, where the
// source folder's path is a plain path.
TEST(AssetScript, RepositoryScriptMakesEveryFile) {
  std::ifstream in(SARN_ASSET_SCRIPT, std::ios::binary);
  ASSERT_TRUE(in) << SARN_ASSET_SCRIPT;
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const Script s = Parse(text);
  std::set<std::string> paths;
  for (const Output& out : s.outputs) {
    paths.insert(out.path);
    EXPECT_FALSE(BuildOutput(s, out).empty()) << out.path;
    if (out.kind == OutputKind::Animation) {
      EXPECT_GE(out.frames, 12) << "a short animation, but one that shows a click";
      EXPECT_LE(out.frames, 20);
    }
  }
  // The files the build stages and the programs include.
  for (const char* p : {"wave/double_click.bmp", "wave/double_click.avi", "wave/double_click.wav",
                        "icons/monitor.ico", "icons/option.ico"})
    EXPECT_TRUE(paths.contains(p)) << p;
}
#endif

}  // namespace
}  // namespace sarn::assets

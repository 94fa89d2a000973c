#include "option/control_surface.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace sarn {
namespace {

using K = SurfaceEvent::Kind;

std::vector<K> Kinds(const std::vector<SurfaceEvent>& events, bool withRepaints = false) {
  std::vector<K> out;
  for (const SurfaceEvent& e : events) {
    if (withRepaints || e.kind != K::kRepaint) out.push_back(e.kind);
  }
  return out;
}

bool Has(const std::vector<SurfaceEvent>& events, K kind, int id) {
  return std::any_of(events.begin(), events.end(), [&](const SurfaceEvent& e) { return e.kind == kind && e.id == id; });
}

ControlSurface TwoButtons() {
  ControlSurface s;
  SurfaceControl a;
  a.id = 10;
  a.notifyId = 110;
  a.rect = {0, 0, 50, 20};
  s.Add(a);
  SurfaceControl b = a;
  b.id = 11;
  b.notifyId = 111;
  b.rect = {60, 0, 110, 20};
  b.toggle = true;
  s.Add(b);
  return s;
}

TEST(ControlSurface, HoverMovesFromControlToControl) {
  ControlSurface s = TwoButtons();
  auto e = s.MouseMove(5, 5, false, true);
  EXPECT_EQ(Kinds(e), std::vector<K>{K::kHoverStart});
  EXPECT_EQ(e[0].value, 110);
  EXPECT_TRUE(s.MouseMove(6, 6, false, true).empty()) << "a move within the hovered control says nothing";
  e = s.MouseMove(70, 5, false, true);
  EXPECT_EQ(Kinds(e), (std::vector<K>{K::kHoverEnd, K::kHoverStart}));
  EXPECT_TRUE(Has(e, K::kHoverEnd, 10) && Has(e, K::kHoverStart, 11));
  EXPECT_EQ(Kinds(s.MouseMove(55, 5, false, true)), std::vector<K>{K::kHoverEnd});
  EXPECT_EQ(s.hovered(), 0);
  // No hover with the button held, none in an inactive window, and the window leaving ends it.
  EXPECT_TRUE(Kinds(s.MouseMove(5, 5, true, true)).empty());
  EXPECT_TRUE(Kinds(s.MouseMove(70, 5, false, false)).empty());
  s.MouseMove(5, 5, false, true);
  EXPECT_EQ(Kinds(s.MouseLeave()), std::vector<K>{K::kHoverEnd});
}

TEST(ControlSurface, ClickNeedsPressAndReleaseInside) {
  ControlSurface s = TwoButtons();
  EXPECT_EQ(Kinds(s.MouseDown(5, 5)), std::vector<K>{K::kCapture});
  EXPECT_TRUE(s.Find(10)->selected);
  auto up = s.MouseUp(6, 6);
  EXPECT_EQ(Kinds(up), (std::vector<K>{K::kRelease, K::kCommand}));
  EXPECT_EQ(up.back().id, 10);
  // Released outside: no command; released over another control: no command either.
  s.MouseDown(5, 5);
  EXPECT_EQ(Kinds(s.MouseUp(200, 5)), std::vector<K>{K::kRelease});
  s.MouseDown(5, 5);
  EXPECT_FALSE(Has(s.MouseUp(70, 5), K::kCommand, 11));
  // A release without a press (the press was on the background) does nothing.
  EXPECT_TRUE(s.MouseUp(5, 5).empty());
}

TEST(ControlSurface, ToggleFlipsOnReleaseAndDisabledOrHiddenTakeNothing) {
  ControlSurface s = TwoButtons();
  s.MouseDown(70, 5);
  EXPECT_FALSE(s.Pressed(11)) << "a toggle flips on release, not on press";
  s.MouseUp(70, 5);
  EXPECT_TRUE(s.Pressed(11));
  EXPECT_TRUE(s.SetPressed(11, true).empty()) << "unchanged state repaints nothing";
  EXPECT_EQ(Kinds(s.SetPressed(11, false), true), std::vector<K>{K::kRepaint});

  s.MouseMove(70, 5, false, true);
  auto e = s.SetEnabled(11, false);
  EXPECT_TRUE(Has(e, K::kHoverEnd, 11)) << "a control that is disabled loses its hover";
  EXPECT_TRUE(s.MouseDown(70, 5).empty());
  EXPECT_TRUE(s.MouseUp(70, 5).empty());
  EXPECT_FALSE(s.Pressed(11));

  s.MouseDown(5, 5);
  e = s.SetVisible(10, false);
  EXPECT_TRUE(Has(e, K::kRelease, 0)) << "hiding the held control gives the capture back";
  EXPECT_EQ(s.HitTest(5, 5), 0);
  EXPECT_TRUE(s.MouseUp(5, 5).empty());
}

TEST(ControlSurface, ControlsAtTheSamePlaceLaterWins) {
  ControlSurface s;
  SurfaceControl a;
  a.id = 1;
  a.rect = {0, 0, 20, 20};
  s.Add(a);
  a.id = 2;
  s.Add(a);
  EXPECT_EQ(s.HitTest(5, 5), 2);
  s.SetVisible(2, false);
  EXPECT_EQ(s.HitTest(5, 5), 1);
  EXPECT_EQ(s.HitTest(20, 5), 0) << "right and bottom edges are outside";
}

TEST(ControlSurface, SliderTrackClickDragAndRelease) {
  ControlSurface s;
  SurfaceControl c;
  c.id = 300;
  c.kind = SurfaceKind::kSlider;
  c.rect = {100, 0, 200, 20};
  c.thumbWidth = 10;
  c.thumbHeight = 30;
  SurfaceControl& slider = s.Add(c);
  slider.slider->SetRange(0, 10);
  slider.slider->SetSnap(true);
  s.SetSliderPosition(300, 0);

  auto e = s.MouseDown(150, 10);  // the track: value at the middle
  ASSERT_TRUE(Has(e, K::kSliderMoved, 300));
  EXPECT_EQ(e.back().value, 5);
  const PixelRect thumb = s.ThumbRect(*s.Find(300));
  EXPECT_EQ(thumb.left, 145);
  EXPECT_EQ(thumb.top, -5) << "the thumb is centred on the track and may stand out of it";
  EXPECT_EQ(s.HitTest(146, -3), 300);

  e = s.MouseDown(147, 10);  // on the thumb: a drag
  EXPECT_EQ(Kinds(e), std::vector<K>{K::kCapture});
  e = s.MouseMove(300, 10, true, true);  // far right: kept on the track
  EXPECT_EQ(e.back().value, 10);
  EXPECT_EQ(s.ThumbRect(*s.Find(300)).right, 200);
  s.MouseMove(130, 10, true, true);
  e = s.MouseUp(130, 10);
  EXPECT_EQ(Kinds(e), (std::vector<K>{K::kRelease, K::kSliderMoved}));
  EXPECT_EQ(e.back().value, 3);  // thumb at 128: 28 / 90 * 10 = 3.1, snapped to 3
  EXPECT_TRUE(s.SetSliderPosition(300, 3).empty()) << "the thumb sits at the snapped value already";
  EXPECT_FALSE(s.SetSliderPosition(300, 9).empty());
}

TEST(ControlSurface, LostCaptureEndsPressAndHover) {
  ControlSurface s = TwoButtons();
  s.MouseMove(5, 5, false, true);
  s.MouseDown(5, 5);
  auto e = s.CaptureLost();
  EXPECT_TRUE(Has(e, K::kHoverEnd, 10));
  EXPECT_FALSE(s.Find(10)->selected);
  EXPECT_TRUE(Kinds(s.MouseUp(5, 5)).empty()) << "the lost press clicks nothing";
}

}  // namespace
}  // namespace sarn

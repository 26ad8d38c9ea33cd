#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "graphics/MusicRotate.h"
#include "platform/windows/DisplayTesting.h"

namespace {

// A face whose every pixel differs from its neighbours and from other faces' pixels.
TOxaBitmap* Face(TOxaObjects* list, int width, int height, int seed)
{
  auto* face = new TOxaBitmap(list);
  face->ChangeImageSize(width, height, opf24Bit);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      face->SetPixel(x, y,
                     TOxaColor((seed * 97 + x * 3) & 0xFF) | TOxaColor((y * 5) & 0xFF) << 8 |
                         TOxaColor(seed * 60) << 16);
    }
  }
  return face;
}

bool SamePixels(TOxaBitmap& a, TOxaBitmap& b)
{
  if (a.ImageWidth() != b.ImageWidth() || a.ImageHeight() != b.ImageHeight()) {
    return false;
  }
  for (int y = 0; y < a.ImageHeight(); ++y) {
    for (int x = 0; x < a.ImageWidth(); ++x) {
      if (a.GetPixel(x, y) != b.GetPixel(x, y)) {
        return false;
      }
    }
  }
  return true;
}

class TRotateTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { UseHeadlessDisplay(); }
  void Faces(int count, int width = 72, int height = 46)
  {
    for (int i = 0; i < count; ++i) {
      Rotate->Add(Face(&Owner->Objects(), width, height, i + 1));
    }
  }
  std::vector<int> Shown(int step, int steps)
  {
    std::vector<int> faces;
    for (const TOxaRotateSpan& span : Rotate->Spans(step, steps)) {
      faces.push_back(span.Face);
    }
    return faces;
  }
  TOwnedObject<TOxaBitmap> Owner{new TOxaBitmap(nullptr)};
  TOwnedObject<TOxaRotateBitmap> Rotate{new TOxaRotateBitmap(nullptr)};
  TOwnedObject<TOxaBitmap> Target{new TOxaBitmap(nullptr)};
};

TEST_F(TRotateTest, GeometryComesFromTheFirstFace)
{
  struct TCase {
    int Width, Center, Offset;
  };
  for (const TCase c : {TCase{72, 42, -6}, TCase{71, 41, -5}, TCase{38, 22, -3}, TCase{2, 1, 0}}) {
    Rotate->Clear();
    Faces(2, c.Width);
    EXPECT_EQ(Rotate->Center(), c.Center) << c.Width;
    EXPECT_EQ(Rotate->CanvasWidth(), 2 * c.Center) << c.Width;
    EXPECT_EQ(Rotate->Offset(), c.Offset) << c.Width;
  }
  Rotate->Clear();
  Faces(1);
  EXPECT_EQ(Rotate->FaceWidth(), 0);
  EXPECT_EQ(Rotate->CanvasWidth(), 0);
  Target->SetColor(0x123456);
  Rotate->Render(*Target, 0, 4);
  EXPECT_EQ(Target->ImageWidth(), 0);
}

TEST_F(TRotateTest, OnlyTwoDirectionsExist)
{
  struct TCase {
    int Value;
    bool Raises;
  };
  for (const TCase c : {TCase{-1, true}, TCase{0, false}, TCase{1, false}, TCase{2, true}}) {
    Rotate->SetDirection(0);
    try {
      Rotate->SetDirection(c.Value);
      EXPECT_FALSE(c.Raises) << c.Value;
      EXPECT_EQ(Rotate->Direction(), c.Value);
    } catch (const Exception& e) {
      EXPECT_TRUE(c.Raises) << c.Value;
      EXPECT_STREQ(e.what(), "TOxaRotateBitmap: Unknown Direction");
      EXPECT_EQ(Rotate->Direction(), 0);
    }
  }
}

TEST_F(TRotateTest, ProgressEasesInAndOut)
{
  struct TCase {
    int Step, Steps;
    double Progress;
  };
  for (const TCase c :
       {TCase{0, 4, 0.0}, TCase{1, 4, 0.125}, TCase{2, 4, 0.5}, TCase{3, 4, 0.875}, TCase{4, 4, 1.0},
        TCase{0, 1, 0.0}, TCase{1, 1, 1.0}, TCase{-1, 4, 0.0}, TCase{5, 4, 1.0}}) {
    EXPECT_DOUBLE_EQ(Rotate->Progress(c.Step, c.Steps), c.Progress) << c.Step << "/" << c.Steps;
  }
  Faces(2);
  for (const int steps : {0, -1}) {
    EXPECT_THROW(Rotate->Render(*Target, 0, steps), EOxaFatal) << steps;
  }
}

TEST_F(TRotateTest, TheEndsShowTheFirstAndLastFaceStraightOn)
{
  struct TCase {
    int Faces, Width, Direction, Steps;
  };
  for (const TCase c : {TCase{2, 72, 0, 12}, TCase{2, 72, 1, 12}, TCase{3, 72, 0, 7}, TCase{3, 71, 1, 7},
                        TCase{4, 38, 0, 1}}) {
    SCOPED_TRACE(testing::Message() << c.Faces << " faces " << c.Width << " wide, direction " << c.Direction);
    Rotate->Clear();
    Faces(c.Faces, c.Width);
    Rotate->SetDirection(c.Direction);
    Rotate->Render(*Target, 0, c.Steps);
    EXPECT_TRUE(SamePixels(*Target, *Rotate->Faces(0)));
    EXPECT_EQ(Shown(0, c.Steps), std::vector<int>{0});
    Rotate->Render(*Target, c.Steps, c.Steps);
    EXPECT_TRUE(SamePixels(*Target, *Rotate->Faces(c.Faces - 1)));
    EXPECT_EQ(Shown(c.Steps, c.Steps), std::vector<int>{c.Faces - 1});
  }
}

TEST_F(TRotateTest, HalfwayBothFacesShowShaded)
{
  Faces(2);
  // 60 degrees: the edges at 0 and +-120 degrees, r sin 120 = 36.
  const std::vector<TOxaRotateSpan> forwards = Rotate->Spans(1, 2);
  EXPECT_EQ(forwards, (std::vector<TOxaRotateSpan>{{1, 6, 42, 120}, {0, 42, 78, 120}}));
  // Backwards the next face comes in from the right: through 300 degrees two faces show.
  Rotate->SetDirection(1);
  const std::vector<TOxaRotateSpan> backwards = Rotate->Spans(1, 2);
  EXPECT_EQ(backwards, (std::vector<TOxaRotateSpan>{{0, 6, 42, 120}, {1, 42, 78, 120}}));
  Rotate->Render(*Target, 1, 2);
  // Face 1's left column lands at canvas 42, target 36, darkened by its shading.
  const TOxaColor source = Rotate->Faces(1)->GetPixel(0, 10);
  const TOxaColor shown = Target->GetPixel(42 + Rotate->Offset(), 10);
  for (const int shift : {0, 8, 16}) {
    const int want = std::max(int((source >> shift) & 0xFF) - 120, 0);
    EXPECT_NEAR(int((shown >> shift) & 0xFF), want, 1) << shift;
  }
}

TEST_F(TRotateTest, AFaceSeenEdgeOnOrFromBehindIsNotDrawn)
{
  Faces(4);
  // With four faces the fourth shares the first one's side of the prism; it shows only when
  // the turn reaches it.
  struct TCase {
    int Step, Steps;
    std::vector<int> Shown;
  };
  const TCase cases[] = {
      {0, 6, {0}}, {3, 6, {2, 1}}, {6, 6, {3}}, {1, 2, {2, 1}}, {1, 4, {1, 0}},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(Shown(c.Step, c.Steps), c.Shown) << c.Step << "/" << c.Steps;
  }
  // A turn of a quarter circle less a sliver leaves the outgoing face under a pixel wide.
  for (const TOxaRotateSpan& span : Rotate->Spans(1, 1000)) {
    EXPECT_GE(span.Right - span.Left, 1);
  }
}

TEST_F(TRotateTest, AFreedFaceLeavesTheList)
{
  Faces(3);
  TOxaBitmap* middle = Rotate->Faces(1);
  TOxaBitmap* last = Rotate->Faces(2);
  FreeObject(middle);
  EXPECT_EQ(Rotate->FaceCount(), 2);
  EXPECT_EQ(Rotate->Faces(1), last);
  try {
    Rotate->Faces(2);
    ADD_FAILURE();
  } catch (const EOxaFatal& e) {
    EXPECT_STREQ(e.what(), "TOxaRotateBitmap.Faces[2]: Index out of bounds");
  }
  Rotate->Remove(last);
  EXPECT_EQ(Rotate->FaceCount(), 1);
  // Removed, a face is no longer observed: freeing it is no news to the turn.
  FreeObject(last);
  EXPECT_EQ(Rotate->FaceCount(), 1);
}

}  // namespace

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "graphics/OxaButton.h"
#include "graphics/OxaImage.h"
#include "platform/windows/DisplayTesting.h"
#include "tests/graphics/GlyphStore.h"
#include "tests/support/MessagePump.h"

namespace {

constexpr TOxaColor kFrame = 0x0000C0;

class TLabelTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { UseHeadlessDisplay(); }
  void SetUp() override
  {
    glyphs::Fill(*Store);
    Font->SetBitmaps(Store.get());
    Font->SetAutoFontHeight(false);
    Font->SetFontHeight(12);
    Font->SetFontTop(2);
    Font->SetFallback(false);
    Root->SetBounds(0, 0, 300, 100);
    Label = new TOxaLabel(&Root->Objects());
    Label->SetParent(Root.get());
    Label->SetBounds(0, 0, 200, 40);
    Label->SetFont(Font.get());
  }
  // The width of a caption laid out without limits.
  int TextWidth(const std::string& text)
  {
    TOxaTextBlock block;
    Font->Layout(text, 0, block, kOxaLabelNoLimit, kOxaLabelNoLimit);
    return block.Width;
  }
  TOwnedObject<TOxaBitmaps> Store{new TOxaBitmaps(nullptr)};
  TOwnedObject<TOxaFont> Font{new TOxaFont(nullptr)};
  TOwnedObject<TOxaBitmap> Root{new TOxaBitmap(nullptr)};
  TOxaLabel* Label = nullptr;
};

TEST_F(TLabelTest, TheSameCaptionTwiceLaysOutOnce)
{
  Label->SetCaption("AB");
  Label->Update();
  const int updates = Label->TextUpdates();
  EXPECT_FALSE(Label->IsTextChanged());
  Label->SetCaption("AB");
  EXPECT_FALSE(Label->IsTextChanged());
  Label->Update();
  EXPECT_EQ(Label->TextUpdates(), updates);
  Label->SetCaption("AC");
  Label->Update();
  EXPECT_EQ(Label->TextUpdates(), updates + 1);
}

TEST_F(TLabelTest, TheSurfaceHoldsTextFrameAndMargins)
{
  const int text = TextWidth("AB");
  struct TCase {
    int Frame, HorzMargin, VertMargin;
  };
  for (const TCase c : {TCase{0, 0, 0}, TCase{1, 0, 0}, TCase{0, 3, 0}, TCase{0, 0, 4}, TCase{2, 3, 4}}) {
    SCOPED_TRACE(testing::Message() << c.Frame << " " << c.HorzMargin << " " << c.VertMargin);
    Label->SetFrameWidth(c.Frame);
    Label->SetHorzMargin(c.HorzMargin);
    Label->SetVertMargin(c.VertMargin);
    Label->SetFrameColor(kFrame);
    Label->SetCaption("AB");
    Label->Update();
    const int padX = c.Frame + c.HorzMargin;
    const int padY = c.Frame + c.VertMargin;
    ASSERT_EQ(Label->ImageWidth(), text + 2 * padX);
    ASSERT_EQ(Label->ImageHeight(), 12 + 2 * padY);
    // The first glyph starts right inside frame and margin; the margin has the text's ground.
    EXPECT_EQ(Label->GetPixel(padX, padY), glyphs::ColorOf('A'));
    if (c.Frame > 0) {
      EXPECT_EQ(Label->GetPixel(0, 0), kFrame);
      EXPECT_EQ(Label->GetPixel(c.Frame - 1, Label->ImageHeight() - 1), kFrame);
      EXPECT_EQ(Label->GetPixel(Label->ImageWidth() - c.Frame, Label->ImageHeight() / 2), kFrame);
    }
    if (c.HorzMargin > 0) {
      EXPECT_EQ(Label->GetPixel(c.Frame, padY), glyphs::kKey);
    }
  }
}

TEST_F(TLabelTest, WidthLimitsHaveAnEllipsisOnlyWhenTheTextDoesNotFit)
{
  const int full = TextWidth("ABCD");
  Label->SetCaption("ABCD");
  Label->SetMaxTextHeight(12);
  struct TCase {
    int Limit;
    bool Cut;
  };
  for (const TCase c : {TCase{full + 1, false}, TCase{full, false}, TCase{full - 1, true}}) {
    Label->SetMaxTextWidth(c.Limit);
    Label->Update();
    EXPECT_EQ(!Label->TextBlock().Ellipsis.empty(), c.Cut) << c.Limit;
    EXPECT_LE(Label->ImageWidth(), c.Limit) << c.Limit;
  }
}

TEST_F(TLabelTest, ANodeSizedLimitFollowsResizes)
{
  const int full = TextWidth("ABCD");
  Label->SetCaption("ABCD");
  Label->SetHorzMargin(2);
  Label->SetMaxTextHeight(12);
  Label->SetMaxTextWidth(kOxaLabelNodeSize);
  struct TCase {
    int NodeWidth;
    bool Cut;
  };
  // The limit is the node less both margins.
  for (const TCase c : {TCase{full + 4, false}, TCase{full + 3, true}, TCase{full + 40, false}}) {
    Label->SetWidth(c.NodeWidth);
    Label->Update();
    EXPECT_EQ(!Label->TextBlock().Ellipsis.empty(), c.Cut) << c.NodeWidth;
    EXPECT_LE(Label->ImageWidth(), c.NodeWidth) << c.NodeWidth;
  }
  // Stretched by its parent, the label lays its text out again.
  Label->SetWidth(full + 3);
  Label->Update();
  ASSERT_FALSE(Label->TextBlock().Ellipsis.empty());
  Label->SetHorzAlign(oaStretch);
  Root->SetWidth(400);
  Label->Update();
  EXPECT_TRUE(Label->TextBlock().Ellipsis.empty());
}

TEST_F(TLabelTest, TheTextSitsByItsAlignment)
{
  Label->SetCaption("AB");
  const int width = TextWidth("AB");
  struct TCase {
    int Alignment, X;
  };
  for (const TCase c : {TCase{kOxaAlignLeft, 0}, TCase{kOxaAlignRight, 200 - width},
                        TCase{kOxaAlignCenter, (200 - width) / 2}}) {
    Label->SetAlignment(c.Alignment);
    Label->Update();
    EXPECT_EQ(Label->ImageRect().left, c.X) << c.Alignment;
    EXPECT_EQ(Label->ImageRect().top, (40 - 12) / 2);
  }
}

TEST_F(TLabelTest, WithoutFontOnlyTheFrameShows)
{
  Label->SetFont(nullptr);
  Label->SetCaption("AB");
  Label->SetFrameWidth(1);
  Label->SetHorzMargin(2);
  Label->SetFrameColor(kFrame);
  Label->Update();
  EXPECT_EQ(Label->ImageWidth(), 6);
  EXPECT_EQ(Label->ImageHeight(), 2);
  EXPECT_EQ(Label->GetPixel(0, 0), kFrame);
}

TEST_F(TLabelTest, ANewFontLaysTheTextOutAgain)
{
  Label->SetCaption("AB");
  Label->Update();
  TOwnedObject<TOxaBitmaps> wide{new TOxaBitmaps(nullptr)};
  glyphs::Fill(*wide);
  glyphs::AddGlyph(*wide, std::string(GlyphName('A')), 9, glyphs::ColorOf('A'));
  const int before = Label->ImageWidth();
  Font->SetBitmaps(wide.get());
  Label->Update();
  EXPECT_EQ(Label->ImageWidth(), before + 4);
}

TEST_F(TLabelTest, AssignCopiesTheLook)
{
  TOwnedObject<TOxaColors> colors{new TOxaColors(nullptr)};
  TOwnedObject<TOxaLabel> source{new TOxaLabel(nullptr)};
  source->SetCaption("XY");
  source->SetFrameWidth(2);
  source->SetHorzMargin(3);
  source->SetVertMargin(4);
  source->SetCaptionColors(colors.get());
  source->SetAlignment(kOxaAlignCenter);
  source->SetMaxTextWidth(17);
  source->SetBounds(1, 2, 3, 4);
  Label->Assign(*source);
  EXPECT_EQ(Label->Caption(), "XY");
  EXPECT_EQ(Label->FrameWidth(), 2);
  EXPECT_EQ(Label->HorzMargin(), 3);
  EXPECT_EQ(Label->VertMargin(), 4);
  EXPECT_EQ(Label->CaptionColors(), colors.get());
  EXPECT_EQ(Label->Alignment(), kOxaAlignCenter);
  // Limits and place are the label's own.
  EXPECT_EQ(Label->MaxTextWidth(), kOxaLabelNoLimit);
  EXPECT_EQ(Label->Width(), 200);
  // The colour set is observed: freed, the label lets go of it.
  colors.reset();
  EXPECT_EQ(Label->CaptionColors(), nullptr);
  EXPECT_EQ(source->CaptionColors(), nullptr);
}

TEST_F(TLabelTest, DarkeningKeepsTheShareOfEachByte)
{
  auto* label = new TOxaDarkenLabel(&Root->Objects());
  label->SetParent(Root.get());
  label->SetFont(Font.get());
  label->SetCaption("A");
  const TOxaColor a = glyphs::ColorOf('A');
  const auto darkened = [](TOxaColor c, int d) {
    TOxaColor out = 0;
    for (int shift : {0, 8, 16}) {
      out |= TOxaColor(((c >> shift) & 0xFF) * std::uint32_t(255 - d) >> 8) << shift;
    }
    return out;
  };
  for (const int d : {0, 1, 128, 254, 255, 100}) {
    label->SetDarken(std::uint8_t(d));
    label->Update();
    EXPECT_FALSE(label->DarkenPending());
    EXPECT_EQ(label->GetPixel(0, 0), d == 0 ? a : darkened(a, d)) << d;
  }
  // A caption changed later is darkened too.
  label->SetCaption("AA");
  label->Update();
  EXPECT_EQ(label->GetPixel(6, 0), darkened(a, 100));
}

// --- Buttons ---

struct TCounts {
  int Clicks = 0;
  int Downs = 0;
  void Click(TOxaBitmap*) { ++Clicks; }
  void Down(TOxaBitmap*, TMouseButton, TShiftState, int, int) { ++Downs; }
};

class TButtonTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { UseHeadlessDisplay(); }
  void SetUp() override
  {
    Image.reset(new TOxaImage(nullptr));
    Image->SetBounds(0, 0, 200, 100);
    Image->Show();
    Root->SetBounds(0, 0, 200, 100);
    Root->SetBitmaps(Store.get());
    Image->SetBitmap(Root.get());
    Button = new TOxaButton(&Root->Objects());
    Button->SetParent(Root.get());
    Button->SetBounds(20, 10, 60, 50);
    Button->OnClick = MakeMethod<&TCounts::Click>(&Counts);
    Button->OnMouseDown = MakeMethod<&TCounts::Down>(&Counts);
  }
  void TearDown() override
  {
    Image->SetBitmap(nullptr);
    Root.reset();
    Image.reset();
  }
  // A solid image per suffix, named "OK" + suffix, each its own colour.
  void Give(const std::set<std::string>& suffixes)
  {
    for (int s = 0; s < kOxaButtonStates; ++s) {
      const std::string suffix = kOxaButtonSuffixes[std::size_t(s)];
      if (suffixes.count(suffix) != 0) {
        TOwnedObject<TOxaBitmap> image(new TOxaBitmap(nullptr));
        image->ChangeImageSize(40, 30, opf24Bit);
        image->FillRect({0, 0, 40, 30}, ColorOf(s));
        Store->Add("OK" + suffix, *image);
      }
    }
  }
  static TOxaColor ColorOf(int state) { return TOxaColor(0x101010 * (state + 1)); }
  // The colour the visible state image shows.
  TOxaColor Shown()
  {
    for (int s = 0; s < kOxaButtonStates; ++s) {
      if (Button->StateImage(s)->Visible()) {
        return Button->StateImage(s)->GetPixel(0, 0);
      }
    }
    return 0xFFFFFFFF;
  }
  void Over() { Image->DoMouseMove(0, 50, 20); }
  void Away() { Image->DoMouseMove(0, 190, 95); }
  void Press() { Image->DoMouseDown(TMouseButton::mbLeft, 0, 50, 20); }
  void Release(int x = 50, int y = 20) { Image->DoMouseUp(TMouseButton::mbLeft, 0, x, y); }

  TOwnedObject<TOxaImage> Image;
  TOwnedObject<TOxaBitmaps> Store{new TOxaBitmaps(nullptr)};
  TOwnedObject<TOxaBitmap> Root{new TOxaBitmap(nullptr)};
  TOxaButton* Button = nullptr;
  TCounts Counts;
};

TEST_F(TButtonTest, MissingImagesFallBack)
{
  // Per state N, NA, R, RA, RG, D: the suffix whose image shows.
  struct TCase {
    std::set<std::string> Have;
    std::vector<std::string> Shows;
  };
  const TCase cases[] = {
      {{"N"}, {"N", "N", "N", "N", "N", "N"}},
      {{"N", "R"}, {"N", "N", "R", "R", "R", "N"}},
      {{"N", "NA", "R", "RA", "RG", "D"}, {"N", "NA", "R", "RA", "RG", "D"}},
      {{"R", "RA"}, {"", "", "R", "RA", "R", ""}},
      {{"NA", "D"}, {"", "NA", "", "", "", "D"}},
  };
  Button->SetName("OK");
  for (const TCase& c : cases) {
    Store->Clear();
    Give(c.Have);
    for (int s = 0; s < kOxaButtonStates; ++s) {
      TOxaBitmap* source = Button->StateSource(s);
      const std::string& want = c.Shows[std::size_t(s)];
      EXPECT_EQ(source, want.empty() ? nullptr : Store->Find("ok" + want))
          << "state " << s << " of " << c.Have.size();
    }
  }
}

TEST_F(TButtonTest, TheNameFindsTheImages)
{
  Give({"N", "R"});
  EXPECT_EQ(Button->StateSource(0), nullptr);
  Button->SetName("Ok");
  EXPECT_EQ(Button->StateSource(0), Store->Find("OKN"));
  EXPECT_EQ(Shown(), ColorOf(0));
  Button->SetName("Other");
  EXPECT_EQ(Button->StateSource(0), nullptr);
}

TEST_F(TButtonTest, StatesFollowMouseActiveAndDisabled)
{
  Give({"N", "NA", "R", "RA", "RG", "D"});
  Button->SetName("OK");
  struct TCase {
    bool Over, Press, Active, Disabled;
    int State;
  };
  const TCase cases[] = {
      {false, false, false, false, 0}, {false, false, true, false, 1}, {true, false, false, false, 2},
      {true, true, false, false, 3},   {true, false, true, false, 3},  {true, false, false, true, 5},
      {false, false, true, true, 5},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Over << c.Press << c.Active << c.Disabled);
    Button->SetActive(c.Active);
    Button->SetDisabled(c.Disabled);
    c.Over ? Over() : Away();
    if (c.Press) {
      Press();
    }
    EXPECT_EQ(Button->State(), c.State);
    EXPECT_EQ(Shown(), ColorOf(c.State));
    if (c.Press) {
      Release();
    }
  }
}

TEST_F(TButtonTest, AButtonWithOnlyNShowsItInEveryState)
{
  Give({"N"});
  Button->SetName("OK");
  Over();
  Press();
  EXPECT_EQ(Button->State(), 3);
  EXPECT_EQ(Shown(), ColorOf(0));
  Release();
  Button->SetDisabled(true);
  EXPECT_EQ(Shown(), ColorOf(0));
}

TEST_F(TButtonTest, AToggleClickedTwiceComesBack)
{
  Give({"N", "NA", "R", "RA"});
  Button->SetName("OK");
  Button->SetToggle(true);
  Over();
  Press();
  Release();
  EXPECT_TRUE(Button->Active());
  EXPECT_EQ(Button->State(), 3);
  Press();
  Release();
  EXPECT_FALSE(Button->Active());
  EXPECT_EQ(Button->State(), 2);
  Away();
  EXPECT_EQ(Button->State(), 0);
  EXPECT_EQ(Counts.Clicks, 2);
  // Released away from it, a press is no click.
  Over();
  Press();
  Release(190, 95);
  EXPECT_FALSE(Button->Active());
  EXPECT_FALSE(Button->Pressed());
}

TEST_F(TButtonTest, ADisabledButtonIgnoresPresses)
{
  Give({"N", "R", "D"});
  Button->SetName("OK");
  Button->SetToggle(true);
  Button->SetDisabled(true);
  Over();
  Press();
  Release();
  EXPECT_FALSE(Button->Pressed());
  EXPECT_FALSE(Button->Active());
  EXPECT_EQ(Counts.Downs, 0);
  EXPECT_EQ(Counts.Clicks, 0);
  EXPECT_EQ(Button->State(), 5);
  EXPECT_EQ(Shown(), ColorOf(5));
  Button->SetDisabled(false);
  EXPECT_EQ(Button->State(), 2);
}

TEST_F(TButtonTest, LosingTheCaptureReleases)
{
  Give({"N", "R"});
  Button->SetName("OK");
  Over();
  Press();
  ASSERT_TRUE(Button->Pressed());
  Image->SetCaptured(nullptr);
  EXPECT_FALSE(Button->Pressed());
  EXPECT_EQ(Button->State(), 2);
}

TEST_F(TButtonTest, HitOnlyWhereImageOrCaptionIs)
{
  Give({"N"});
  Button->SetName("OK");
  // The 40 x 30 image is centred in the 60 x 50 button: x 30..69, y 20..49 of the root.
  struct TCase {
    int X, Y;
    bool Hit;
  };
  for (const TCase c : {TCase{30, 20, true}, TCase{29, 20, false}, TCase{69, 49, true}, TCase{70, 49, false},
                        TCase{50, 19, false}, TCase{50, 50, false}}) {
    POINT p{c.X, c.Y};
    EXPECT_EQ(Root->FindChildAt(p) == Button, c.Hit) << c.X << "," << c.Y;
  }
}

TEST_F(TButtonTest, StateFontsAndColoursComeFromTheSets)
{
  Give({"N", "R"});
  Button->SetName("OK");
  TOwnedObject<TOxaFont> normal{new TOxaFont(nullptr)};
  TOwnedObject<TOxaFont> over{new TOxaFont(nullptr)};
  TOwnedObject<TOxaFont> other{new TOxaFont(nullptr)};
  TOwnedObject<TOxaFonts> fonts{new TOxaFonts(nullptr)};
  fonts->SetItems(0, normal.get());
  fonts->SetItems(2, over.get());
  fonts->SetItems(7, other.get());
  TOwnedObject<TOxaColors> colors{new TOxaColors(nullptr)};
  colors->SetItems(2, 0x123456);
  Root->SetFonts(fonts.get());
  Root->SetColors(colors.get());
  EXPECT_EQ(Button->Font(), normal.get());
  Over();
  EXPECT_EQ(Button->Font(), over.get());
  EXPECT_EQ(Button->Color(), 0x123456U);
  Button->SetStateFont(2, 7);
  EXPECT_EQ(Button->Font(), other.get());
  // A set whose entry changes is followed at once.
  fonts->SetItems(7, normal.get());
  EXPECT_EQ(Button->Font(), normal.get());
  Root->SetFonts(nullptr);
  EXPECT_EQ(Button->StateImage(2)->Font(), nullptr);
}

TEST_F(TButtonTest, AReplacedStoreRebuildsTheImages)
{
  Give({"N"});
  Button->SetName("OK");
  TOwnedObject<TOxaBitmaps> other{new TOxaBitmaps(nullptr)};
  TOwnedObject<TOxaBitmap> image(new TOxaBitmap(nullptr));
  image->ChangeImageSize(10, 10, opf24Bit);
  image->FillRect({0, 0, 10, 10}, 0x0000FF);
  other->Add("OKN", *image);
  Root->SetBitmaps(other.get());
  EXPECT_EQ(Shown(), 0x0000FFU);
  EXPECT_EQ(Button->StateImage(0)->ImageWidth(), 10);
  other.reset();
  EXPECT_EQ(Button->StateSource(0), nullptr);
}

TEST_F(TButtonTest, TheCaptionSitsUnderTheImage)
{
  TOwnedObject<TOxaBitmaps> glyphStore{new TOxaBitmaps(nullptr)};
  glyphs::Fill(*glyphStore, true, 10);
  TOwnedObject<TOxaFont> font{new TOxaFont(nullptr)};
  font->SetBitmaps(glyphStore.get());
  Give({"N"});
  Button->SetName("OK");
  Button->SetFont(font.get());
  Button->SetAlignment(kOxaAlignCenter);
  Button->SetCaption("AB");
  Button->Update();
  const RECT caption = Button->ImageRect();
  const TOxaBitmap* picture = Button->StateImage(0);
  EXPECT_EQ(picture->Top(), (50 - 30 - 10) / 2);
  EXPECT_EQ(caption.top, picture->Top() + 30);
  EXPECT_EQ(caption.left, (60 - (caption.right - caption.left)) / 2);
  // The whole button paints: the picture over the caption's ground nowhere.
  TOwnedObject<TOxaBitmap> target{new TOxaBitmap(nullptr)};
  target->ChangeImageSize(200, 100, opf24Bit);
  Root->BitBlt(*target, 0, 0, {0, 0, 200, 100});
  EXPECT_EQ(target->GetPixel(20 + picture->Left(), 10 + picture->Top()), ColorOf(0));
  EXPECT_EQ(target->GetPixel(20 + caption.left, 10 + caption.top), glyphs::ColorOf('A'));
}

}  // namespace

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "views/frame/MusicListHeaderFooter.h"

namespace {

TEST(MusicFooterPlaces, CentredButtonsShareTheSpaceBetweenTheStacks)
{
  using P = std::vector<TFooterPlace>;
  const struct {
    const char* Name;
    int Left, Right;
    std::vector<int> Widths;
    P Expected;
  } cases[] = {
      {"none", 0, 400, {}, {}},
      {"one, centred", 120, 400, {170}, {{175, 170}}},
      {"two with room, side by side", 120, 400, {170, 80}, {{135, 170}, {305, 80}}},
      {"two filling the space exactly", 120, 370, {170, 80}, {{120, 170}, {290, 80}}},
      {"one pixel short: shrunk to fit", 120, 369, {170, 80}, {{120, 169}, {289, 80}}},
      {"far too little: in proportion", 0, 100, {300, 100}, {{0, 75}, {75, 25}}},
      {"no space at all: one pixel each", 50, 50, {170, 80}, {{50, 1}, {50, 1}}},
      {"stacks crossed: as no space", 60, 40, {10}, {{60, 1}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const P places = PlaceCentredButtons(c.Left, c.Right, c.Widths);
    EXPECT_EQ(places, c.Expected);
  }
}

bool Apart(const TOxaButton* a, const TOxaButton* b)
{
  return a->Left() + a->Width() <= b->Left() || b->Left() + b->Width() <= a->Left();
}

// The second panel of the browser: DONE and INFO at the left, NEW PLAYLIST centred, and the
// selection turning "Delete" and "REMOVE" on and off.
TEST(MusicFooterPlaces, NoShownButtonsOverlapWhateverTheSelectionShows)
{
  TMusicListFooter footer(nullptr);
  for (const char* hidden : {"ShowList", "HideList", "ShowEdit", "Hide"}) {
    footer.Button(hidden)->SetVisible(false);
  }
  footer.SetBounds(0, 0, 400, TMusicListFooter::FooterHeight);
  const struct {
    bool Delete, Remove;
  } cases[] = {{true, false}, {false, true}, {true, true}, {false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Delete) + std::to_string(c.Remove));
    footer.Button("Delete")->SetVisible(c.Delete);
    footer.Button("Hide")->SetVisible(c.Remove);
    std::vector<const TOxaButton*> shown;
    for (int i = 0; i < footer.ButtonCount(); ++i) {
      if (footer.Buttons(i)->Visible()) {
        shown.push_back(footer.Buttons(i));
        EXPECT_GE(footer.Buttons(i)->Left(), 0);
        EXPECT_LE(footer.Buttons(i)->Left() + footer.Buttons(i)->Width(), 400);
      }
    }
    for (std::size_t i = 0; i < shown.size(); ++i) {
      for (std::size_t j = i + 1; j < shown.size(); ++j) {
        EXPECT_TRUE(Apart(shown[i], shown[j])) << shown[i]->Name() << " / " << shown[j]->Name();
      }
    }
  }
  // Hidden again, NEW PLAYLIST is centred at its own width between INFO and the right edge.
  EXPECT_EQ(footer.Button("New")->Width(), 170);
  EXPECT_EQ(footer.Button("New")->Left(), 120 + (280 - 170) / 2);
}

}  // namespace

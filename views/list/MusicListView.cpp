#include "views/list/MusicListView.h"

#include <algorithm>
#include <new>

#include "framework/OxaUtils.h"
#include "rtl/Format.h"

namespace {

template <std::size_t N>
int CodeIndex(const std::array<std::string_view, N>& codes, std::string_view code) noexcept
{
  const auto it = std::find(codes.begin(), codes.end(), code);
  return it == codes.end() ? -1 : int(it - codes.begin());
}

}  // namespace

// --- TMusicListView ---

TMusicListView::TMusicListView(TOxaObjects* parentList)
    : TDisplayListView(parentList),
      FHeader(new TMusicListViewHeader(&Objects())),
      FFooter(new TMusicListViewHeader(&Objects())),
      FScrollBar(new TMusicListViewScrollBar(&Objects()))
{
  SetAsyncPaint(true);
  // Above the panel, which slides under them.
  FHeader->SetParent(this);
  FFooter->SetParent(this);
  FScrollBar->SetParent(this);
}

void TMusicListView::ScrollChanged()
{
  if (FScrollBar == nullptr)
    return;  // still being built
  const int view = std::max(0, Height() - HeaderHeight() - FooterHeight());
  const auto strip = [&](TMusicListViewHeader* node, int top, int height) {
    if (node->Left() != 0 || node->Top() != top || node->Width() != Width() || node->Height() != height)
      node->SetBounds(0, top, Width(), height);
  };
  strip(FHeader, 0, HeaderHeight());
  strip(FFooter, HeaderHeight() + view, FooterHeight());
  const RECT bounds{Width() - TMusicListViewScrollBar::BarWidth, HeaderHeight(), Width(),
                    HeaderHeight() + view};
  if (FScrollBar->BoundsRect().left != bounds.left || FScrollBar->Top() != bounds.top ||
      FScrollBar->Height() != view)
    FScrollBar->SetBounds(bounds.left, bounds.top, TMusicListViewScrollBar::BarWidth, view);
  FScrollBar->Show(view, Panel()->Height(), ScrollOffset());
  UpdateRowSurfaces();
}

bool TMusicListView::RowInReach(const TDisplayListViewItem* row) const noexcept
{
  const std::optional<int> parentTop = TopInPanel(row->Parent());
  return !parentTop || InReach(*parentTop + row->Top(), row->Height());
}

std::optional<int> TMusicListView::TopInPanel(const TOxaBitmap* node) const noexcept
{
  int top = 0;
  for (; node != nullptr && node != Panel(); node = node->Parent())
    top += node->Top();
  if (node == nullptr)
    return std::nullopt;
  return top;
}

bool TMusicListView::InReach(int top, int height) const noexcept
{
  const int view = std::max(0, Height() - HeaderHeight() - FooterHeight());
  return top + height > ScrollOffset() - view && top < ScrollOffset() + 2 * view;
}

void TMusicListView::UpdateRowSurfaces()
{
  // The rows of a group share their parent's place: found once for all of them, as a list of
  // thousands of rows does this on every frame of a slide.
  const TOxaBitmap* parent = nullptr;
  std::optional<int> parentTop;
  std::vector<TMusicListViewItem*> entering;
  std::vector<TMusicListViewItem*> leaving;
  for (int i = 0; i < ItemCount(); ++i) {
    auto* row = dynamic_cast<TMusicListViewItem*>(Items(i));
    if (row == nullptr)
      continue;
    if (row->Parent() != parent || i == 0) {
      parent = row->Parent();
      parentTop = TopInPanel(parent);
    }
    const bool reach = !parentTop || InReach(*parentTop + row->Top(), row->Height());
    if (reach && !row->Composed())
      entering.push_back(row);
    else if (!reach && row->Composed())
      leaving.push_back(row);
  }
  // Each row coming into reach redraws the surface of one that left it, when one of its size
  // is left.
  for (TMusicListViewItem* row : entering) {
    const auto same = std::find_if(leaving.rbegin(), leaving.rend(), [&](const TMusicListViewItem* old) {
      return old->Width() == row->Width() && old->Height() == row->Height();
    });
    if (same == leaving.rend()) {
      row->Compose();
      continue;
    }
    TMusicListViewItem* old = *same;
    leaving.erase(std::next(same).base());
    row->ComposeInto(*old);
  }
  for (TMusicListViewItem* row : leaving)
    row->ReleaseSurface();
}

void TMusicListView::SetCovers(std::shared_ptr<TCoverLoader> loader, TGroupCoverFile coverFile)
{
  FCovers = std::move(loader);
  FCoverFile = std::move(coverFile);
  FGroupFiles.clear();
}

const TSurface* TMusicListView::GroupCover(const TDbId& group)
{
  if (FCovers == nullptr || !FCoverFile || group.Level() != TDbIdLevel::Group) {
    return nullptr;
  }
  const auto key = std::make_pair(group.ViewId, group.GroupId);
  auto file = FGroupFiles.find(key);
  if (file == FGroupFiles.end()) {
    file = FGroupFiles.emplace(key, FCoverFile(group)).first;
  }
  if (file->second.empty()) {
    return nullptr;
  }
  const auto [state, picture] = FCovers->Cover(file->second, kMusicIconSize);
  if (state == TCoverLoader::TCoverState::Pending) {
    FCoversPending = true;
  }
  return picture;
}

void TMusicListView::CoversArrived()
{
  if (!FCoversPending) {
    return;
  }
  FCoversPending = false;
  for (int i = 0; i < ItemCount(); ++i) {
    auto* row = dynamic_cast<TMusicListViewItem*>(Items(i));
    if (row != nullptr && row->Composed() &&
        (row->Kind() == TMusicListViewItemKinds::mlkAlbum ||
         row->Kind() == TMusicListViewItemKinds::mlkFolder)) {
      row->Compose();
      row->ContentChanged();
    }
  }
}

void TMusicListView::ContentChanged()
{
  // A store that is freed, replaced, inherited or edited reaches the list only as a content
  // change.
  if (BeingDestroyed()) {
    TDisplayListView::ContentChanged();
    return;
  }
  const TOxaStoreStamp stamp(Bitmaps());
  if (!FTableStampTaken || stamp != FTableStamp) {
    FTableStamp = stamp;
    FTableStampTaken = true;
    FTablesBuilt = false;
    if (Showing())
      BuildTables();
    for (int i = 0; i < ItemCount(); ++i)
      if (auto* row = dynamic_cast<TMusicListViewItem*>(Items(i)))
        row->Compose();
  }
  TDisplayListView::ContentChanged();
}

TOxaBitmap* TMusicListView::Checked(const std::string& name, int width, const char* method) const
{
  TOxaBitmap* image = Bitmaps() != nullptr ? Bitmaps()->Find(name) : nullptr;
  if (image == nullptr) {
    TraceObject(this, Format("%s: Icon \"%s\" does not exist", method, name));
    return nullptr;
  }
  if (image->ImageWidth() != width || image->ImageHeight() != kMusicIconSize) {
    TraceObject(this, Format("ChangeBitmaps: Icon \"%s\" invalid size", name));
    return nullptr;
  }
  return image;
}

void TMusicListView::ChangeBitmaps()
{
  if (BeingDestroyed())
    return;
  FTableStamp = TOxaStoreStamp(Bitmaps());
  FTableStampTaken = true;
  FTablesBuilt = false;
  BuildTables();
  for (int i = 0; i < ItemCount(); ++i)
    if (auto* row = dynamic_cast<TMusicListViewItem*>(Items(i)))
      row->Compose();
}

void TMusicListView::BuildTables() const noexcept
{
  if (FTablesBuilt)
    return;
  for (auto& set : FDragInsert)
    set.fill(nullptr);
  for (auto& kind : FIcons)
    kind.fill(nullptr);
  FFlaps.fill(nullptr);
  // No store is no fault: the rows draw without images until one is set.
  if (Bitmaps() == nullptr) {
    FTablesBuilt = true;
    return;
  }
  try {
    static constexpr const char* kSets[] = {"A", "B", "C", "D"};
    for (int s = 0; s < 4; ++s) {
      for (int step = 1; step <= 10; ++step) {
        // The frames grow in height from step to step: only their width is fixed.
        const std::string name = Format("DragInsert%s%d", kSets[s], step);
        TOxaBitmap* image = Bitmaps()->Find(name);
        if (image == nullptr)
          TraceObject(this, Format("ChangeBitmaps: Icon \"%s\" does not exist", name));
        else if (image->ImageWidth() != kMusicIconSize || image->ImageHeight() > kMusicIconSize)
          TraceObject(this, Format("ChangeBitmaps: Icon \"%s\" invalid size", name));
        else
          FDragInsert[std::size_t(s)][std::size_t(step - 1)] = image;
      }
    }
    for (int k = 0; k < kMusicListViewItemKindCount; ++k) {
      const auto kind = static_cast<TMusicListViewItemKinds>(k);
      const std::string prefix(MusicListViewKindPrefix(kind));
      if (kind == TMusicListViewItemKinds::mlkTrack) {
        for (std::size_t c = 0; c < kMusicListTrackIconCodes.size(); ++c) {
          const std::string_view code = kMusicListTrackIconCodes[c];
          const std::string name =
              Format("%s%sX%s", prefix, std::string(1, code[0]), std::string(1, code[2]));
          FIcons[std::size_t(k)][c] = Checked(name, kMusicIconSize, "ChangeBitmaps");
        }
      } else {
        for (std::size_t c = 0; c < kMusicListIconCodes.size(); ++c) {
          const std::string_view code = kMusicListIconCodes[c];
          const std::string name = Format("%s%s%s%s", prefix, std::string(1, code[0]),
                                          std::string(1, code[1]), std::string(1, code[2]));
          FIcons[std::size_t(k)][c] = Checked(name, kMusicIconSize, "ChangeBitmaps");
        }
      }
    }
    for (std::size_t f = 0; f < kMusicListFlapCodes.size(); ++f) {
      const std::string_view code = kMusicListFlapCodes[f];
      const std::string name =
          Format("%s%s%s", std::string("FLAP-"), std::string(1, code[0]), std::string(1, code[1]));
      // The flap table has always traced under this spelling; log readers match on it.
      FFlaps[f] = Checked(name, kMusicFlapWidth, "ChangeBimaps");
    }
  } catch (const std::bad_alloc&) {
    // Drawn without the images not found yet; the tables are built again on the next need.
    return;
  }
  FTablesBuilt = true;
}

RECT TMusicListView::EditBounds(const TDisplayListViewItem* row) const
{
  const POINT p = RowOrigin(row);
  // The outer flap at the row's end stays in sight: it is the row's corner, not its caption.
  const int right =
      std::min(p.x + row->Width() - kMusicFlapWidth, Width() - TMusicListViewScrollBar::BarWidth);
  const int left = p.x + kMusicCaptionLeft;
  return {left, p.y, std::max(left, right), p.y + kMusicIconSize};
}

TOxaFont& TMusicListView::TextFont(TOxaColor text, TOxaColor back) const
{
  if (!FTextFont)
    FTextFont.reset(new TOxaFont(nullptr));
  TOxaGdiFont gdi = Font() != nullptr ? Font()->GdiFont() : TOxaGdiFont{};
  gdi.Color = text;
  FTextFont->SetGdiFont(gdi);
  FTextFont->SetGdiColor(back);
  return *FTextFont;
}

TOxaBitmap* TMusicListView::Icon(TMusicListViewItemKinds kind, int state) const noexcept
{
  const int k = static_cast<int>(kind);
  if (k < 0 || k >= kMusicListViewItemKindCount)
    return nullptr;
  const bool track = kind == TMusicListViewItemKinds::mlkTrack;
  const std::string code = MusicListViewIconCode(track, MusicListViewEntry(track, state));
  const int c = track ? CodeIndex(kMusicListTrackIconCodes, code) : CodeIndex(kMusicListIconCodes, code);
  BuildTables();
  return c < 0 ? nullptr : FIcons[std::size_t(k)][std::size_t(c)];
}

TOxaBitmap* TMusicListView::Flap(std::string_view code) const noexcept
{
  const int f = CodeIndex(kMusicListFlapCodes, code);
  BuildTables();
  return f < 0 ? nullptr : FFlaps[std::size_t(f)];
}

TOxaBitmap* TMusicListView::DragInsert(int set, int step) const noexcept
{
  if (set < 0 || set >= 4 || step < 1 || step > 10)
    return nullptr;
  BuildTables();
  return FDragInsert[std::size_t(set)][std::size_t(step - 1)];
}

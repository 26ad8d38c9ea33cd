// The music view and its panel.
#include "views/info/MusicView.h"

#include <cstdlib>

#include "framework/OxaUtils.h"
#include "library/CoverCache.h"
#include "library/MusicTables.h"
#include "platform/windows/Messages.h"
#include "tags/OxaMusicTag.h"
#include "views/info/OxaMusicInfoText.h"

TMusicView::TMusicView(TOxaObjects* parentList)
    : TOxaBitmap(parentList),
      FBrowser(new TOxaBitmap(&Objects())),
      FInfo(new TOxaMusicInfo(&Objects())),
      FClock([] { return GetTickCount64(); })
{
  SetAutoRealign(false);
  FBrowser->SetParent(this);
  FInfo->SetParent(this);
  FInfo->SetVisible(false);
  FInfo->TrackBar()->OnDragStart = MakeMethod<&TMusicView::DragStarted>(this);
  FInfo->TrackBar()->OnRelease = MakeMethod<&TMusicView::Released>(this);
  FInfo->Body()->OnEdited = MakeMethod<&TMusicView::FieldEdited>(this);
  SetBounds(0, 0, 800, 600);
}

void TMusicView::ShowInfo(bool value)
{
  FInfo->SetVisible(value);
  PlaceParts();
}

void TMusicView::Resized()
{
  TOxaBitmap::Resized();
  PlaceParts();
}

void TMusicView::PlaceParts()
{
  const int infoWidth = FInfo->Visible() ? std::min(InfoWidth, Width()) : 0;
  FBrowser->SetBounds(0, 0, Width() - infoWidth, Height());
  FInfo->SetBounds(Width() - infoWidth, 0, infoWidth, Height());
}

void TMusicView::RequirePlayer() const
{
  if (FPlayer == nullptr) {
    throw EOxaFatal("FPlayer is nil - needs some displaying (MusicView)");
  }
}

void TMusicView::DisplayTrack(const TDbId& item)
{
  RequirePlayer();
  TMusicFileItem track;
  std::int32_t fileId = -1;
  if (item.ViewId == ViewLooseFile) {
    track.FileName = item.Caption;
    track.Title = item.Caption;
  } else if (item.Level() == TDbIdLevel::Item && FPlayer->OpenLibrary() &&
             FPlayer->Database().ResolveFileId(item.ViewId, item.FileId, fileId)) {
    if (!OxaReadTrackRecord(FPlayer->Database(), fileId, track)) {
      fileId = -1;
    }
  }
  DisplayFile(track, item.ViewId, fileId);
}

void TMusicView::DisplayFile(const TMusicFileItem& track, std::int32_t view, std::int32_t fileId)
{
  RequirePlayer();
  FFileId = fileId;
  TMusicFileItem shown = track;
  // The panel shows no placeholders: a field the file does not hold stays empty.
  for (std::string* text : {&shown.Artist, &shown.Album, &shown.Genre}) {
    if (*text == UnknownText) {
      text->clear();
    }
  }
  FInfo->Body()->SetTrack(shown, view);
  FCoverFile = track.FileName;
  ShowCover();
  // Lossless streams report a variable rate; their sample size and rate say what they are.
  TTagLibStreamFormat format;
  if (track.Bitrate == -1 && TOxaMusicTag::ReadStreamFormat(track.FileName, format) && format.Lossless) {
    FInfo->Body()->SetQualityText(
        OxaLosslessQualityText(format.Codec, format.BitsPerSample, format.SampleRate));
  }
  FInfo->Body()->SetEditMode(fileId >= 0 && !track.FileName.empty() && FPlayer->CanWriteTag(track.FileName));
  FSlider.SetLength(track.Duration);
  FInfo->TrackBar()->SetValue(0);
}

std::shared_ptr<TCoverLoader> TMusicView::Covers()
{
  if (FCovers || FPlayer == nullptr || FCoverWindowFailed) {
    return FCovers;
  }
  try {
    FCoverWindow.Open();
  } catch (const Exception& error) {
    Trace("MusicView: no covers, the message window failed: %s", error.Message());
    FCoverWindowFailed = true;
    return nullptr;
  }
  FCoverWindow.OnMessage = MakeMethod<&TMusicView::CoverMessage>(this);
  // A library not opened yet has a placeholder directory: covers are then only not kept.
  const std::string& library = FPlayer->Database().Directory();
  const bool rooted = library.find(":\\") != std::string::npos || library.starts_with("\\\\");
  FCovers = TThread::New<TCoverLoader>(rooted ? TCoverCache::FolderOf(library) : std::string());
  FCovers->OnReady = [window = FCoverWindow.Handle()] { PostMessageA(window, CoverReadyMessage, 0, 0); };
  return FCovers;
}

void TMusicView::ShowCover()
{
  const std::shared_ptr<TCoverLoader> covers = FCoverFile.empty() ? nullptr : Covers();
  if (covers == nullptr) {
    return;
  }
  const auto [state, picture] = covers->Cover(FCoverFile, TOxaMusicInfoCover::PictureBox);
  if (state != TCoverLoader::TCoverState::Pending) {
    FInfo->Body()->SetCover(picture);
  }
}

void TMusicView::CoverMessage(TObject* /*sender*/, TMessage& message, bool& handled)
{
  if (message.Msg != CoverReadyMessage) {
    return;
  }
  handled = true;
  // The loader posts once per cover; one look covers every message already queued.
  MSG pending{};
  while (PeekMessageA(&pending, FCoverWindow.Handle(), CoverReadyMessage, CoverReadyMessage, PM_REMOVE) !=
         FALSE) {
  }
  ShowCover();
  if (OnCoversArrived) {
    OnCoversArrived();
  }
}

void TMusicView::SetPlayPosition(std::int32_t tenths)
{
  const std::int32_t requested = FSlider.Requested();
  bool caughtUp = false;
  const bool changed = FSlider.SetPlayPosition(tenths, FClock(), &caughtUp);
  if (caughtUp) {
    Trace("SetPos %d, Pos %d", requested, TMusicViewSlider::ValueOf(tenths, FSlider.Length()));
  }
  FInfo->Body()->SetElapsed(tenths / 10);
  if (changed) {
    FInfo->TrackBar()->SetValue(FSlider.Value());
  }
}

void TMusicView::MarkFinished()
{
  if (FSlider.Length() >= 1 && !FSlider.Dragging()) {
    SetPlayPosition(FSlider.Length() * 10);
  }
}

void TMusicView::DragStarted(TOxaMusicInfoTrackBar*, std::int32_t)
{
  FSlider.SetDragging(true);
}

void TMusicView::Released(TOxaMusicInfoTrackBar*, std::int32_t value)
{
  FSlider.SetDragging(false);
  if (value < 0) {
    FInfo->TrackBar()->SetValue(FSlider.Value());
    return;
  }
  const std::int32_t tenths = FSlider.Release(value, FClock());
  if (tenths < 0) {
    return;
  }
  Trace("MouseUp SetPos %d", tenths);
  if (FPlayer != nullptr) {
    FPlayer->Seek(tenths);
  }
}

void TMusicView::FieldEdited(TOxaMusicInfoItem*, TOxaMusicInfoItemKind kind, const std::string& text)
{
  if (FPlayer == nullptr) {
    return;
  }
  const std::string& fileName = FInfo->Body()->Track().FileName;
  TOxaTrackEdit edit;
  switch (kind) {
    case ikTitle:
      edit.Title = text;
      break;
    case ikArtist:
      edit.Artist = text;
      break;
    case ikGenre:
      edit.Genre = text;
      break;
    case ikAlbum:
      edit.Album = text;
      break;
    default:
      return;
  }
  TMusicFileItem item;
  if (fileName.empty() || !OxaEditedFileItem(fileName, edit, item)) {
    return;
  }
  TraceObject(this, "FieldEdited: %s", fileName);
  FPlayer->SetTag(item);
  if (FFileId >= 0 && FPlayer->OpenLibrary()) {
    OxaFollowTrackEdit(FPlayer->Database(), FFileId, edit);
  }
  if (OnTrackEdited) {
    OnTrackEdited(this, FFileId, edit);
  }
}

// --- TMusicViewPanel ---

TMusicViewPanel::TMusicViewPanel(TOxaObjects* parentList)
    : TOxaBitmap(parentList), FView(new TMusicView(&Objects()))
{
  FView->SetParent(this);
  FView->SetHorzAlign(oaStretch);
  FView->SetVertAlign(oaStretch);
}

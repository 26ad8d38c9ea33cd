#include "tags/EmbeddedPicture.h"

#include <algorithm>

#include "rtl/AnsiText.h"
#include "rtl/Exception.h"
#include "rtl/FilePaths.h"
#include "rtl/FileStream.h"
#include "tags/id3v2.h"

namespace {

// Where a description of the encoding ends (past its terminator); npos when it does not end.
std::size_t SkipTerminated(std::span<const std::uint8_t> data, std::size_t position, std::uint8_t encoding)
{
  const bool wide = encoding == 1 || encoding == 2;
  if (!wide) {
    for (std::size_t i = position; i < data.size(); ++i) {
      if (data[i] == 0) {
        return i + 1;
      }
    }
    return std::string::npos;
  }
  for (std::size_t i = position; i + 1 < data.size(); i += 2) {
    if (data[i] == 0 && data[i + 1] == 0) {
      return i + 2;
    }
  }
  return std::string::npos;
}

}  // namespace

bool ParseApicFrame(std::span<const std::uint8_t> data, TEmbeddedPicture& picture)
{
  if (data.size() < 4 || data[0] > 3) {
    return false;
  }
  const std::uint8_t encoding = data[0];
  const std::size_t mimeEnd = SkipTerminated(data, 1, 0);
  if (mimeEnd == std::string::npos || mimeEnd >= data.size()) {
    return false;
  }
  const std::uint8_t type = data[mimeEnd];
  const std::size_t descriptionEnd = SkipTerminated(data, mimeEnd + 1, encoding);
  if (descriptionEnd == std::string::npos || descriptionEnd >= data.size() ||
      data.size() - descriptionEnd > MaxEmbeddedPictureBytes) {
    return false;
  }
  picture.Type = type;
  picture.MimeType.assign(data.begin() + 1, data.begin() + static_cast<std::ptrdiff_t>(mimeEnd - 1));
  picture.Bytes.assign(data.begin() + static_cast<std::ptrdiff_t>(descriptionEnd), data.end());
  return true;
}

std::vector<TEmbeddedPicture> Id3v2Pictures(TStream& stream)
{
  std::vector<TEmbeddedPicture> pictures;
  Tid3v2tag tag;
  try {
    tag.LoadFromStream(stream, 0);
    if ((tag.Status() & 0xFF00) == id3BadVersion && (tag.MajorVersion() == 2 || tag.MajorVersion() == 4)) {
      tag.LoadConverted(stream);
    }
  } catch (const Exception&) {
    return pictures;
  }
  if (!Id3StatusOk(tag.Status())) {
    return pictures;
  }
  TFrameIndex& frames = tag.Frames();
  for (int i = 1; i <= frames.Count(); ++i) {
    if (frames.FrameID(i) != "APIC" || frames.Encrypted(i)) {
      continue;
    }
    const TId3Frame& frame = frames.Frame(i);
    if (frame.DataUnsynchronised) {
      frames.RemoveUnsynchronisation(i);
    }
    if (frame.DataCompressed && !frames.Decompress(i, MaxEmbeddedPictureBytes + 4096)) {
      continue;
    }
    TEmbeddedPicture picture;
    if (ParseApicFrame(frames.Data(i), picture)) {
      pictures.push_back(std::move(picture));
    }
  }
  return pictures;
}

const TEmbeddedPicture* ChooseFrontCover(const std::vector<TEmbeddedPicture>& pictures) noexcept
{
  const auto front = std::find_if(pictures.begin(), pictures.end(), [](const TEmbeddedPicture& picture) {
    return picture.Type == FrontCoverPictureType;
  });
  if (front != pictures.end()) {
    return &*front;
  }
  return pictures.empty() ? nullptr : &pictures.front();
}

bool ReadEmbeddedFrontCover(const std::string& fileName, TEmbeddedPicture& picture)
{
  const std::string extension = AnsiLowerCase(ExtractFileExt(fileName));
  const TTagLibFormat format = TagLibFormatOf(extension);
  const bool asf = extension == ".wma" || extension == ".asf";
  if (extension != ".mp3" && !asf && format == TTagLibFormat::None) {
    return false;
  }
  std::vector<TEmbeddedPicture> pictures;
  try {
    TFileStream stream(fileName, fmOpenRead | fmShareDenyNone);
    pictures = asf                             ? AsfPictures(stream)
               : format == TTagLibFormat::None ? Id3v2Pictures(stream)
                                               : TagLibPictures(stream, format);
  } catch (const Exception&) {
    return false;
  }
  const TEmbeddedPicture* front = ChooseFrontCover(pictures);
  if (front == nullptr) {
    return false;
  }
  picture = *front;
  return true;
}

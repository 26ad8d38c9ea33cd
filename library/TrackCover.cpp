#include "library/TrackCover.h"

#include "library/LibraryFiles.h"
#include "platform/files/Files.h"
#include "platform/files/FindFiles.h"
#include "rtl/AnsiText.h"
#include "rtl/FilePaths.h"
#include "tags/EmbeddedPicture.h"

std::string FindFolderImage(const std::string& folder)
{
  const std::string prefix = IncludeTrailingBackslash(folder);
  WIN32_FIND_DATAA data{};
  HANDLE find = FindFirstFileA((prefix + "*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    return {};
  }
  // The folder's order is the file system's; the names' order decides.
  std::size_t best = CoverFolderImageNames.size();
  std::string found;
  do {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      continue;
    }
    const std::string name = AnsiLowerCase(data.cFileName);
    for (std::size_t i = 0; i < best; ++i) {
      if (name == AnsiLowerCase(CoverFolderImageNames[i])) {
        best = i;
        found = prefix + data.cFileName;
        break;
      }
    }
  } while (best > 0 && FindNextFileA(find, &data) != FALSE);
  FindClose(find);
  return found;
}

TTrackCover FindTrackCover(const std::string& fileName)
{
  TTrackCover cover;
  TEmbeddedPicture picture;
  if (ReadEmbeddedFrontCover(fileName, picture)) {
    cover.Source = TCoverSource::Embedded;
    cover.Bytes = std::move(picture.Bytes);
    return cover;
  }
  const std::string image = FindFolderImage(ExtractFilePath(fileName));
  if (image.empty()) {
    return cover;
  }
  const std::string bytes = ReadSmallFile(image, MaxEmbeddedPictureBytes);
  if (bytes.empty()) {
    return cover;
  }
  cover.Source = TCoverSource::FolderImage;
  cover.Bytes.assign(bytes.begin(), bytes.end());
  cover.FileName = image;
  return cover;
}

#pragma once
// Writing the info panel's edits back: what the player is handed to write into the file, and
// how the library record follows. A file's tags are the starting point, never the panel's
// texts: the panel shows placeholders ("Unknown", a title made from the file name) that must
// not reach the file.

#include <cstdint>
#include <optional>
#include <string>

#include "library/MusicDatabase.h"
#include "tags/OxaMusicTag.h"

// The fields the panel edits; a field left unset was not edited.
struct TOxaTrackEdit {
  std::optional<std::string> Title;
  std::optional<std::string> Artist;
  std::optional<std::string> Genre;
  std::optional<std::string> Album;

  bool Empty() const noexcept { return !Title && !Artist && !Genre && !Album; }
};

// Puts the edited fields over item.
void OxaApplyTrackEdit(const TOxaTrackEdit& edit, TMusicFileItem& item);

// The record for SetTag: the file's own tags (TOxaMusicTag::ReadItem) with the edited fields
// over them and the placeholders ("Unknown" texts) emptied, so nothing the file does not hold
// is written. False when the file cannot be read; item is then not to be written.
bool OxaEditedFileItem(const std::string& fileName, const TOxaTrackEdit& edit, TMusicFileItem& item);

// The library's record of a music file (FileId of the Files table) as an item: path, title as
// shown (a title made from the file name when no tag gave one; titleFromTag tells which),
// artist, album, genre, year, track, bit rate and length. False when there is no such record.
bool OxaReadTrackRecord(TMusicDatabase& database, std::int32_t fileId, TMusicFileItem& item,
                        bool* titleFromTag = nullptr);

// The library follows an edit: the record takes the edited fields (its groups and title move
// with them). The stored times are cleared, so the next update scan reads the file again once
// its tag is written.
void OxaFollowTrackEdit(TMusicDatabase& database, std::int32_t fileId, const TOxaTrackEdit& edit);

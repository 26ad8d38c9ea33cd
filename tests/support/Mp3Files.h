#pragma once
// Tagged MP3 files for tests, composed from one encoded stream. Encoding is the slow part, so a
// suite makes one TMp3Files (in SetUpTestSuite) and writes as many files from it as it needs.

#include <filesystem>
#include <optional>

#include "tools/make-test-media/TestMedia.h"

class TMp3Files {
 public:
  // Encodes milliseconds of the generator's default audio at a constant bit rate.
  explicit TMp3Files(int milliseconds);

  // Writes file (creating its folders): the stream behind the given tags, none when absent.
  void Write(const std::filesystem::path& file, std::optional<testmedia::TId3v2Fields> v2,
             std::optional<testmedia::TId3v1Fields> v1 = std::nullopt) const;

 private:
  testmedia::TBytes FStream;
};

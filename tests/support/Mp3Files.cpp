#include "tests/support/Mp3Files.h"

namespace {

testmedia::TBytes Encode(int milliseconds)
{
  testmedia::TMp3Spec recipe;
  recipe.Audio.Milliseconds = milliseconds;
  return testmedia::EncodeMp3Stream(recipe);
}

}  // namespace

TMp3Files::TMp3Files(int milliseconds) : FStream(Encode(milliseconds)) {}

void TMp3Files::Write(const std::filesystem::path& file, std::optional<testmedia::TId3v2Fields> v2,
                      std::optional<testmedia::TId3v1Fields> v1) const
{
  testmedia::TMp3Spec recipe;
  recipe.Id3v2 = std::move(v2);
  recipe.Id3v1 = std::move(v1);
  std::filesystem::create_directories(file.parent_path());
  testmedia::WriteBytes(file, testmedia::ComposeMp3(FStream, recipe));
}

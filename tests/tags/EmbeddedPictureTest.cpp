#include "tags/EmbeddedPicture.h"

#include <gtest/gtest.h>

#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/asftag.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/tbytevectorstream.h>

#include <string>
#include <vector>

#include "rtl/Stream.h"
#include "tools/make-test-media/TestMedia.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Apic(std::uint8_t encoding, const std::string& mime, std::uint8_t type, const Bytes& description,
           const Bytes& picture)
{
  Bytes data{encoding};
  data.insert(data.end(), mime.begin(), mime.end());
  data.push_back(0);
  data.push_back(type);
  data.insert(data.end(), description.begin(), description.end());
  data.insert(data.end(), picture.begin(), picture.end());
  return data;
}

std::vector<TEmbeddedPicture> PicturesOf(const Bytes& bytes)
{
  TMemoryStream stream;
  stream.Write(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  stream.Seek(0, TSeekOrigin::soBeginning);
  return Id3v2Pictures(stream);
}

TEST(EmbeddedPictureTest, ApicFields)
{
  const Bytes picture = {0xFF, 0xD8, 0xFF, 0xE0};
  TEmbeddedPicture parsed;
  ASSERT_TRUE(ParseApicFrame(Apic(0, "image/jpeg", 3, {'F', 'r', 0}, picture), parsed));
  EXPECT_EQ(parsed.Type, 3);
  EXPECT_EQ(parsed.MimeType, "image/jpeg");
  EXPECT_EQ(parsed.Bytes, picture);
  // UTF-16 descriptions end in two zero bytes on a character boundary: the 00 of 'F' 00 is not one.
  ASSERT_TRUE(ParseApicFrame(Apic(1, "image/png", 4, {0xFF, 0xFE, 'F', 0, 0, 0}, picture), parsed));
  EXPECT_EQ(parsed.Type, 4);
  EXPECT_EQ(parsed.Bytes, picture);
  ASSERT_TRUE(ParseApicFrame(Apic(3, "", 0, {0}, picture), parsed));
  EXPECT_EQ(parsed.MimeType, "");

  EXPECT_FALSE(ParseApicFrame(Apic(4, "image/jpeg", 3, {0}, picture), parsed));     // encoding
  EXPECT_FALSE(ParseApicFrame(Apic(0, "image/jpeg", 3, {0}, {}), parsed));          // no bytes
  EXPECT_FALSE(ParseApicFrame(Apic(0, "image/jpeg", 3, {'a', 'b'}, {}), parsed));   // description runs on
  EXPECT_FALSE(ParseApicFrame(Apic(1, "image/jpeg", 3, {'a', 0, 0}, {}), parsed));  // half a terminator
  EXPECT_FALSE(ParseApicFrame(Bytes{0, 'i', 'm'}, parsed));                         // MIME runs on
  EXPECT_FALSE(ParseApicFrame(Bytes{}, parsed));
}

TEST(EmbeddedPictureTest, PictureSizeCap)
{
  TEmbeddedPicture parsed;
  EXPECT_TRUE(ParseApicFrame(Apic(0, "image/jpeg", 3, {0}, Bytes(MaxEmbeddedPictureBytes, 7)), parsed));
  EXPECT_FALSE(ParseApicFrame(Apic(0, "image/jpeg", 3, {0}, Bytes(MaxEmbeddedPictureBytes + 1, 7)), parsed));
}

TEST(EmbeddedPictureTest, FrontCoverFirstElseTheFirstPicture)
{
  std::vector<TEmbeddedPicture> pictures(3);
  pictures[0].Type = 4;
  pictures[1].Type = 3;
  pictures[2].Type = 3;
  EXPECT_EQ(ChooseFrontCover(pictures), &pictures[1]);
  pictures[1].Type = 0;
  pictures[2].Type = 6;
  EXPECT_EQ(ChooseFrontCover(pictures), &pictures[0]);
  EXPECT_EQ(ChooseFrontCover({}), nullptr);
}

// The same picture from a tag of each version, ID3v2.2's PIC included.
TEST(EmbeddedPictureTest, EveryId3v2Version)
{
  const Bytes jpeg = testmedia::EncodePicture({testmedia::TPictureFormat::Jpeg, 16, 16, 3});
  for (const int version : {2, 3, 4}) {
    testmedia::TId3v2Fields fields{"Title", "Artist", "Album", "2001", "Rock", "1", "Comment"};
    fields.Version = version;
    fields.Encoding = version == 2 ? testmedia::TTextEncoding::Utf16 : testmedia::TTextEncoding::Latin1;
    fields.Picture = jpeg;
    const auto pictures = PicturesOf(testmedia::ComposeId3v2(fields));
    ASSERT_EQ(pictures.size(), 1U) << version;
    EXPECT_EQ(pictures[0].Type, 3);
    EXPECT_EQ(pictures[0].Bytes, jpeg) << version;
  }
}

TEST(EmbeddedPictureTest, NoTagOrNoPicture)
{
  EXPECT_TRUE(PicturesOf(Bytes(200, 0xFF)).empty());
  EXPECT_TRUE(PicturesOf(testmedia::ComposeId3v2({"Title"})).empty());
  Bytes cut = [] {
    testmedia::TId3v2Fields fields{"Title"};
    fields.PictureBytes = 500;
    return testmedia::ComposeId3v2(fields);
  }();
  EXPECT_EQ(PicturesOf(cut).size(), 1U);
  cut.resize(cut.size() / 2);
  EXPECT_TRUE(PicturesOf(cut).empty());
}

TEST(EmbeddedPictureTest, FlacPictureBlocks)
{
  testmedia::TAudio audio;
  audio.Milliseconds = 300;
  const testmedia::TModernAudio flac(testmedia::TModernFormat::Flac, audio);
  const Bytes plain = flac.Mux({{"title", "Song"}});
  TagLib::ByteVector vector(reinterpret_cast<const char*>(plain.data()), static_cast<unsigned>(plain.size()));
  TagLib::ByteVectorStream io(vector);
  {
    TagLib::FLAC::File file(&io, TagLib::ID3v2::FrameFactory::instance(), false);
    ASSERT_TRUE(file.isValid());
    for (const auto type : {TagLib::FLAC::Picture::BackCover, TagLib::FLAC::Picture::FrontCover}) {
      auto* picture = new TagLib::FLAC::Picture;  // the file owns it
      picture->setType(type);
      picture->setMimeType("image/png");
      picture->setData(TagLib::ByteVector(type == TagLib::FLAC::Picture::FrontCover ? "front" : "back"));
      file.addPicture(picture);
    }
    ASSERT_TRUE(file.save());
  }
  const TagLib::ByteVector& saved = *io.data();
  TMemoryStream stream;
  stream.Write(saved.data(), saved.size());
  stream.Seek(0, TSeekOrigin::soBeginning);
  const auto pictures = TagLibPictures(stream, TTagLibFormat::Flac);
  ASSERT_EQ(pictures.size(), 2U);
  const TEmbeddedPicture* front = ChooseFrontCover(pictures);
  ASSERT_NE(front, nullptr);
  EXPECT_EQ(std::string(front->Bytes.begin(), front->Bytes.end()), "front");
  EXPECT_EQ(front->MimeType, "image/png");

  stream.Clear();
  stream.Write(plain.data(), static_cast<std::int64_t>(plain.size()));
  stream.Seek(0, TSeekOrigin::soBeginning);
  EXPECT_TRUE(TagLibPictures(stream, TTagLibFormat::Flac).empty());
}

// WM/Picture attributes, the front cover after a back cover, one past the runtime's 64 KiB.
TEST(EmbeddedPictureTest, WmaPictureAttributes)
{
  testmedia::TWmaRecipe recipe;
  recipe.Audio.Milliseconds = 300;
  const testmedia::TWmaAudio wma(recipe);
  const Bytes plain = wma.Mux({{"Title", "Song"}});
  TagLib::ByteVector vector(reinterpret_cast<const char*>(plain.data()), static_cast<unsigned>(plain.size()));
  TagLib::ByteVectorStream io(vector);
  const std::string large(100000, 'f');
  {
    TagLib::ASF::File file(&io, false);
    ASSERT_TRUE(file.isValid());
    for (const auto type : {TagLib::ASF::Picture::BackCover, TagLib::ASF::Picture::FrontCover}) {
      TagLib::ASF::Picture picture;
      picture.setType(type);
      picture.setMimeType("image/jpeg");
      picture.setPicture(TagLib::ByteVector(type == TagLib::ASF::Picture::FrontCover ? large.c_str() : "back",
                                            type == TagLib::ASF::Picture::FrontCover ? large.size() : 4));
      file.tag()->addAttribute("WM/Picture", TagLib::ASF::Attribute(picture));
    }
    ASSERT_TRUE(file.save());
  }
  const TagLib::ByteVector& saved = *io.data();
  TMemoryStream stream;
  stream.Write(saved.data(), saved.size());
  stream.Seek(0, TSeekOrigin::soBeginning);
  const auto pictures = AsfPictures(stream);
  ASSERT_EQ(pictures.size(), 2U);
  const TEmbeddedPicture* front = ChooseFrontCover(pictures);
  ASSERT_NE(front, nullptr);
  EXPECT_EQ(front->Bytes.size(), large.size());
  EXPECT_EQ(front->MimeType, "image/jpeg");

  stream.Clear();
  stream.Write(plain.data(), static_cast<std::int64_t>(plain.size()));
  stream.Seek(0, TSeekOrigin::soBeginning);
  EXPECT_TRUE(AsfPictures(stream).empty());
}

}  // namespace

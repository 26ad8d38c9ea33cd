#include "tags/Sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Hex(const TSha256Digest& digest)
{
  static constexpr char Digits[] = "0123456789abcdef";
  std::string text;
  for (const std::uint8_t b : digest) {
    text.push_back(Digits[b >> 4]);
    text.push_back(Digits[b & 0xF]);
  }
  return text;
}

std::span<const std::uint8_t> Bytes(const std::string& text)
{
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// The examples of FIPS 180-4 and the lengths around the padding's block boundary.
TEST(Sha256, DigestsTheStandardExamples)
{
  const std::pair<std::string, const char*> cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
      {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
      {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
      {std::string(1'000'000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& [text, digest] : cases) {
    EXPECT_EQ(Hex(TSha256::Of(Bytes(text))), digest) << text.size();
  }
}

TEST(Sha256, PiecesGiveTheDigestOfTheWhole)
{
  const std::string text(1000, 'x');
  const TSha256Digest whole = TSha256::Of(Bytes(text));
  for (const std::size_t piece : {1U, 7U, 63U, 64U, 65U, 999U}) {
    TSha256 sha;
    for (std::size_t at = 0; at < text.size(); at += piece) {
      sha.Update(Bytes(text.substr(at, piece)));
    }
    EXPECT_EQ(sha.Final(), whole) << piece;
  }
}

}  // namespace

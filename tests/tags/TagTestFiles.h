#pragma once
// File helpers shared by the tag tests: write bytes to a temporary file, read them back.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/Mp3Builder.h"

inline std::string WriteBytes(const std::filesystem::path& path, const mp3::TBytes& bytes)
{
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path.string();
}

inline mp3::TBytes ReadBytes(const std::filesystem::path& path)
{
  std::ifstream in(path, std::ios::binary);
  return mp3::TBytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

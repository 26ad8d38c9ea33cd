#include "rtl/FilePaths.h"

namespace {

// Index just past the last "\" or ":" (0 when there is none).
std::size_t NameStart(std::string_view fileName) noexcept
{
  const auto last = fileName.find_last_of("\\:");
  return last == std::string_view::npos ? 0 : last + 1;
}

}  // namespace

std::string ExtractFilePath(std::string_view fileName)
{
  return std::string(fileName.substr(0, NameStart(fileName)));
}

std::string ExtractFileDir(std::string_view fileName)
{
  std::size_t end = NameStart(fileName);
  if (end > 1 && fileName[end - 1] == '\\' && fileName[end - 2] != ':' && fileName[end - 2] != '\\') {
    --end;
  }
  return std::string(fileName.substr(0, end));
}

std::string ExtractFileName(std::string_view fileName)
{
  return std::string(fileName.substr(NameStart(fileName)));
}

std::string ExtractFileExt(std::string_view fileName)
{
  const auto dot = fileName.find_last_of(".\\:");
  if (dot == std::string_view::npos || fileName[dot] != '.') {
    return {};
  }
  return std::string(fileName.substr(dot));
}

std::string ExtractFileDrive(std::string_view fileName)
{
  if (fileName.size() >= 2 && fileName[1] == ':') {
    return std::string(fileName.substr(0, 2));
  }
  if (fileName.size() >= 2 && fileName[0] == '\\' && fileName[1] == '\\') {
    // "\\server\share": up to the separator after the share name.
    const auto serverEnd = fileName.find('\\', 2);
    if (serverEnd == std::string_view::npos) {
      return {};
    }
    const auto shareEnd = fileName.find('\\', serverEnd + 1);
    return std::string(fileName.substr(0, shareEnd));
  }
  return {};
}

std::string ChangeFileExt(std::string_view fileName, std::string_view extension)
{
  const auto dot = fileName.find_last_of(".\\:");
  const std::size_t stem = (dot == std::string_view::npos || fileName[dot] != '.') ? fileName.size() : dot;
  std::string result(fileName.substr(0, stem));
  result.append(extension);
  return result;
}

bool IsPathDelimiter(std::string_view path, std::size_t index) noexcept
{
  return index < path.size() && path[index] == '\\';
}

std::string IncludeTrailingBackslash(std::string_view path)
{
  std::string result(path);
  if (result.empty() || result.back() != '\\') {
    result.push_back('\\');
  }
  return result;
}

std::string ExcludeTrailingBackslash(std::string_view path)
{
  std::string result(path);
  if (!result.empty() && result.back() == '\\') {
    result.pop_back();
  }
  return result;
}

#include "rtl/FilePaths.h"

#include <gtest/gtest.h>

TEST(FilePaths, SplitsWindowsPaths)
{
  struct TCase {
    const char* Path;
    const char* Dir;
    const char* FilePath;
    const char* Name;
    const char* Ext;
    const char* Drive;
  };
  const TCase cases[] = {
      {"C:\\Music\\Rock\\a.mp3", "C:\\Music\\Rock", "C:\\Music\\Rock\\", "a.mp3", ".mp3", "C:"},
      {"C:\\a.mp3", "C:\\", "C:\\", "a.mp3", ".mp3", "C:"},
      {"C:a.mp3", "C:", "C:", "a.mp3", ".mp3", "C:"},
      {"\\\\server\\share\\x\\song.WMA", "\\\\server\\share\\x", "\\\\server\\share\\x\\", "song.WMA", ".WMA",
       "\\\\server\\share"},
      {"C:\\My.Folder\\noext", "C:\\My.Folder", "C:\\My.Folder\\", "noext", "", "C:"},
      {"name", "", "", "name", "", ""},
      {"", "", "", "", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExtractFileDir(c.Path), c.Dir) << c.Path;
    EXPECT_EQ(ExtractFilePath(c.Path), c.FilePath) << c.Path;
    EXPECT_EQ(ExtractFileName(c.Path), c.Name) << c.Path;
    EXPECT_EQ(ExtractFileExt(c.Path), c.Ext) << c.Path;
    EXPECT_EQ(ExtractFileDrive(c.Path), c.Drive) << c.Path;
  }
}

TEST(FilePaths, ChangesExtensionsAndTrailingBackslashes)
{
  EXPECT_EQ(ChangeFileExt("C:\\x\\a.tmp.oxa", ".lck"), "C:\\x\\a.tmp.lck");
  EXPECT_EQ(ChangeFileExt("C:\\x.d\\a", ".tmp"), "C:\\x.d\\a.tmp");
  EXPECT_EQ(IncludeTrailingBackslash("C:\\x"), "C:\\x\\");
  EXPECT_EQ(IncludeTrailingBackslash("C:\\x\\"), "C:\\x\\");
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\x\\"), "C:\\x");
  EXPECT_EQ(ExcludeTrailingBackslash(""), "");
}

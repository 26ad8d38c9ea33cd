#include <gtest/gtest.h>

#include <string>

#include "rtl/Registry.h"
#include "tests/support/TempFolder.h"

namespace {

TEST(TRegistry, OpensWithCreateAndReadsWhatItWrote)
{
  const TTempMachine machine;
  {
    TRegistry registry;
    registry.SetRootKey(HKEY_CURRENT_USER);
    EXPECT_FALSE(registry.OpenKeyReadOnly("Software\\Kestrom\\OxaPlayer"));
    ASSERT_TRUE(registry.OpenKey("\\Software\\Kestrom\\OxaPlayer\\", true));
    EXPECT_EQ(registry.CurrentPath(), "Software\\Kestrom\\OxaPlayer");
    EXPECT_FALSE(registry.ValueExists("Database"));
    EXPECT_EQ(registry.ReadString("Database"), "");
    registry.WriteString("Database", "C:\\Lib\\");
    ASSERT_TRUE(registry.OpenKey("TriangleSettings", true));
    EXPECT_EQ(registry.CurrentPath(), "Software\\Kestrom\\OxaPlayer\\TriangleSettings");
    registry.WriteBool("AutoHide", true);
    registry.WriteInteger("Top", -300);
  }
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKeyReadOnly("software\\kestrom\\oxaplayer"));
  EXPECT_TRUE(registry.ValueExists("DATABASE"));
  EXPECT_EQ(registry.ReadString("Database"), "C:\\Lib\\");
  EXPECT_TRUE(registry.KeyExists("TriangleSettings"));
  EXPECT_THROW(registry.WriteString("x", "y"), ERegistryException);  // read-only
  ASSERT_TRUE(registry.OpenKey("TriangleSettings", false));
  EXPECT_TRUE(registry.ReadBool("AutoHide"));
  EXPECT_EQ(registry.ReadInteger("Top"), -300);
  try {
    (void)registry.ReadInteger("Missing");
    ADD_FAILURE();
  } catch (const ERegistryException& error) {
    EXPECT_EQ(error.Message(), "Failed to get data for 'Missing'");
  }
  registry.WriteString("Text", "1");
  try {
    (void)registry.ReadInteger("Text");
    ADD_FAILURE();
  } catch (const ERegistryException& error) {
    EXPECT_EQ(error.Message(), "Invalid data type for 'Text'");
  }
  TStringList names;
  registry.GetValueNames(names);
  EXPECT_EQ(names.Count(), 3);
  registry.CloseKey();
  ASSERT_TRUE(registry.OpenKey("Software\\Kestrom", false));
  EXPECT_TRUE(registry.DeleteKey("OxaPlayer"));
  EXPECT_FALSE(registry.KeyExists("OxaPlayer"));
  registry.GetKeyNames(names);
  EXPECT_EQ(names.Count(), 0);
}

}  // namespace

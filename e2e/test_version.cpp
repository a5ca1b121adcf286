// The version record of TRV.EXE as the platform's file properties read it: through the
// version library's GetFileVersionInfoA and VerQueryValueA, under Wine.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "../tests/version_record.h"
#include "driver.h"

namespace {

TEST(FileProperties, ShowTheVersionRecordAsBuilt)
{
    std::string path = ProgramPath();
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_NE(0u, size) << path;
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));

    void *value = NULL;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", &value, &length));
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
    const uint32_t *fixed = static_cast<const uint32_t *>(value);
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(VERSION_FIXED[i], fixed[i]) << "fixed field " << i;

    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(VERSION_LANGUAGE, static_cast<const WORD *>(value)[0]);
    EXPECT_EQ(VERSION_CODE_PAGE, static_cast<const WORD *>(value)[1]);

    for (const VersionString &v : VERSION_STRINGS) {
        SCOPED_TRACE(v.key);
        std::string key = std::string("\\StringFileInfo\\040904b0\\") + v.key;
        value = NULL;
        length = 0;
        // An empty value is present with no characters; the library may then give no text.
        BOOL found = VerQueryValueA(info.data(), key.c_str(), &value, &length);
        EXPECT_TRUE(found || !*v.value);
        EXPECT_EQ(v.value, std::string(found && value && length ? static_cast<char *>(value) : ""));
    }
    // A key outside the record is not made up.
    EXPECT_FALSE(VerQueryValueA(info.data(), "\\StringFileInfo\\040904b0\\Version", &value,
                                &length));
}

} // namespace

#include "Platform/TempFile.h"
#include "Includes/TempFileName.h"

#include "PluginAPI/SysUtils.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::u16string Hex(std::uint32_t number) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", number);
    return Utf8ToString(text);
}

class TempFileTest : public testing::Test {
protected:
    TempDir dir_;
    std::u16string Folder() const { return dir_.Path().u16string(); }
};

TEST_F(TempFileTest, NewEmptyFileIsNamedPrefixHexTmp) {
    const fs::path unicodeFolder = dir_.Path() / u8"Zürich Ünïcode";
    fs::create_directory(unicodeFolder);
    const struct {
        const char* name;
        std::u16string folder;
        std::u16string prefix;
        std::u16string stem;
    } cases[] = {
        {"the download prefix", Folder(), u"~ar", Folder() + u"/~ar"},
        {"a prefix cut to 3 characters", Folder(), u"abcdef", Folder() + u"/abc"},
        {"no prefix", Folder(), u"", Folder() + u"/"},
        {"a folder ending in its separator", Folder() + u"/", u"~ar", Folder() + u"/~ar"},
        {"a folder name beyond ASCII", unicodeFolder.u16string(), u"~ar",
         unicodeFolder.u16string() + u"/~ar"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        char16_t name[MAX_PATH];
        const std::uint32_t number = GetTempFileNameW(c.folder.c_str(), c.prefix.c_str(), 0, name);
        ASSERT_GE(number, 1u);
        ASSERT_LE(number, 0xFFFFu);
        EXPECT_EQ(std::u16string(name), c.stem + Hex(number) + u".tmp");
        EXPECT_TRUE(fs::is_regular_file(fs::path(std::u16string(name))));
        EXPECT_EQ(fs::file_size(fs::path(std::u16string(name))), 0u);
    }
}

TEST_F(TempFileTest, TakenNumbersAreSkippedUntilNoneIsLeft) {
    constexpr std::uint32_t free = 0x1234;
    for (std::uint32_t number = 1; number <= 0xFFFF; ++number) {
        if (number == free)
            continue;
        const fs::path path = dir_.Path() / fs::path(u"~ar" + Hex(number) + u".tmp");
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
        ASSERT_GE(fd, 0) << path;
        ::close(fd);
    }

    char16_t name[MAX_PATH];
    EXPECT_EQ(GetTempFileNameW(Folder().c_str(), u"~ar", 0, name), free);
    EXPECT_EQ(std::u16string(name), Folder() + u"/~ar1234.tmp");

    errno = 0;
    EXPECT_EQ(GetTempFileNameW(Folder().c_str(), u"~ar", 0, name), 0u);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_THROW(MakeTempFileName(Folder(), u"~ar"), EFCreateError);
}

// A number of the caller's own only makes the name; making the file is then the caller's matter.
TEST_F(TempFileTest, GivenNumberNamesWithoutCreating) {
    char16_t name[MAX_PATH];
    EXPECT_EQ(GetTempFileNameW(Folder().c_str(), u"~ar", 0x1A2F, name), 0x1A2Fu);
    EXPECT_EQ(std::u16string(name), Folder() + u"/~ar1A2F.tmp");
    EXPECT_FALSE(fs::exists(fs::path(std::u16string(name))));
}

// The caller's buffer holds MAX_PATH characters: the longest name the search can make must fit.
TEST_F(TempFileTest, LongestNameFillsTheBuffer) {
    const std::size_t folderLength = MAX_PATH - 1 - std::u16string(u"/~arFFFF.tmp").size();
    fs::path folder = dir_.Path();
    ASSERT_LT(folder.u16string().size(), folderLength);
    while (folder.u16string().size() < folderLength) {
        // Each step adds a separator and a name no longer than a file system allows.
        const std::size_t missing = folderLength - folder.u16string().size();
        folder /= std::string(missing <= 201 ? missing - 1 : 100, 'd');
        fs::create_directory(folder);
    }

    char16_t name[MAX_PATH];
    EXPECT_NE(GetTempFileNameW(folder.u16string().c_str(), u"~ar", 0, name), 0u);
    const std::u16string tooLong = folder.u16string() + u"e";
    errno = 0;
    EXPECT_EQ(GetTempFileNameW(tooLong.c_str(), u"~ar", 0, name), 0u);
    EXPECT_EQ(errno, ENAMETOOLONG);
}

TEST_F(TempFileTest, UnusableFolderFailsNamingIt) {
    const fs::path file = dir_.Path() / "plain-file";
    std::ofstream(file).put('x');
    const struct {
        const char* name;
        std::u16string folder;
        int error;
    } cases[] = {
        {"a missing folder", (dir_.Path() / "missing").u16string(), ENOENT},
        {"a file, not a folder", file.u16string(), ENOTDIR},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        char16_t name[MAX_PATH];
        errno = 0;
        EXPECT_EQ(GetTempFileNameW(c.folder.c_str(), u"~ar", 0, name), 0u);
        EXPECT_EQ(errno, c.error);
        try {
            MakeTempFileName(c.folder, u"~ar");
            ADD_FAILURE() << "no EFCreateError";
        } catch (const EFCreateError& e) {
            EXPECT_NE(e.Message().find(c.folder), std::u16string::npos) << e.what();
        }
    }
}

} // namespace

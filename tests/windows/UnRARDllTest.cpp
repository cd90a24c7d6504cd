// UnRAR.dll built with MinGW from Debian's unrar-nonfree source, loaded with LoadLibraryExW from a given
// folder and driven through its wide calls on a RAR 5 archive made by the rar tool. On Windows wchar_t is
// UTF-16, so the names pass without any code page.
#include "Includes/win32/Module.h"

#include "Platform/win32/WideChar.h"
#include "PluginAPI/SysUtils.h"
#include "tests/windows/TestFolder.h"

#include <windows.h>

// The library's published header declares its functions with a visibility attribute that PE ignores.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
#include <dll.hpp>
#pragma GCC diagnostic pop

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class TUnRAR {
public:
    explicit TUnRAR(const std::u16string& folder)
        : FModule(folder + u"\\UnRAR.dll"),
          OpenArchiveEx(FModule.Function<decltype(&RAROpenArchiveEx)>("RAROpenArchiveEx")),
          ReadHeaderEx(FModule.Function<decltype(&RARReadHeaderEx)>("RARReadHeaderEx")),
          ProcessFileW(FModule.Function<decltype(&RARProcessFileW)>("RARProcessFileW")),
          CloseArchive(FModule.Function<decltype(&RARCloseArchive)>("RARCloseArchive")) {}

private:
    TModule FModule;

public:
    decltype(&RAROpenArchiveEx) OpenArchiveEx;
    decltype(&RARReadHeaderEx) ReadHeaderEx;
    decltype(&RARProcessFileW) ProcessFileW;
    decltype(&RARCloseArchive) CloseArchive;
};

struct TOpened {
    HANDLE handle;
    unsigned openResult;
};

TOpened Open(const TUnRAR& unrar, const std::u16string& archive) {
    std::u16string name = archive;
    RAROpenArchiveDataEx data{};
    data.ArcNameW = WidePtr(name.data());
    data.OpenMode = RAR_OM_EXTRACT;
    HANDLE handle = unrar.OpenArchiveEx(&data);
    return {handle, data.OpenResult};
}

struct TExtracted {
    std::u16string name;
    std::uint64_t size;
    std::u16string path;
};

class TUnRARDllTest : public testing::Test {
protected:
    const std::u16string app = ProgramFolder() + u"\\app";
    const std::u16string archive = ProgramFolder() + u"\\lists.rar";
    const std::u16string archived = ProgramFolder() + u"\\archived";
};

TEST_F(TUnRARDllTest, ExtractsEveryEntryOfARar5ArchiveToTheGivenWidePaths) {
    const TUnRAR unrar(app);
    ASSERT_NE(unrar.OpenArchiveEx, nullptr);
    ASSERT_NE(unrar.ReadHeaderEx, nullptr);
    ASSERT_NE(unrar.ProcessFileW, nullptr);
    ASSERT_NE(unrar.CloseArchive, nullptr);

    TTestFolder scratch;
    // The destination folder does not exist yet, and the ANSI code page cannot write its name.
    const std::u16string target =
        scratch / u"\u0417\u0430\u0432\u0430\u043D\u0442\u0430\u0436\u0435\u043D\u043D\u044F";
    const TOpened opened = Open(unrar, archive);
    ASSERT_NE(opened.handle, nullptr) << "open result " << opened.openResult;
    EXPECT_EQ(opened.openResult, static_cast<unsigned>(ERAR_SUCCESS));

    auto header = std::make_unique<RARHeaderDataEx>();
    std::vector<TExtracted> entries;
    int result;
    while ((result = unrar.ReadHeaderEx(opened.handle, header.get())) == ERAR_SUCCESS) {
        TExtracted entry{
            Utf16String(header->FileNameW), (std::uint64_t{header->UnpSizeHigh} << 32) | header->UnpSize, {}};
        char16_t number[16];
        for (std::size_t i = 0, n = entries.size() + 1; i < 4; ++i, n /= 10)
            number[3 - i] = static_cast<char16_t>(u'0' + n % 10);
        entry.path = target + u"\\File" + std::u16string(number, 4) + u".bin";
        std::u16string destination = entry.path;
        ASSERT_EQ(unrar.ProcessFileW(opened.handle, RAR_EXTRACT, nullptr, WidePtr(destination.data())),
                  ERAR_SUCCESS);
        entries.push_back(entry);
    }
    EXPECT_EQ(result, ERAR_END_ARCHIVE);
    EXPECT_EQ(unrar.CloseArchive(opened.handle), ERAR_SUCCESS);

    // The stored names come back whole, with the system's separator.
    const std::u16string list =
        u"\u0421\u043F\u0438\u0441\u043E\u043A \u0447\u043B\u0435\u043D\u0456\u0432.txt";
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, list);
    EXPECT_EQ(entries[1].name, u"lists\\random.bin");
    EXPECT_EQ(ReadFile(entries[0].path), ReadFile(archived + u"\\" + list));
    EXPECT_EQ(ReadFile(entries[1].path), ReadFile(archived + u"\\lists\\random.bin"));
    EXPECT_EQ(entries[0].size, ReadFile(entries[0].path).size());
    EXPECT_EQ(entries[1].size, 100000u);
}

TEST_F(TUnRARDllTest, AFileThatIsNoArchiveOrIsMissingGivesNoHandle) {
    const TUnRAR unrar(app);
    TTestFolder scratch;
    const std::u16string page = scratch / u"page.html";
    WriteFile(page, "<html>404 Not Found</html>");

    const TOpened notAnArchive = Open(unrar, page);
    EXPECT_EQ(notAnArchive.handle, nullptr);
    EXPECT_EQ(notAnArchive.openResult, static_cast<unsigned>(ERAR_BAD_ARCHIVE));

    const TOpened missing = Open(unrar, scratch / u"missing.rar");
    EXPECT_EQ(missing.handle, nullptr);
    EXPECT_EQ(missing.openResult, static_cast<unsigned>(ERAR_EOPEN));
}

TEST_F(TUnRARDllTest, ALibraryMissingFromTheFolderRaisesNamingTheFile) {
    TTestFolder emptyApp;
    try {
        TUnRAR unrar(emptyApp.Path());
        FAIL() << "no exception";
    } catch (const EOSError& e) {
        EXPECT_EQ(e.ErrorCode, static_cast<std::uint32_t>(ERROR_MOD_NOT_FOUND));
        const std::u16string start = u"Cannot load library \"" + (emptyApp / u"UnRAR.dll") + u"\". ";
        EXPECT_EQ(e.Message().rfind(start, 0), 0u) << e.what();
    }
}

} // namespace

// The plug-in below its dialog, in a process that has no Qt: this file compiles without Qt's include
// folders and the program runs without Qt's libraries. A few real checks show the parts work there.
#if __has_include(<QtCore/qglobal.h>) || __has_include(<QChar>)
#error "Qt's headers are in sight of the plug-in's core"
#endif

#include "Includes/IniFiles.h"
#include "Includes/TextFile.h"
#include "Includes/uCommFunc.h"
#include "PluginAPI/Helpers.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

TEST(NonQtCore, NoQtLibraryIsLoaded) {
    std::ifstream maps("/proc/self/maps");
    ASSERT_TRUE(maps.is_open());
    std::string line;
    int mappings = 0;
    while (std::getline(maps, line)) {
        ++mappings;
        EXPECT_EQ(line.find("libQt"), std::string::npos) << line;
    }
    EXPECT_GT(mappings, 0);
}

TEST(NonQtCore, WordsAndCallsignsAboveLatin1) {
    std::vector<std::u16string> words;
    SplitWords(u"\u042E\u04205\u0410\u3000UR\u0663A\u2028UR5A\u2013B", &words, 3);
    ASSERT_EQ(words, (std::vector<std::u16string>{u"\u042E\u04205\u0410", u"UR\u0663A", u"UR5A\u2013B"}));
    EXPECT_TRUE(IsCallsign(words[0]));  // Cyrillic letters
    EXPECT_TRUE(IsCallsign(words[1]));  // Arabic-Indic digit
    EXPECT_FALSE(IsCallsign(words[2])); // en dash is punctuation
}

TEST(NonQtCore, AFailingHostCallRaisesTheNamedClass) {
    EXPECT_THROW(HostCall(ClassNameErrorCode("EAbort")), EAbort);
    EXPECT_THROW(HostCall(static_cast<HRESULT>(0x80070005u)), EOSError);
}

TEST(NonQtCore, SettingsAndTextFilesOnDisk) {
    TempDir dir;
    const std::string path = dir / "Zarbex.ini";
    TIniFile(Utf8ToString(path)).WriteString(u"Bureau-UR", u"Resource", u"C:\\Lists\\bureau.rar");
    EXPECT_EQ(TIniFile(Utf8ToString(path)).ReadString(u"bureau-ur", u"RESOURCE", u""),
              u"C:\\Lists\\bureau.rar");
    EXPECT_EQ(ReadTextLines(path),
              (std::vector<std::u16string>{u"[Bureau-UR]", u"Resource=C:\\Lists\\bureau.rar"}));
}

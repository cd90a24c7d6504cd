// The update run on Windows: a RAR 5 archive made by the rar tool, the real UnRAR.dll in the host's
// application folder, the stand-in console program as the PDF converter (its lists are plain text
// already, and it copies them), folders whose names the ANSI code page cannot write, and a host double
// whose callbook is a table in memory that honours exactly the two statements the run sends.
#include "Plugins/Zarbex/uZarbexRun.h"

#include "PluginAPI/BStr.h"
#include "PluginAPI/Helpers.h"
#include "tests/windows/ScopedVariable.h"
#include "tests/windows/TestFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>

namespace {

// Every call the run makes on its window, in order; the breaths it takes are only counted.
struct TRecordingProgress final : IUpdateProgress {
    std::vector<std::u16string> calls;
    int breaths = 0;

    void MsgInfo(const UnicodeString& text) override { calls.push_back(u"info " + text); }
    void MsgProgress(std::int32_t level, const UnicodeString& text, bool lineEnd) override {
        calls.push_back(u"memo " + Utf8ToString(std::to_string(level)) + u" " + text +
                        (lineEnd ? u" /" : u""));
    }
    void ShowProgress(long double fraction) override {
        std::ostringstream text;
        text << "progress " << static_cast<double>(fraction);
        calls.push_back(Utf8ToString(text.str()));
    }
    void ClearMemo() override { calls.push_back(u"clear memo"); }
    void ClearEntryMarks() override { calls.push_back(u"clear marks"); }
    void AddEntryMark() override { calls.push_back(u">"); }
    void SetBusyCursor(bool busy) override { calls.push_back(busy ? u"busy" : u"not busy"); }
    void LockControls(bool locked) override { calls.push_back(locked ? u"lock" : u"unlock"); }
    void ProcessMessages() override { ++breaths; }
    bool CancelRequested() override { return false; }
};

constexpr char16_t kQuery[] = u"SELECT DISTINCT OMCALL FROM CALLBOOK WHERE DXCCPFX=\"UR\" ORDER BY OMCALL";
constexpr char16_t kUpdate[] = u"UPDATE CALLBOOK SET Use_BUREAU=TRUE WHERE OMCALL='";

// The host's kernel and database. Any statement but the run's two fails, as would a query on a handle
// it did not give out.
class THostDouble final : public TImplements<IHostKernel, IHostServer> {
public:
    struct TStation {
        std::u16string prefix;
        bool bureau = false;
    };
    std::map<std::u16string, std::u16string> values;
    std::map<std::u16string, TStation> callbook; // by OMCALL
    std::vector<std::u16string> log, messages;

    // IHostKernel
    HRESULT STDMETHODCALLTYPE WriteLog(BSTR text) override {
        log.push_back(BStr::ToString(text));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ShowMessage(BSTR text, BSTR caption) override {
        messages.push_back(BStr::ToString(caption) + u": " + BStr::ToString(text));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetValue(BSTR name, BSTR value) override {
        values[BStr::ToString(name)] = BStr::ToString(value);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetValue(BSTR name, BSTR* value) override {
        const auto found = values.find(BStr::ToString(name));
        ReturnString(value, found == values.end() ? u"" : found->second);
        return S_OK;
    }

    // IHostServer
    HRESULT STDMETHODCALLTYPE CreateQuery(int32_t* query) override {
        *query = ++lastQuery_;
        queries_[*query];
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OpenQuery(int32_t query, BSTR sql) override {
        if (!queries_.contains(query) || BStr::ToString(sql) != kQuery)
            return E_FAIL;
        for (const auto& [call, station] : callbook)
            if (station.prefix == u"UR")
                queries_[query].insert(call);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Locate(int32_t query, BSTR fieldName, BSTR value, int32_t* found) override {
        if (!queries_.contains(query) || BStr::ToString(fieldName) != u"OMCALL")
            return E_FAIL;
        *found = queries_[query].contains(BStr::ToString(value)) ? 1 : 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE FreeQuery(int32_t query) override {
        return queries_.erase(query) ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ExecSQL(BSTR sql, int32_t* result) override {
        const std::u16string statement = BStr::ToString(sql);
        if (!statement.starts_with(kUpdate) || !statement.ends_with(u"'"))
            return E_FAIL;
        const std::u16string call =
            statement.substr(std::size(kUpdate) - 1, statement.size() - std::size(kUpdate));
        if (call.find(u'\'') != std::u16string::npos)
            return E_FAIL;
        *result = 0;
        if (const auto station = callbook.find(call); station != callbook.end()) {
            station->second.bureau = true;
            *result = 1;
        }
        return S_OK;
    }
    std::set<std::u16string> BureauCalls() const {
        std::set<std::u16string> calls;
        for (const auto& [call, station] : callbook)
            if (station.bureau)
                calls.insert(call);
        return calls;
    }
    std::size_t OpenQueries() const { return queries_.size(); }

#define RESERVED(name)                                                                                       \
    HRESULT STDMETHODCALLTYPE name() override {                                                              \
        return E_NOTIMPL;                                                                                    \
    }
    RESERVED(Reserved3)
    RESERVED(Reserved4)
    RESERVED(Reserved5)
    RESERVED(Reserved6)
    RESERVED(Reserved7)
    RESERVED(Reserved8)
    RESERVED(Reserved9)
    RESERVED(Reserved10)
    RESERVED(Reserved11)
    RESERVED(Reserved12)
    RESERVED(Reserved13)
    RESERVED(Reserved14)
    RESERVED(Reserved16)
    RESERVED(Reserved17)
    RESERVED(Reserved18)
    RESERVED(Reserved19)
    RESERVED(Reserved20)
    RESERVED(Reserved21)
    RESERVED(Reserved22)
#undef RESERVED

private:
    int32_t lastQuery_ = 0;
    std::map<int32_t, std::set<std::u16string>> queries_;
};

const std::u16string kListA = u"\u0421\u043F\u0438\u0441\u043E\u043A UR.pdf";

class TRunWin32Test : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CreateDirectoryW(WidePtr(download), nullptr));
        ASSERT_TRUE(CreateDirectoryW(WidePtr(app), nullptr));
        ASSERT_TRUE(
            CopyFileW(WidePtr(ProgramFolder() + u"\\app\\UnRAR.dll"), WidePtr(app + u"\\UnRAR.dll"), TRUE));
        host->values = {{u"DOWNLOAD", download}, {u"APPPATH", app}, {u"APPNAME", u"LogHost"}};
        host->callbook = {{u"UR5ABC", {u"UR"}}, {u"UT2XY", {u"UR"}}, {u"DL1ABC", {u"DL"}}};
    }
    TUpdateRun Run() {
        return TUpdateRun(ComPtr<IHostKernel>(host.get()), ComPtr<IHostServer>(host.get()), progress,
                          u"Get Bureau users info (Ukraine)");
    }
    std::vector<std::u16string> DownloadFolder() const {
        std::vector<std::u16string> names;
        for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(download)))
            names.push_back(entry.path().filename().u16string());
        return names;
    }

    TTestFolder scratch;
    const std::u16string download =
        scratch / u"\u0417\u0430\u0432\u0430\u043D\u0442\u0430\u0436\u0435\u043D\u043D\u044F";
    const std::u16string app = scratch / u"\u041F\u0440\u043E\u0433\u0440\u0430\u043C\u0430";
    const TScopedVariable converter{u"ZARBEX_PDFTOTEXT", ProgramFolder() + u"\\zarbex-child.exe"};
    ComPtr<THostDouble> host{TCheckedInterfacedObject::Create<THostDouble>()};
    TRecordingProgress progress;
};

TEST_F(TRunWin32Test, UpdatesTheBureauFlagsFromEveryListOfTheArchive) {
    const std::u16string archive = ProgramFolder() + u"\\run.rar";
    const auto size = [](const std::u16string& name) {
        return Utf8ToString(std::to_string(ReadBytes(ProgramFolder() + u"\\run\\" + name).size()));
    };
    TUpdateRun run = Run();
    ASSERT_TRUE(run.CheckComponents(SourceLocation::Local, archive)) << StringToUtf8(host->messages.at(0));
    EXPECT_TRUE(run.Execute(SourceLocation::Local, archive));

    // UR3NEW is no station of the callbook, DL1ABC no Ukrainian one.
    EXPECT_EQ(host->BureauCalls(), (std::set<std::u16string>{u"UR5ABC", u"UT2XY"}));
    ASSERT_GE(progress.calls.size(), 4u);
    const std::u16string done = progress.calls[progress.calls.size() - 4];
    EXPECT_EQ(done.rfind(u"memo 0 * Done. Files:2, Tot:5, Upd:3 (00:00:", 0), 0u) << StringToUtf8(done);
    const std::vector<std::u16string> expected = {u"busy",
                                                  u"clear memo",
                                                  u"lock",
                                                  u"memo 0 * Use: " + archive + u" /",
                                                  u"clear marks",
                                                  u"memo 1 Parsing " + kListA + u" (" + size(kListA) +
                                                      u" bytes) /",
                                                  u">",
                                                  u"progress 0",
                                                  u"progress 0.25",
                                                  u"progress 0.5",
                                                  u"progress 0.75",
                                                  u"memo 2 Found 3, updated 2 callsigns /",
                                                  u"progress 0",
                                                  u"memo 1 Parsing b.pdf (" + size(u"b.pdf") + u" bytes) /",
                                                  u">",
                                                  u"progress 0",
                                                  u"memo 2 Found 2, updated 1 callsigns /",
                                                  u"progress 0",
                                                  done,
                                                  u"progress 0",
                                                  u"unlock",
                                                  u"not busy"};
    EXPECT_EQ(progress.calls, expected);
    ASSERT_EQ(host->log.size(), 1u);
    EXPECT_EQ(host->log[0].rfind(u"Exec: Get Bureau users info (Ukraine), Files:2, Tot:5, Upd:3 (", 0), 0u);
    EXPECT_EQ(host->values[u"REFRESH"], u"0");
    EXPECT_EQ(host->OpenQueries(), 0u);
    EXPECT_TRUE(DownloadFolder().empty()) << "working files were left";
}

// An encrypted list ends the run at its turn with its name and the reason, and the window is given back.
TEST_F(TRunWin32Test, AnEncryptedListEndsTheRunNamingIt) {
    TUpdateRun run = Run();
    try {
        run.Execute(SourceLocation::Local, ProgramFolder() + u"\\encrypted.rar");
        FAIL() << "no exception";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Message(),
                  u"Cannot extract \"\u0421\u043F\u0438\u0441\u043E\u043A \u0447\u043B\u0435\u043D\u0456"
                  u"\u0432.txt\" from the archive: it is encrypted (protected by a password)");
    }
    EXPECT_EQ(std::vector<std::u16string>(progress.calls.end() - 2, progress.calls.end()),
              (std::vector<std::u16string>{u"unlock", u"not busy"}));
    EXPECT_TRUE(host->BureauCalls().empty());
    EXPECT_EQ(host->OpenQueries(), 0u);
}

TEST_F(TRunWin32Test, AMissingUnRARIsReportedWithTheFolderToPutItIn) {
    ASSERT_TRUE(DeleteFileW(WidePtr(app + u"\\UnRAR.dll")));
    TUpdateRun run = Run();
    EXPECT_FALSE(run.CheckComponents(SourceLocation::Local, ProgramFolder() + u"\\run.rar"));
    ASSERT_EQ(host->messages.size(), 1u);
    EXPECT_EQ(host->messages[0], u"UnRAR component needed: Not found library for RAR archive unpacking:\r\n"
                                 u"please put UnRAR.dll in application folder\r\n\"" +
                                     app + u"\"\r\nand restart LogHost application.");
    EXPECT_TRUE(progress.calls.empty());
}

} // namespace

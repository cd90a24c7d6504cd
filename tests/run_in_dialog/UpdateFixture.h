// The dialog's update tests share one fixture: the real dialog against the host's side of the boundary,
// a real SQLite callbook, real archives made by rar and real PDFs.
#pragma once

#include "Host/Callbook.h"
#include "Host/HostServices.h"
#include "Plugins/Zarbex/uZarbex.h"
#include "Plugins/Zarbex/uZarbexEntries.h"
#include "Plugins/Zarbex/uZarbexRun.h"
#include "Plugins/Zarbex/uZarbexSource.h"
#include "TestServer.h"
#include "tests/support/DialogWidgets.h"
#include "tests/support/Files.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "tools/fixturegen/PdfFixture.h"

#include <QApplication>
#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>

namespace fs = std::filesystem;

inline constexpr char kCaption[] = "Get Bureau users info (Ukraine)";

struct UpdateTest : ::testing::Test {
    TempDir temp;
    fs::path dir = temp.Path();
    fs::path download = dir / "download";
    fs::path app = dir / "app";
    ComPtr<HostServices> host;
    std::unique_ptr<Callbook> callbook;
    std::unique_ptr<TfrmZarbex> form;
    DialogWidgets w;
    std::vector<std::pair<std::u16string, std::u16string>> messages; // caption, text
    std::vector<std::pair<std::u16string, std::u16string>> commands; // name, value

    void SetUp() override {
        fs::create_directories(download);
        fs::create_directories(app);
        fs::create_symlink(UNRAR_LIBRARY, app / "UnRAR.dll");
        HostServices::Backend backend;
        backend.showMessage = [this](const std::u16string& t, const std::u16string& c) {
            messages.emplace_back(c, t);
        };
        backend.command = [this](const std::u16string& n, const std::u16string& v) {
            commands.emplace_back(n, v);
        };
        host = HostServices::Create(backend);
        host->SetVariable(u"APPINI", (dir / "host.ini").u16string());
        host->SetVariable(u"DOWNLOAD", download.u16string());
        host->SetVariable(u"APPPATH", app.u16string());
        host->SetVariable(u"APPNAME", u"LogHost");
        callbook = std::make_unique<Callbook>(dir / "callbook.db");
        host->SetCallbook(callbook.get());
        Open();
    }
    void TearDown() override { form.reset(); }

    // The command's opening steps, then the show.
    void Open() {
        form = TfrmZarbex::Create(host.get(), ComPtr<IHostKernel>(host.get()),
                                  UpdateRunFactory(ComPtr<IHostKernel>(host.get()),
                                                   ComPtr<IHostServer>(host.get()), Utf8ToString(kCaption)));
        w = DialogWidgets(*form);
        form->show();
    }
    // The acquisition of the archive on its own, reporting to the dialog as the run's does.
    bool LoadSource(SourceLocation location, const std::u16string& source, std::u16string& path) {
        TRunOptions options = TRunOptions::FromEnvironment();
        options.ConnectTimeout = options.StallTimeout = std::chrono::seconds(10);
        return TSourceAcquisition(ComPtr<IHostKernel>(host.get()), form->Presenter(), options)
            .LoadSource({location, source}, path);
    }

    void AddStation(const std::string& call, const std::string& prefix) {
        callbook->ExecSQL("INSERT INTO CALLBOOK (OMCALL, DXCCPFX) VALUES ('" + call + "', '" + prefix + "')");
    }
    bool Bureau(const std::string& call) const {
        const auto rows = callbook->Rows(call, std::nullopt, -1);
        return !rows.empty() && rows.front().Bureau;
    }

    // A RAR 5 archive of the given files and folders, stored without their folder paths; switches go
    // before the archive's name.
    static void Rar(const fs::path& archive, const std::vector<fs::path>& members,
                    const QStringList& switches = {}) {
        QStringList args = QStringList{"a", "-ep1", "-idq"} + switches;
        args << QString::fromStdString(archive.string());
        for (const auto& m : members)
            args << QString::fromStdString(m.string());
        ASSERT_EQ(QProcess::execute(RAR_PROGRAM, args), 0);
    }

    // Runs "Get data" as the user does: location and source in the dialog, then the button.
    void Run(int location, const std::string& source) {
        w.Location(location)->click();
        w.edSource->setText(QString::fromStdString(source));
        ASSERT_TRUE(w.dbtUpdateOk->isEnabled());
        w.dbtUpdateOk->click();
    }
    // Gives the file a modification time at noon of day ("2025-03-14"), local time.
    static void SetDay(const fs::path& file, const std::string& day) {
        ASSERT_EQ(QProcess::execute("touch", {"-d", QString::fromStdString(day + " 12:00"),
                                              QString::fromStdString(file.string())}),
                  0);
    }
    // The memo's line on the lists' date, after "* Use: ".
    static std::string Dated(const std::string& day) { return "   Lists dated " + day + "\n"; }
    // The memo's lines on what the run changed, before "* Done.".
    static std::string Changed(const std::string& marked, const std::string& notInCallbook) {
        return "   Marked for the first time: " + marked + "\n   Not in the callbook: " + notInCallbook +
               "\n";
    }
    // The memo as it stands.
    std::string FullMemo() const { return w.mProgress->toPlainText().toStdString(); }
    // The memo without the run's report (the lists' date, the archive of the last update, the callsigns
    // marked for the first time and those not in the callbook), which ReportTest checks whole: the
    // other tests are about the lists and the counts.
    std::string Memo() const {
        static const QRegularExpression report(
            "^   (Lists dated|This is the archive of your last update|Marked for the first time:|Not in the "
            "callbook:).*\\n",
            QRegularExpression::MultilineOption);
        return QString::fromStdString(FullMemo()).remove(report).toStdString();
    }
    // Checks that the memo (whole: with the run's report) is start followed by the summary line with no
    // line break after it; returns the elapsed time shown there.
    std::string ExpectMemo(const std::string& start, const std::string& counts, bool whole = false) const {
        const std::string memo = whole ? FullMemo() : Memo();
        EXPECT_EQ(memo.substr(0, start.size()), start) << memo;
        const QString tail = QString::fromStdString(memo.substr(std::min(start.size(), memo.size())));
        const QRegularExpressionMatch done =
            QRegularExpression(QRegularExpression::anchoredPattern(
                                   QRegularExpression::escape(QString::fromStdString("* Done. " + counts)) +
                                   R"( \((00:00:0\d)\))"))
                .match(tail);
        EXPECT_TRUE(done.hasMatch()) << memo;
        return done.captured(1).toStdString();
    }
    std::vector<std::string> Log() const {
        std::vector<std::string> lines;
        for (const auto& l : host->LogLines())
            lines.push_back(QString::fromStdU16String(l).toStdString());
        return lines;
    }
    // The host's last log line, or a text saying that there is none.
    std::string LastLog() const {
        const auto lines = Log();
        return lines.empty() ? "<no log line>" : lines.back();
    }
};

struct UpdateRunTest : UpdateTest {
    fs::path pdfA = dir / "a.pdf";
    fs::path pdfB = dir / "b.pdf";

    void SetUp() override {
        UpdateTest::SetUp();
        AddStation("UR5ABC", "UR");
        AddStation("UT2XY", "UR");
        AddStation("UR7QQ", "UR");
        AddStation("US1ZZ", "UR");  // in the callbook, in no list
        AddStation("DL1ABC", "DL"); // in a list, but not Ukrainian
        AddStation("RA3AA", "UA");
        // UR5ABC appears in both lists; UR3NEW is in no callbook.
        WritePdfTable(pdfA.string(), {{"1", "UR5ABC", "Ivan", "Kyiv"},
                                      {"2", "UT2XY", "Petro", "Lviv"},
                                      {"3", "DL1ABC", "Hans", "Berlin"},
                                      {"4", "UR3NEW", "Oleg", "Odesa"}});
        WritePdfTable(pdfB.string(), {{"1", "UR5ABC", "Ivan", "Kyiv"},
                                      {"2", "UR7QQ", "Taras", "Poltava"},
                                      {"3", "RA3AA", "Anna", "Moscow"}});
        ASSERT_NO_FATAL_FAILURE(SetDay(pdfA, kDayA));
        ASSERT_NO_FATAL_FAILURE(SetDay(pdfB, kDayB));
    }
    // The days the two lists were written; rar keeps them.
    static constexpr char kDayA[] = "2025-03-14", kDayB[] = "2025-02-01";
    // A stand-in for the PDF converter: a shell script run as "script PDF TXT".
    fs::path Converter(const std::string& name, const std::string& body) const {
        const fs::path script = dir / (name + ".sh");
        WriteFile(script, "#!/bin/sh\nset -e\n" + body + "\n");
        fs::permissions(script, fs::perms::owner_all);
        return script;
    }
    std::string Parsing(const std::string& name, const fs::path& pdf) const {
        return "   Parsing " + name + " (" + std::to_string(fs::file_size(pdf)) + " bytes)\n";
    }
    // The memo's lines for the two lists read whole.
    std::string ListA() const { return Parsing("a.pdf", pdfA) + "      Found 4, updated 2 callsigns\n"; }
    std::string ListB() const { return Parsing("b.pdf", pdfB) + "      Found 3, updated 2 callsigns\n"; }
};

// The progress memo of the real Qt dialog (offscreen) as a long run fills it: the lines a run writes for
// each list, at 500, 1,000 and 2,000 lists. A message appends to the memo, so the time per list stays
// flat; the target is at most 2.1 times the per-list time of 1,000 lists at 2,000.
#include "BenchSupport.h"

#include "Host/HostServices.h"
#include "Plugins/Zarbex/uZarbex.h"
#include "Plugins/Zarbex/uZarbexRun.h"

#include <QApplication>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

// Seconds per list for a run of lists lists, in a fresh dialog.
double PerList(HostServices& host, int lists) {
    auto form = TfrmZarbex::Create(
        &host, ComPtr<IHostKernel>(&host),
        UpdateRunFactory(ComPtr<IHostKernel>(&host), ComPtr<IHostServer>(&host), u"bench"));
    form->show();
    TZarbexPresenter& memo = form->Presenter();
    const auto start = bench::Clock::now();
    memo.MsgProgress(0, u"* Use: http://example.org/members.rar", true);
    for (int i = 0; i < lists; ++i) {
        const std::u16string n = Utf8ToString(std::to_string(i));
        memo.MsgProgress(1, u"Parsing File" + n + u".pdf (123456 bytes)", true);
        memo.MsgProgress(2, u"Found 812, updated 640 callsigns", true);
    }
    memo.MsgProgress(0, u"* Done. Files:0, Tot:0, Upd:0 (00:00:01)", false);
    QCoreApplication::processEvents();
    return bench::Seconds(start) / lists;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "zarbex-memo-bench";
    std::filesystem::create_directories(dir);
    ComPtr<HostServices> host = HostServices::Create();
    host->SetVariable(u"APPINI", (dir / "host.ini").u16string());
    host->SetVariable(u"DOWNLOAD", dir.u16string());
    double at1000 = 0;
    for (int lists : {500, 1000, 2000}) {
        const double perList = PerList(*host.get(), lists);
        std::printf("memo of %5d lists: %8.3f ms per list\n", lists, perList * 1000);
        if (lists == 1000)
            at1000 = perList;
        if (lists == 2000)
            std::printf("2,000 / 1,000 per list: %.2f (target <= 2.1: %s)\n", perList / at1000,
                        perList / at1000 <= 2.1 ? "met" : "MISSED");
    }
    std::filesystem::remove_all(dir);
    return 0;
}

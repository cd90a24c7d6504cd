// A small Qt program in the shape of the plug-in's dialog: a button whose click handler, run from Qt's
// event loop, loses an allocation when the program is started with "leak" and frees everything
// otherwise.
#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <string_view>

namespace {

struct TLostRecord {
    char bytes[48];
};
TLostRecord* volatile lost = nullptr;

[[gnu::noinline]] void LoseARecordInAQtCallback() {
    lost = new TLostRecord{};
    lost = nullptr;
}

} // namespace

int main(int argc, char** argv) {
    const bool leak = argc > 1 && std::string_view(argv[1]) == "leak";
    QApplication app(argc, argv);
    QPushButton button("Get data");
    QObject::connect(&button, &QPushButton::clicked, [leak] {
        if (leak)
            LoseARecordInAQtCallback();
    });
    button.show();
    QTimer::singleShot(0, &button, [&] {
        button.click();
        app.quit();
    });
    return app.exec();
}

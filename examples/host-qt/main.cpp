// A small photo-browser-like Qt host: a main window with an "Edit movie" button that opens the
// Brevio editing dialog over it, as its owner. With a MOVIE argument the dialog opens at once and
// the program ends with the call's result code when it returns.
#include <brevioedit/BREditDialog.h>

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>

namespace {

// Opens the dialog on `movie`; returns the result code and says on stdout what came back.
int EditMovie(QMainWindow& owner, const QString& movie, QLabel& status) {
    char16_t saved[4096] = {};
    int32_t playerValue = 0;
    const int32_t result = BREditDialog(reinterpret_cast<const char16_t*>(movie.utf16()), &owner,
                                        saved, 4096, 10000, &playerValue, 0, u"Photo browser");
    QString text = QStringLiteral("result: %1").arg(result);
    if (result == BREDIT_RESULT_SAVED)
        text += QStringLiteral("\nsaved: ") + QString::fromUtf16(saved);
    status.setText(text);
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Photo browser"));
    auto* central = new QWidget(&window);
    auto* layout = new QVBoxLayout(central);
    auto* button = new QPushButton(QStringLiteral("Edit movie..."), central);
    auto* status = new QLabel(central);
    layout->addWidget(button);
    layout->addWidget(status);
    window.setCentralWidget(central);
    QObject::connect(button, &QPushButton::clicked, &window, [&window, status] {
        const QString movie = QFileDialog::getOpenFileName(
            &window, QStringLiteral("Brevio movie"), QString(), QStringLiteral("Movies (*.mov)"));
        if (!movie.isEmpty()) EditMovie(window, movie, *status);
    });
    window.show();

    const QStringList args = QApplication::arguments();
    if (args.size() > 1) {
        QTimer::singleShot(0, &window, [&window, status, movie = args[1]] {
            QApplication::exit(EditMovie(window, movie, *status));
        });
    }
    return QApplication::exec();
}

// The editing call in the user's language. Qt reads the locale from the environment once per
// process, so each language runs in a child process of this program with LANG set: the child is a
// host with its own QApplication that calls BREditDialog, cuts, opens the Save-As dialog and
// closes with the unsaved-edits question, and prints every visible text it met (with whether the
// text fits its control) as JSON. The parent checks the reports.
#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <string>

#include "../resources/ExpectedStrings.h"
#include "DialogDriver.h"
#include "brevioedit/BREditDialog.h"
#include "module/ModuleHelpers.h"
#include "testmovies/TestMovies.h"

namespace brevio {
namespace {

using driver::AnswerNext;
using driver::DialogDriver;
using driver::WaitUntil;

// Set in the child's environment: the movie to edit.
constexpr char kChildMovieVar[] = "BREVIO_LANGUAGE_CHILD_MOVIE";
constexpr char kReportMarker[] = "LANGUAGE-REPORT:";
constexpr int kTimeoutMs = 60000;
constexpr uint32_t kFirstId = 128;
constexpr uint32_t kLastId = 160;

// --- The child: a host that records what the call shows ---

// Whether `text` fits `label`'s contents rectangle as the label draws it (wrapped or not).
bool LabelFits(const QLabel& label) {
    const QRect box = label.contentsRect();
    const int flags =
        static_cast<int>(label.alignment()) | (label.wordWrap() ? Qt::TextWordWrap : 0);
    const QRect needed = label.fontMetrics().boundingRect(box, flags, label.text());
    return needed.width() <= box.width() && needed.height() <= box.height();
}

// Every visible text under `root` (its title, labels, buttons, list items, name fields, column
// headers) as {where, class, name, text[, fits]}. Fit is judged for labels and push buttons when
// `judgeFit`: the library's own rectangles, not those of Qt's self-sizing dialogs.
void Collect(QWidget* root, const QString& where, bool judgeFit, QJsonArray& out) {
    const auto add = [&](QWidget* w, const QString& text, int fits) {
        if (text.isEmpty()) return;
        QJsonObject item{
            {QStringLiteral("where"), where},
            {QStringLiteral("class"), QString::fromLatin1(w->metaObject()->className())},
            {QStringLiteral("name"), w->objectName()},
            {QStringLiteral("text"), text}};
        if (fits >= 0) item[QStringLiteral("fits")] = fits == 1;
        out.append(item);
    };
    add(root, root->windowTitle(), -1);
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(root)) continue;
        if (auto* label = qobject_cast<QLabel*>(w)) {
            add(w, label->text(), judgeFit ? int(LabelFits(*label)) : -1);
        } else if (auto* push = qobject_cast<QPushButton*>(w)) {
            add(w, push->text(), judgeFit ? int(push->sizeHint().width() <= push->width()) : -1);
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            add(w, button->text(), -1);
        } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            for (int i = 0; i < combo->count(); ++i) add(w, combo->itemText(i), -1);
        } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            add(w, edit->text(), -1);
        } else if (auto* header = qobject_cast<QHeaderView*>(w); header && header->model()) {
            for (int i = 0; i < header->count(); ++i) {
                if (header->isSectionHidden(i)) continue;
                add(w, header->model()->headerData(i, header->orientation()).toString(), -1);
            }
        }
    }
}

void Drive(QJsonObject& report, QJsonArray& items) {
    if (!WaitUntil([] { return driver::FindEditDialog() != nullptr; }, kTimeoutMs)) return;
    DialogDriver driver(driver::FindEditDialog());
    if (!WaitUntil([&] { return driver.HasSelectionFrame(); }, kTimeoutMs)) return;
    QJsonObject strings;
    for (uint32_t id = kFirstId; id <= kLastId; ++id) strings[QString::number(id)] = LoadString(id);
    report[QStringLiteral("strings")] = strings;
    Collect(driver.Dialog(), QStringLiteral("dialog"), true, items);

    if (!driver.ChooseSelectionLength(4) || !driver.ClickScene(2) ||
        !driver.CutSelection(kTimeoutMs))
        return;
    const auto saveAs = AnswerNext<QFileDialog>(
        [&](QFileDialog* dialog) {
            Collect(dialog, QStringLiteral("saveas"), false, items);
            dialog->reject();
        },
        kTimeoutMs);
    driver.ClickButton(1005);
    const auto question = AnswerNext<QMessageBox>(
        [&](QMessageBox* box) {
            Collect(box, QStringLiteral("box"), false, items);
            box->button(QMessageBox::Ok)->click();
        },
        kTimeoutMs);
    driver.ClickButton(1006);  // the question comes from a posted close request
    WaitUntil([&] { return *question || !driver.Dialog() || !driver.Dialog()->isVisible(); },
              kTimeoutMs);
}

int RunChild(const QString& movie) {
    int argc = 1;
    char name[] = "language_child";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    QJsonObject report;
    QJsonArray items;
    report[QStringLiteral("uiLanguages")] =
        QJsonArray::fromStringList(QLocale::system().uiLanguages());
    QTimer::singleShot(0, [&] { Drive(report, items); });
    std::array<char16_t, 512> saved{};
    int32_t playerValue = 0;
    const std::u16string path = movie.toStdU16String();
    report[QStringLiteral("result")] =
        BREditDialog(path.c_str(), nullptr, saved.data(), 512, 0, &playerValue, 0, nullptr);
    report[QStringLiteral("items")] = items;
    std::printf("%s%s\n", kReportMarker,
                QJsonDocument(report).toJson(QJsonDocument::Compact).constData());
    return 0;
}

// --- The parent: one child per language, and the checks ---

bool HasCjk(const QString& text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        // CJK punctuation and symbols, kana, ideographs, compatibility ideographs, full-width
        // forms.
        if ((u >= 0x2E80 && u <= 0x9FFF) || (u >= 0xF900 && u <= 0xFAFF) ||
            (u >= 0xFF00 && u <= 0xFFEF))
            return true;
    }
    return false;
}

QJsonObject RunInLanguage(const std::string& lang, const std::filesystem::path& movie) {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const testmovies::CommandResult run = testmovies::RunCommand(
        {"env", "-u", "LANGUAGE", "-u", "LC_ALL", "-u", "LC_MESSAGES", "LANG=" + lang,
         std::string(kChildMovieVar) + "=" + movie.string(), self});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const size_t at = run.out.find(kReportMarker);
    if (at == std::string::npos) {
        ADD_FAILURE() << "no report; stderr: " << run.err;
        return {};
    }
    const std::string json = run.out.substr(at + sizeof(kReportMarker) - 1);
    return QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
}

// The text the control `name` shows in `where`, or empty.
QString TextOf(const QJsonArray& items, const QString& where, const QString& name) {
    for (const QJsonValue& v : items) {
        const QJsonObject item = v.toObject();
        if (item[QStringLiteral("where")] == where && item[QStringLiteral("name")] == name)
            return item[QStringLiteral("text")].toString();
    }
    return {};
}

bool Shows(const QJsonArray& items, const QString& where, const QString& text) {
    for (const QJsonValue& v : items) {
        const QJsonObject item = v.toObject();
        if (item[QStringLiteral("where")] == where && item[QStringLiteral("text")] == text)
            return true;
    }
    return false;
}

TEST(LanguageTest, EachLocaleSeesTheWholeCallInItsLanguage) {
    testmovies::MovieOptions options;
    options.units = 12;
    const std::filesystem::path movie = testmovies::MakeMovie(options);
    struct Case {
        std::string lang;
        bool english;
        const char* firstUiLanguage;
    };
    for (const Case& c : {Case{"en_US.UTF-8", true, "en-US"}, Case{"zh_CN.UTF-8", false, "zh-CN"},
                          Case{"C", false, "C"}}) {
        SCOPED_TRACE(c.lang);
        const QJsonObject report = RunInLanguage(c.lang, movie);
        ASSERT_FALSE(report.isEmpty());
        // The language came from the environment, read by Qt as any host's locale is.
        EXPECT_EQ(report[QStringLiteral("uiLanguages")].toArray().first().toString(),
                  QString::fromLatin1(c.firstUiLanguage));
        EXPECT_EQ(report[QStringLiteral("result")].toInt(), 1);
        const QJsonObject strings = report[QStringLiteral("strings")].toObject();
        const QJsonArray items = report[QStringLiteral("items")].toArray();
        const auto text = [&](uint32_t id) { return strings[QString::number(id)].toString(); };
        ASSERT_EQ(strings.size(), 33);

        if (c.english) {
            for (uint32_t id = kFirstId; id <= kLastId; ++id) {
                EXPECT_FALSE(text(id).isEmpty()) << id;
                EXPECT_FALSE(HasCjk(text(id))) << id << ": " << text(id).toStdString();
            }
            for (const QJsonValue& v : items) {
                const QString shown = v[QStringLiteral("text")].toString();
                EXPECT_FALSE(HasCjk(shown)) << v[QStringLiteral("where")].toString().toStdString()
                                            << ": " << shown.toStdString();
            }
            // Names of files and fonts stay as they are.
            for (uint32_t id : {128u, 130u, 132u, 133u, 134u, 138u, 146u}) {
                EXPECT_EQ(text(id), LoadString(id)) << id;
            }
        } else {
            for (const test::ExpectedString& expected : test::kExpectedStrings) {
                EXPECT_EQ(text(expected.id).toUtf8(), QByteArray(expected.utf8)) << expected.id;
            }
        }
        // The product name is the caption in every language; each control shows its string.
        EXPECT_EQ(text(128), QStringLiteral("Albumora EX"));
        EXPECT_TRUE(Shows(items, QStringLiteral("dialog"), text(128)));
        const std::pair<int, uint32_t> buttons[] = {
            {1002, 144}, {1003, 141}, {1004, 142}, {1005, 143}, {1006, 145}};
        for (const auto& [control, id] : buttons) {
            EXPECT_EQ(TextOf(items, QStringLiteral("dialog"), QString::number(control)), text(id));
        }
        EXPECT_TRUE(Shows(items, QStringLiteral("dialog"), text(147)));
        EXPECT_TRUE(Shows(items, QStringLiteral("dialog"), text(148)));
        const QString steps =
            u'\n' + text(149) + u'\n' + text(150) + u'\n' + text(151) + u'\n' + text(152);
        EXPECT_TRUE(Shows(items, QStringLiteral("dialog"), steps));
        EXPECT_TRUE(Shows(items, QStringLiteral("saveas"), text(129)));
        EXPECT_TRUE(Shows(items, QStringLiteral("saveas"), text(139)));
        EXPECT_TRUE(Shows(items, QStringLiteral("box"), text(153)));
        // Qt's own dialogs speak the same language.
        EXPECT_TRUE(Shows(items, QStringLiteral("saveas"),
                          c.english ? QStringLiteral("&Save") : QStringLiteral("保存(&S)")));
        EXPECT_TRUE(Shows(items, QStringLiteral("box"),
                          c.english ? QStringLiteral("OK") : QStringLiteral("确定")));
        // No text of the dialog is clipped by its control.
        for (const QJsonValue& v : items) {
            if (v[QStringLiteral("fits")].isBool()) {
                EXPECT_TRUE(v[QStringLiteral("fits")].toBool())
                    << v[QStringLiteral("class")].toString().toStdString() << " "
                    << v[QStringLiteral("name")].toString().toStdString() << ": "
                    << v[QStringLiteral("text")].toString().toStdString();
            }
        }
    }
}

}  // namespace
}  // namespace brevio

int main(int argc, char** argv) {
    const QString movie = qEnvironmentVariable(brevio::kChildMovieVar);
    if (!movie.isEmpty()) return brevio::RunChild(movie);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

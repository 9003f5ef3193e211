#include "StringTranslation.h"

#include <QCoreApplication>
#include <QLocale>
#include <atomic>

#include "StringIds.h"
#include "StringTable.h"

// The compiled translations are a resource of their own (see CMakeLists.txt). Registering it by
// name also makes the linker keep it when the library is linked statically.
static void RegisterTranslationResource() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(brevioedit_translations);
        return true;
    }();
    (void)registered;
}

namespace brevio::resources {

namespace {

const QString kEnglishFile = QStringLiteral(":/brevioedit/i18n/brevioedit_en.qm");

// How many StringTranslations are installed in the application now. Without one the table is
// read directly, so a host's own id-based translators can never change the Chinese texts.
std::atomic<int> g_installed{0};

QString TableText(uint32_t id) {
    const std::u16string_view text = FindString(id);
    return QString(reinterpret_cast<const QChar*>(text.data()),
                   static_cast<qsizetype>(text.size()));
}

}  // namespace

Language LanguageFor(const QStringList& uiLanguages) {
    if (uiLanguages.isEmpty()) return Language::Chinese;
    for (const QString& entry : uiLanguages) {
        // The language subtag: "en" of "en-US", "zh" of "zh_CN.UTF-8", "C" of "C.UTF-8".
        qsizetype end = 0;
        while (end < entry.size() && entry[end].isLetter()) ++end;
        const QStringView language = QStringView(entry).left(end);
        if (language.isEmpty() || language == u"C" || language == u"POSIX")
            return Language::Chinese;
        if (language.compare(u"zh", Qt::CaseInsensitive) == 0) return Language::Chinese;
        if (language.compare(u"en", Qt::CaseInsensitive) == 0) return Language::English;
    }
    return Language::English;
}

Language SystemLanguage() {
    return LanguageFor(QLocale::system().uiLanguages());
}

QString TranslatedString(uint32_t id) {
    QString text = TableText(id);
    if (text.isEmpty() || g_installed.load() == 0) return text;
    const QByteArray messageId = QByteArray::number(id);
    // qtTrId answers the id itself when no translator has the message.
    const QString translated = qtTrId(messageId.constData());
    return translated == QLatin1String(messageId) ? text : translated;
}

QString TranslatedMessage(const char* messageId, const QString& source) {
    if (g_installed.load() == 0) return source;
    const QString translated = qtTrId(messageId);
    return translated == QLatin1String(messageId) ? source : translated;
}

QString CaptionOrDefault(const QString* text) {
    return text != nullptr ? *text : TranslatedString(ids::kCaption);
}

StringTranslation::StringTranslation(Language language) {
    if (language != Language::English || QCoreApplication::instance() == nullptr) return;
    RegisterTranslationResource();
    if (translator_.load(kEnglishFile) && QCoreApplication::installTranslator(&translator_)) {
        installed_ = true;
        ++g_installed;
    }
}

StringTranslation::~StringTranslation() {
    if (!installed_) return;
    --g_installed;
    if (QCoreApplication::instance() != nullptr) QCoreApplication::removeTranslator(&translator_);
}

}  // namespace brevio::resources

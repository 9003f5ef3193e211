#pragma once
// The string table in the user's language. The table's Chinese texts stay the source of every
// text; the English texts live in a Qt Linguist file (translations/brevioedit_en.ts, one message
// per string ID, the ID as the message's id), compiled into the library as a resource. While a
// StringTranslation is installed, TranslatedString answers through the application's
// translators; at every other time it gives the table's own text.
#include <QString>
#include <QStringList>
#include <QTranslator>
#include <cstdint>

namespace brevio::resources {

enum class Language { Chinese, English };

// The language of the dialog for a list of preferred languages, most preferred first, as
// QLocale::uiLanguages() gives it ("en-US", "zh-Hans-CN", "C"). The first entry the library can
// speak decides: Chinese for "zh…", and for "C"/"POSIX" (the neutral locale, which is also what
// an unset environment gives); English for "en…". Languages without a translation of their own
// are passed over; English when none is left, Chinese for an empty list.
Language LanguageFor(const QStringList& uiLanguages);
// LanguageFor(QLocale::system().uiLanguages()): LANGUAGE, LC_ALL, LC_MESSAGES and LANG.
Language SystemLanguage();

// The text of string `id` in the language of the installed StringTranslation, else the table's.
QString TranslatedString(uint32_t id);
// The message `messageId` of the translation file in the language of the installed
// StringTranslation, else `source` (the Chinese text).
QString TranslatedMessage(const char* messageId, const QString& source);
// The caption an object shows its message boxes with: a copy of `text`, or ids::kCaption (the
// product name) for null.
QString CaptionOrDefault(const QString* text);

// While it lives, the string table speaks `language`: for English the compiled translation is
// installed in the application (when there is one) and removed again by the destructor, so the
// translators a host installed before or after are left as they were. Chinese needs no translator:
// it is the table itself.
class StringTranslation {
public:
    explicit StringTranslation(Language language);
    ~StringTranslation();
    StringTranslation(const StringTranslation&) = delete;
    StringTranslation& operator=(const StringTranslation&) = delete;

    bool Installed() const { return installed_; }

private:
    QTranslator translator_;
    bool installed_ = false;
};

}  // namespace brevio::resources

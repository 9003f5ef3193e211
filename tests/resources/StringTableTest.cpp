#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <string>

#include "ExpectedStrings.h"
#include "module/ModuleHelpers.h"
#include "resources/MessageSources.h"
#include "resources/StringTranslation.h"

namespace brevio {
namespace {

TEST(StringTable, EveryIdHasItsExactText) {
    int checked = 0;
    for (const test::ExpectedString& expected : test::kExpectedStrings) {
        const QString text = LoadString(expected.id);
        EXPECT_EQ(text.toUtf8(), QByteArray(expected.utf8)) << "string " << expected.id;
        EXPECT_FALSE(text.isEmpty()) << "string " << expected.id;
        // The translators' file has the same text as its source.
        const std::u16string_view source = resources::MessageSource(std::to_string(expected.id));
        EXPECT_EQ(QString::fromUtf16(source.data(), qsizetype(source.size())).toStdString(),
                  text.toStdString())
            << "source of message " << expected.id << " in translations/brevioedit_en.ts";
        ++checked;
    }
    EXPECT_EQ(checked, 33);
}

TEST(StringTable, KnownTextsAndMissingIds) {
    EXPECT_EQ(LoadString(131), QStringLiteral("Main dialog creation failed !"));
    EXPECT_EQ(LoadString(128), QStringLiteral("Albumora EX"));
    EXPECT_EQ(LoadString(137), QString::fromUtf8("MOV \xe6\x96\x87\xe4\xbb\xb6 (*.mov)|*.mov||"));
    for (uint32_t id : {0u, 1u, 127u, 166u, 0x10000u + 131u, 0xFFFFFFFFu}) {
        EXPECT_TRUE(LoadString(id).isEmpty()) << "string " << id;
    }
}

TEST(StringTable, ChangedFileNoticeHasOneLineFeed) {
    const QString text = LoadString(155);
    EXPECT_EQ(text.count(u'\n'), 1);
    EXPECT_FALSE(text.contains(u'\r'));
    const qsizetype lf = text.indexOf(u'\n');
    EXPECT_TRUE(text.left(lf).endsWith(QChar(0x3002)));  // first sentence ends with its full stop
    EXPECT_TRUE(text.endsWith(QChar(0x3002)));
}

TEST(StringTable, LanguageIsTheFirstPreferenceWithATranslation) {
    using resources::Language;
    const std::pair<QStringList, Language> cases[] = {
        {{}, Language::Chinese},
        {{QStringLiteral("C")}, Language::Chinese},
        {{QStringLiteral("POSIX")}, Language::Chinese},
        {{QStringLiteral("C.UTF-8")}, Language::Chinese},
        {{QStringLiteral("zh-TW"), QStringLiteral("zh-Hant-TW")}, Language::Chinese},
        {{QStringLiteral("en-US"), QStringLiteral("en-Latn-US"), QStringLiteral("en")},
         Language::English},
        {{QStringLiteral("de-DE"), QStringLiteral("de")}, Language::English},
        {{QStringLiteral("fr"), QStringLiteral("fr-FR"), QStringLiteral("zh-CN")},
         Language::Chinese},
        {{QStringLiteral("fr"), QStringLiteral("en-GB"), QStringLiteral("zh")}, Language::English},
    };
    for (const auto& [languages, expected] : cases) {
        EXPECT_EQ(resources::LanguageFor(languages), expected)
            << languages.join(u',').toStdString();
    }
}

TEST(StringTable, EnglishLastsAsLongAsItsTranslationAndLeavesTheHostsTranslators) {
    const auto chineseEverywhere = [] {
        for (const test::ExpectedString& expected : test::kExpectedStrings) {
            if (LoadString(expected.id).toUtf8() != QByteArray(expected.utf8)) return false;
        }
        return true;
    };
    // A host translator of its own, installed before the call.
    QTranslator host;
    ASSERT_TRUE(
        host.load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)));
    ASSERT_TRUE(QCoreApplication::installTranslator(&host));
    const QString hostSave = QCoreApplication::translate("QFileDialog", "&Save");
    {
        const resources::StringTranslation chinese(resources::Language::Chinese);
        EXPECT_FALSE(chinese.Installed());
        EXPECT_TRUE(chineseEverywhere());
    }
    {
        const resources::StringTranslation english(resources::Language::English);
        ASSERT_TRUE(english.Installed());
        EXPECT_EQ(LoadString(144), QStringLiteral("Cut scenes"));
        EXPECT_EQ(LoadString(155).count(u'\n'), 1);
        EXPECT_TRUE(LoadString(166).isEmpty());
        EXPECT_EQ(LoadString(162), QStringLiteral("The source movie changed while it was saved."));
        EXPECT_EQ(QCoreApplication::translate("QFileDialog", "&Save"), hostSave);
    }
    EXPECT_TRUE(chineseEverywhere());
    // A host translator that happens to know the same message ids changes no Chinese text.
    QTranslator lookalike;
    ASSERT_TRUE(lookalike.load(QStringLiteral(":/brevioedit/i18n/brevioedit_en.qm")));
    ASSERT_TRUE(QCoreApplication::installTranslator(&lookalike));
    EXPECT_TRUE(chineseEverywhere());
    QCoreApplication::removeTranslator(&lookalike);
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "&Save"), hostSave);
    EXPECT_NE(hostSave, QStringLiteral("&Save"));
    QCoreApplication::removeTranslator(&host);
}

}  // namespace
}  // namespace brevio

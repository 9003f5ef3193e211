#include "HostText.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <algorithm>
#include <iterator>
#include <string_view>

#include "resources/MessageSources.h"

namespace brevioedit {

namespace {

// The message ids, in the order of HostText. Their Chinese is the messages' source text in
// translations/brevioedit_en.ts.
constexpr const char* kIds[] = {
    "host.product",
    "host.caption",
    "host.open.title",
    "host.open.filter",
    "host.error.missing",
    "host.error.permission",
    "host.error.folder",
    "host.error.unreadable",
    "host.error.not-quicktime",
    "host.error.not-brevio",
    "host.error.damaged",
    "host.found.cut-short",
    "host.found.no-header",
    "host.found.inconsistent",
    "host.error.too-short",
    "host.error.no-decoder",
};
static_assert(std::size(kIds) == static_cast<size_t>(HostText::NoDecoder) + 1,
              "one id for each HostText");
static_assert(std::ranges::none_of(kIds,
                                   [](std::string_view id) {
                                       return brevio::resources::MessageSource(id).empty();
                                   }),
              "translations/brevioedit_en.ts has a source text for each id");

}  // namespace

QString Text(HostText text) {
    const char* id = kIds[static_cast<size_t>(text)];
    const std::u16string_view source = brevio::resources::MessageSource(id);
    return brevio::resources::TranslatedMessage(
        id, QString::fromUtf16(source.data(), qsizetype(source.size())));
}

HostTranslation::HostTranslation() {
    const brevio::resources::Language language = brevio::resources::SystemLanguage();
    strings_.emplace(language);
    if (language == brevio::resources::Language::Chinese &&
        toolkit_.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                      QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        toolkitInstalled_ = QCoreApplication::installTranslator(&toolkit_);
    }
}

HostTranslation::~HostTranslation() {
    if (toolkitInstalled_) QCoreApplication::removeTranslator(&toolkit_);
}

}  // namespace brevioedit

#include "AccessibleTexts.h"

#include <QStringLiteral>
#include <algorithm>
#include <iterator>
#include <string_view>

#include "MessageSources.h"
#include "StringTranslation.h"

namespace brevio::resources {

namespace {

// The message ids, in the order of AccessibleText.
constexpr const char* kIds[] = {
    "a11y.play",         "a11y.pause",
    "a11y.play.tip",     "a11y.pause.tip",
    "a11y.stop",         "a11y.stop.tip",
    "a11y.seekbar",      "a11y.seekbar.value",
    "a11y.strip",        "a11y.strip.chapters",
    "a11y.scene",        "a11y.chapter",
    "a11y.strip.help",   "a11y.content",
    "a11y.preview",      "a11y.player",
    "a11y.picture",      "a11y.picture.at",
    "a11y.picture.none", "a11y.steps",
    "a11y.editing",      "a11y.strip.chapters.help",
};
static_assert(std::size(kIds) == static_cast<size_t>(AccessibleText::ChapterHelp) + 1,
              "one id for each AccessibleText");
static_assert(std::ranges::none_of(kIds,
                                   [](std::string_view id) { return MessageSource(id).empty(); }),
              "translations/brevioedit_en.ts has a source text for each id");

}  // namespace

QString AccessibleString(AccessibleText text) {
    const auto index = static_cast<size_t>(text);
    if (index >= std::size(kIds)) return {};
    const std::u16string_view source = MessageSource(kIds[index]);
    return TranslatedMessage(kIds[index],
                             QString::fromUtf16(source.data(), qsizetype(source.size())));
}

QString AccessibleTime(int64_t ticks) {
    const int64_t seconds = std::max<int64_t>(ticks, 0) / 10'000'000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace brevio::resources

#include "AccessibleTexts.h"

#include <QStringLiteral>
#include <algorithm>
#include <iterator>

#include "StringTranslation.h"

namespace brevio::resources {

namespace {

struct Message {
    AccessibleText text;
    const char* id;
    const char16_t* source;
};

// The Chinese sources; translations/brevioedit_en.ts holds the English texts under the same ids.
constexpr Message kMessages[] = {
    {AccessibleText::Play, "a11y.play", u"播放"},
    {AccessibleText::Pause, "a11y.pause", u"暂停"},
    {AccessibleText::PlayTip, "a11y.play.tip", u"播放短片 (空格键)"},
    {AccessibleText::PauseTip, "a11y.pause.tip", u"暂停播放 (空格键)"},
    {AccessibleText::Stop, "a11y.stop", u"停止"},
    {AccessibleText::StopTip, "a11y.stop.tip", u"停止播放并回到短片开头"},
    {AccessibleText::SeekBar, "a11y.seekbar", u"播放位置"},
    {AccessibleText::SeekValue, "a11y.seekbar.value", u"%1，共 %2"},
    {AccessibleText::SceneStrip, "a11y.strip", u"场景"},
    {AccessibleText::ChapterStrip, "a11y.strip.chapters", u"章节"},
    {AccessibleText::Scene, "a11y.scene", u"场景 %1，%2 至 %3"},
    {AccessibleText::Chapter, "a11y.chapter", u"章节 %1，%2 至 %3"},
    {AccessibleText::StripHelp, "a11y.strip.help",
     u"左右方向键移动选定的场景，Home 和 End 键移到开头和结尾，Delete 键剪切"},
};

}  // namespace

QString AccessibleString(AccessibleText text) {
    const auto found = std::find_if(std::begin(kMessages), std::end(kMessages),
                                    [text](const Message& m) { return m.text == text; });
    if (found == std::end(kMessages)) return {};
    return TranslatedMessage(found->id, QString::fromUtf16(found->source));
}

QString AccessibleTime(int64_t ticks) {
    const int64_t seconds = std::max<int64_t>(ticks, 0) / 10'000'000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace brevio::resources

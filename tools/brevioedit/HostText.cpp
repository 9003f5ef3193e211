#include "HostText.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <array>

namespace brevioedit {

namespace {

struct Entry {
    HostText text;
    const char* id;
    const char16_t* chinese;
};

// In the order of HostText.
constexpr std::array kEntries{
    Entry{HostText::ProductName, "host.product", u"Brevio Edit"},
    Entry{HostText::Caption, "host.caption", u"%1 – Brevio Edit"},
    Entry{HostText::OpenTitle, "host.open.title", u"打开短片"},
    Entry{HostText::OpenFilter, "host.open.filter", u"QuickTime 短片 (*.mov)"},
    Entry{HostText::NoSuchFile, "host.error.missing", u"无法打开“%1”：没有此文件。"},
    Entry{HostText::PermissionDenied, "host.error.permission",
          u"无法打开“%1”：您没有读取此文件的权限。"},
    Entry{HostText::Folder, "host.error.folder", u"无法打开“%1”：这是一个文件夹，不是短片文件。"},
    Entry{HostText::Unreadable, "host.error.unreadable", u"无法读取“%1”：%2"},
    Entry{HostText::NotQuickTime, "host.error.not-quicktime",
          u"无法打开“%1”：这不是 QuickTime 短片 (.mov) 文件。"},
    Entry{HostText::NotBrevio, "host.error.not-brevio",
          u"“%1”是 QuickTime 短片，但不是 Brevio 短片。Brevio Edit 只能编辑 Brevio "
          u"相机由拍摄单元或章节组成的短片。"},
    Entry{HostText::Damaged, "host.error.damaged", u"“%1”已损坏或不完整：%2"},
    Entry{HostText::CutShort, "host.found.cut-short",
          u"文件在 %1 字节处结束，但其中的“%2”部分应到 %3 字节为止。"},
    Entry{HostText::NoMovieHeader, "host.found.no-header",
          u"文件中没有短片头 (moov)，只找到：%1。"},
    Entry{HostText::Inconsistent, "host.found.inconsistent", u"短片的结构前后不一致（找到：%1）。"},
    Entry{HostText::TooShort, "host.error.too-short", u"“%1”太短，无法编辑。"},
    Entry{HostText::NoDecoder, "host.error.no-decoder",
          u"此系统无法播放短片：FFmpeg 库缺少 Brevio Edit 所需的解码器。"},
};

static_assert(
    [] {
        for (size_t i = 0; i < kEntries.size(); ++i) {
            if (static_cast<size_t>(kEntries[i].text) != i) return false;
        }
        return true;
    }(),
    "kEntries follows the order of HostText");

bool g_english = false;

}  // namespace

QString Text(HostText text) {
    const Entry& entry = kEntries[static_cast<size_t>(text)];
    const QString chinese = QString::fromUtf16(entry.chinese);
    if (!g_english) return chinese;
    // qtTrId answers the id itself when no translator has the message.
    const QString translated = qtTrId(entry.id);
    return translated == QLatin1String(entry.id) ? chinese : translated;
}

HostTranslation::HostTranslation() {
    const brevio::resources::Language language = brevio::resources::SystemLanguage();
    strings_.emplace(language);
    g_english = strings_->Installed();
    if (language == brevio::resources::Language::Chinese &&
        toolkit_.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                      QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        toolkitInstalled_ = QCoreApplication::installTranslator(&toolkit_);
    }
}

HostTranslation::~HostTranslation() {
    g_english = false;
    if (toolkitInstalled_) QCoreApplication::removeTranslator(&toolkit_);
}

}  // namespace brevioedit

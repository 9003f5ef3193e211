#include "EditCallEnvironment.h"

extern "C" {
#include <libavutil/log.h>
}

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <mutex>

#include "framesource/IFrameSource.h"
#include "module/Module.h"
#include "playback/IPlaybackComponent.h"
#include "player/IBRLPlayer.h"

namespace brevio {

void RegisterEditCallComponents() {
    static std::once_flag once;
    std::call_once(once, [] {
        Module& module = Module::Instance();
        module.AddComponentRegistrar(&RegisterPlayerComponent);
        module.AddComponentRegistrar(&RegisterFrameSourceComponent);
        module.AddComponentRegistrar(&RegisterPlaybackComponent);
    });
    Module::Instance().RegisterBuiltInComponents();
}

QuietFFmpegLog::QuietFFmpegLog() : previousLevel_(av_log_get_level()) {
    av_log_set_level(AV_LOG_QUIET);
}

QuietFFmpegLog::~QuietFFmpegLog() {
    av_log_set_level(previousLevel_);
}

CallTranslation::CallTranslation() : language_(resources::SystemLanguage()) {
    if (QCoreApplication::instance() == nullptr) return;
    if (language_ == resources::Language::Chinese) {
        if (toolkitTranslator_.load(QLocale(QLocale::Chinese, QLocale::China),
                                    QStringLiteral("qtbase"), QStringLiteral("_"),
                                    QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            toolkitInstalled_ = QCoreApplication::installTranslator(&toolkitTranslator_);
        }
    }
    strings_.emplace(language_);
}

CallTranslation::~CallTranslation() {
    strings_.reset();
    if (toolkitInstalled_ && QCoreApplication::instance() != nullptr)
        QCoreApplication::removeTranslator(&toolkitTranslator_);
}

}  // namespace brevio

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

CallTranslation::CallTranslation() {
    if (QCoreApplication::instance() == nullptr) return;
    if (translator_.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        installed_ = QCoreApplication::installTranslator(&translator_);
    }
}

CallTranslation::~CallTranslation() {
    if (installed_ && QCoreApplication::instance() != nullptr)
        QCoreApplication::removeTranslator(&translator_);
}

}  // namespace brevio

#include "EditCallEnvironment.h"

extern "C" {
#include <libavutil/log.h>
}

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

}  // namespace brevio

#include "BRLEventDispatch.h"

#include "module/Module.h"

namespace brevio {

BRLEventDispatch::BRLEventDispatch() {
    Module::Instance().DllModule().Lock();
}

BRLEventDispatch::~BRLEventDispatch() {
    Module::Instance().DllModule().Unlock();
}

HRESULT BRLEventDispatch::Invoke(int32_t dispId, const std::vector<int32_t>& arguments) {
    if (dispId == kDispIdPlayStateChange) {
        if (arguments.empty()) return DISP_E_BADPARAMCOUNT;
        if (target_ != nullptr) target_->OnPlayStateChange(arguments[0]);
    } else if (dispId == kDispIdPlayerNotify) {
        if (arguments.size() < 2) return DISP_E_BADPARAMCOUNT;
        if (target_ != nullptr) target_->OnPlayerNotify(arguments[0], arguments[1]);
    }
    return DISP_E_MEMBERNOTFOUND;
}

}  // namespace brevio

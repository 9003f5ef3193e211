#include "ComponentRegistry.h"

namespace brevio {

ComponentRegistry& ComponentRegistry::Instance() {
    static ComponentRegistry registry;
    return registry;
}

void ComponentRegistry::Register(const std::string& name, Factory factory) {
    std::lock_guard lock(mutex_);
    factories_[name] = std::move(factory);
}

void ComponentRegistry::Unregister(const std::string& name) {
    std::lock_guard lock(mutex_);
    factories_.erase(name);
}

bool ComponentRegistry::IsRegistered(const std::string& name) const {
    std::lock_guard lock(mutex_);
    return factories_.count(name) != 0;
}

HRESULT ComponentRegistry::Create(const std::string& name, std::unique_ptr<IComponent>& out) const {
    out.reset();
    Factory factory;
    {
        std::lock_guard lock(mutex_);
        auto it = factories_.find(name);
        if (it == factories_.end()) return REGDB_E_CLASSNOTREG;
        factory = it->second;
    }
    if (!factory) return REGDB_E_CLASSNOTREG;
    HRESULT hr = factory(out);
    if (FAILED(hr)) {
        out.reset();
        return hr;
    }
    if (!out) return E_FAIL;
    return hr;
}

}  // namespace brevio

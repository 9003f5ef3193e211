#pragma once
// Name-to-factory registry standing in for creation by ProgID or class id. Each component library
// has a Register...() function that adds its factory; the module calls them all once at start-up
// (static registration objects would be dropped by the linker from static libraries). Tests may
// remove or replace a registration to simulate a missing or failing component.
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "HResult.h"

namespace brevio {

// Every component created through the registry derives from this.
class IComponent {
public:
    virtual ~IComponent() = default;
};

class ComponentRegistry {
public:
    // A factory returns S_OK with a new object, or a failure code with null.
    using Factory = std::function<HRESULT(std::unique_ptr<IComponent>&)>;

    static ComponentRegistry& Instance();

    // Adds or replaces the factory for a name.
    void Register(const std::string& name, Factory factory);
    // Removes a name; creating it afterwards fails with REGDB_E_CLASSNOTREG.
    void Unregister(const std::string& name);
    bool IsRegistered(const std::string& name) const;

    // Creates the component; REGDB_E_CLASSNOTREG when the name is unknown.
    HRESULT Create(const std::string& name, std::unique_ptr<IComponent>& out) const;

    // Creates the component and casts it to the interface T; E_NOINTERFACE when it is not one.
    template <class T>
    HRESULT CreateAs(const std::string& name, std::unique_ptr<T>& out) const {
        out.reset();
        std::unique_ptr<IComponent> object;
        HRESULT hr = Create(name, object);
        if (FAILED(hr)) return hr;
        T* typed = dynamic_cast<T*>(object.get());
        if (typed == nullptr) return E_NOINTERFACE;
        object.release();
        out.reset(typed);
        return S_OK;
    }

private:
    mutable std::mutex mutex_;
    std::unordered_map<std::string, Factory> factories_;
};

}  // namespace brevio

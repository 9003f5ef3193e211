#include "MessageMap.h"

namespace brevio {

void MessageMap::Add(uint32_t message, Handler handler) {
    AddRange(message, message, std::move(handler));
}

void MessageMap::AddRange(uint32_t first, uint32_t last, Handler handler) {
    entries_.push_back({[first, last](uint32_t m, uintptr_t) { return m >= first && m <= last; },
                        std::move(handler)});
}

void MessageMap::AddCommand(uint16_t id, uint16_t code, Handler handler) {
    entries_.push_back({[id, code](uint32_t m, uintptr_t w) {
                            return m == WM_COMMAND && LOWORD(w) == id && HIWORD(w) == code;
                        },
                        std::move(handler)});
}

void MessageMap::AddCommandId(uint16_t id, Handler handler) {
    entries_.push_back(
        {[id](uint32_t m, uintptr_t w) { return m == WM_COMMAND && LOWORD(w) == id; },
         std::move(handler)});
}

void MessageMap::Chain(const MessageMap* other) {
    if (other == nullptr || other == this) return;
    entries_.push_back({{}, {}, other});
}

bool MessageMap::Dispatch(uint32_t message, uintptr_t wParam, intptr_t lParam,
                          LRESULT& result) const {
    for (const Entry& entry : entries_) {
        if (entry.chained != nullptr) {
            if (entry.chained->Dispatch(message, wParam, lParam, result)) return true;
            continue;
        }
        if (!entry.matches(message, wParam) || !entry.handler) continue;
        bool handled = true;
        const LRESULT value = entry.handler(message, wParam, lParam, handled);
        if (handled) {
            result = value;
            return true;
        }
    }
    return false;
}

}  // namespace brevio

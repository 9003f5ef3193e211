#pragma once
// An ordered table from window message to handler. Dispatch tries the entries in the order they
// were added; each matching handler starts with handled = true and may set it to false, which lets
// the search go on with the following entries (and chained maps). When no entry handles the
// message, Dispatch returns false and the window's default processing gets it.
#include <cstdint>
#include <functional>
#include <vector>

#include "window/WindowMessages.h"

namespace brevio {

class MessageMap {
public:
    using Handler =
        std::function<LRESULT(uint32_t message, uintptr_t wParam, intptr_t lParam, bool& handled)>;

    // MESSAGE_HANDLER: one message.
    void Add(uint32_t message, Handler handler);
    // MESSAGE_RANGE_HANDLER: messages first to last, both included.
    void AddRange(uint32_t first, uint32_t last, Handler handler);
    // COMMAND_HANDLER: WM_COMMAND from control `id` with notification `code`.
    void AddCommand(uint16_t id, uint16_t code, Handler handler);
    // COMMAND_ID_HANDLER: WM_COMMAND from control `id`, any notification.
    void AddCommandId(uint16_t id, Handler handler);
    // CHAIN_MSG_MAP: at this position, hand the message to another map (which must outlive this).
    void Chain(const MessageMap* other);

    // Runs the matching handlers in order; true (with `result` set) once one leaves handled true.
    bool Dispatch(uint32_t message, uintptr_t wParam, intptr_t lParam, LRESULT& result) const;

    bool IsEmpty() const { return entries_.empty(); }

private:
    struct Entry {
        std::function<bool(uint32_t, uintptr_t)> matches;
        Handler handler;
        const MessageMap* chained = nullptr;
    };
    std::vector<Entry> entries_;
};

}  // namespace brevio

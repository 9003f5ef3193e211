#pragma once
// The source texts of the messages of translations/brevioedit_en.ts, compiled in from that file
// (cmake/MessageSources.cmake writes them into MessageSources.inc in the build tree). The
// screen-reader texts (ids "a11y.…") and the host application's texts ("host.…") have their
// Chinese only here; the string table keeps its own copy of the numbered ones, which a test
// compares with these.
#include <string_view>

namespace brevio::resources {

struct MessageSourceText {
    std::string_view id;
    std::u16string_view source;
};

inline constexpr MessageSourceText kMessageSources[] = {
#include "MessageSources.inc"
};

// The source text of message `id`; empty when the file has no such message.
constexpr std::u16string_view MessageSource(std::string_view id) {
    for (const MessageSourceText& message : kMessageSources) {
        if (message.id == id) return message.source;
    }
    return {};
}

}  // namespace brevio::resources

#include "engine/FileLocator.h"

#include <string>

#include "engine/impl/Utf8.h"

namespace brevio::engine {

namespace {
// wchar_t is UTF-32 on this platform; paths are stored as UTF-8 bytes.
std::string ToUtf8(const wchar_t* s) {
    std::string out;
    if (!s) return out;
    for (; *s; ++s) {
        uint32_t cp = uint32_t(*s);
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) cp = 0xFFFD;
        AppendUtf8(out, cp);
    }
    return out;
}
}  // namespace

FileLocator::FileLocator(const wchar_t* path) : path_(ToUtf8(path)) {}

}  // namespace brevio::engine

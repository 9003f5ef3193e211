#include "engine/FileLocator.h"

#include <string>

namespace {
// wchar_t is UTF-32 on this platform; paths are stored as UTF-8 bytes.
std::string ToUtf8(const wchar_t* s) {
    std::string out;
    if (!s) return out;
    for (; *s; ++s) {
        uint32_t cp = uint32_t(*s);
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) cp = 0xFFFD;
        if (cp < 0x80) {
            out.push_back(char(cp));
        } else if (cp < 0x800) {
            out.push_back(char(0xC0 | (cp >> 6)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(char(0xE0 | (cp >> 12)));
            out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(char(0xF0 | (cp >> 18)));
            out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}
}  // namespace

FileLocator::FileLocator(const wchar_t* path) : path_(ToUtf8(path)) {}

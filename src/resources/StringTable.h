#pragma once
// The string table of the library: IDs 128 to 165, compiled in. Every user-visible text of the
// windows comes from here (the texts are Chinese (Simplified), language 2052); other languages
// are translations of it, keyed by the same IDs (StringTranslation.h).
#include <cstdint>
#include <string_view>

namespace brevio::resources {

inline constexpr uint32_t kFirstStringId = 128;
inline constexpr uint32_t kLastStringId = 165;
// The language of every resource: Chinese (Simplified).
inline constexpr uint16_t kResourceLanguage = 2052;

// The text of string `id`; empty when the table has no entry for it (an empty entry counts as
// missing, as it does in a Windows string block).
std::u16string_view FindString(uint32_t id);

}  // namespace brevio::resources

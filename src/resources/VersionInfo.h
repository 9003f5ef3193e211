#pragma once
// The version block of the library: file and product version 2.1.0.10; the description, internal
// name, file name and product name fields all read "BrevioEditorDLG".
#include <cstdint>

namespace brevio::resources {

inline constexpr uint16_t kVersion[4] = {2, 1, 0, 10};
inline constexpr const char* kVersionText = "2.1.0.10";
inline constexpr const char* kProductName = "BrevioEditorDLG";

}  // namespace brevio::resources

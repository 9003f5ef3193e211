#pragma once
// What the subcommands that open a movie through the edit document share.

namespace brevio::tool {

// A short explanation of an open result code (3, 4, 5, 7).
const char* DescribeOpenResult(int code);

}  // namespace brevio::tool

#pragma once
// What the subcommands that open a movie through the edit document share.
#include <QString>
#include <string>

namespace brevio::tool {

// A short explanation of an open result code (3, 4, 5, 7).
const char* DescribeOpenResult(int code);

// A command-line path as the document takes it (the file system's own encoding).
QString ToQString(const std::string& path);

}  // namespace brevio::tool

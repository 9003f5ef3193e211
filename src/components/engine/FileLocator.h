#pragma once
#include <filesystem>

namespace brevio::engine {

// Holds the path of a movie file for the engine's constructors and writers.
class FileLocator {
public:
    explicit FileLocator(const wchar_t* path);
    explicit FileLocator(std::filesystem::path path) : path_(std::move(path)) {}

    const std::filesystem::path& GetPath() const { return path_; }
    bool IsEmpty() const { return path_.empty(); }

private:
    std::filesystem::path path_;
};

}  // namespace brevio::engine

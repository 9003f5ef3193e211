#pragma once
// Shared helpers of the edit document tests: movies made by the test-movie library, paths as the
// document takes them, file contents.
#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QString>
#include <filesystem>

#include "testmovies/TestMovies.h"

namespace brevio::test {

inline QString Q(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

// Ten units of one second (30 frames at 29.97 fps) with PCM audio: 10.01 s.
inline testmovies::MovieOptions TenUnits() {
    testmovies::MovieOptions options;
    options.units = 10;
    options.framesPerUnit = 30;
    return options;
}

inline QByteArray FileHash(const std::filesystem::path& path) {
    QFile file(Q(path));
    if (!file.open(QIODevice::ReadOnly)) return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
}

inline bool FileExists(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

}  // namespace brevio::test

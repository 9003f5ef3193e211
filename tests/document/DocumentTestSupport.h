#pragma once
// Shared helpers of the edit document and save tests: movies made by the test-movie library, paths
// as the document takes them, file contents, a receiver of the saved-movie notice.
#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QString>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <thread>

#include "document/CBRVWrapper.h"
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

// Counts the saved-movie notices and keeps the thread of the last one.
class RecordingSink : public IBRVModuleWrapperNotify {
public:
    void OnMovieSaved() override {
        calls.fetch_add(1);
        std::lock_guard lock(mutex);
        thread = std::this_thread::get_id();
    }
    std::atomic<int> calls{0};
    std::mutex mutex;
    std::thread::id thread;
};

}  // namespace brevio::test

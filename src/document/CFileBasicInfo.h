#pragma once
// A snapshot of a file: its path split into folder and name, its size and its last-write time
// (a 64-bit count of 100 ns since 1601-01-01 UTC). Taking a snapshot only reads: a missing file is
// reported, never created.
#include <QString>
#include <cstdint>

namespace brevio {

class CFileBasicInfo {
public:
    CFileBasicInfo() = default;
    virtual ~CFileBasicInfo() = default;

    // Records the file at `path`. A null path clears path, folder and name and sets the size to
    // -1 (true). A file that can't be opened for reading (missing, unreadable, not a regular file)
    // gives false: path, size and time keep their earlier values, folder and name are already
    // those of the new path.
    virtual bool Snapshot(const QString& path);
    virtual QString GetPath() const { return path_; }
    // The folder with its trailing '/'.
    virtual QString GetFolder() const { return folder_; }
    // The name with its extension.
    virtual QString GetFileName() const { return fileName_; }
    virtual int64_t GetSize() const { return size_; }
    // True when something (a file or a folder) exists at the recorded path.
    virtual bool Exists() const;
    virtual int64_t GetLastWriteTime() const { return lastWriteTime_; }

private:
    QString path_;
    QString folder_;
    QString fileName_;
    int64_t size_ = -1;
    int64_t lastWriteTime_ = -1;
};

}  // namespace brevio

#pragma once
// File and path helpers with the meanings the Windows calls give them: sizes and last-write times
// of files, existence, splitting a path into folder and file name, unique temporary files.
// None of them throws, and none creates a file unless its name says so.
#include <QString>
#include <cstdint>

namespace brevio {

// Seconds between 1601-01-01 (the FILETIME epoch) and 1970-01-01.
inline constexpr int64_t kFileTimeEpochOffsetSeconds = 11644473600LL;
inline constexpr int64_t kFileTimeTicksPerSecond = 10000000LL;

struct FileSizeAndTime {
    int64_t size = -1;
    // The last-write time as a FILETIME: 100 ns units since 1601-01-01 UTC.
    int64_t lastWriteTime = -1;
};

// Opens the file for reading (never creating it) and reads its size and last-write time. False
// when it cannot be opened for reading or is not a regular file (a folder, a device, a FIFO).
bool GetFileSizeAndTime(const QString& path, FileSizeAndTime& out);
// A POSIX time (seconds and nanoseconds since 1970) as a FILETIME count.
int64_t FileTimeFromUnix(int64_t seconds, int64_t nanoseconds);

// The bytes of the file name a path shown by Qt stands for. Qt decodes names that are not UTF-8
// lossily (the bad bytes become U+FFFD), so QFile::encodeName alone cannot give them back: each
// element that does not exist as encoded is looked up among its folder's entries, and the one
// entry whose decoded name it is gives its bytes. Elements that match nothing (a new file name)
// are encoded with QFile::encodeName.
QByteArray PathBytes(const QString& path);

// True when something (file or folder) exists at `path`, following symbolic links.
bool PathExists(const QString& path);
// True when any entry has the name `path`, a symbolic link included whatever it points to (or
// not): the test for a name that a new file cannot take.
bool NameExists(const QString& path);
// True when `path` is an existing folder.
bool PathIsDirectory(const QString& path);

// The parts of a path, split as _wsplitpath_s splits it: drive (always empty here), folder with
// its trailing '/', name, and extension with its '.' (from the last '.' of the last element).
struct PathParts {
    QString drive;
    QString folder;
    QString name;
    QString extension;

    QString DriveAndFolder() const { return drive + folder; }
    QString FileName() const { return name + extension; }
};
PathParts SplitPath(const QString& path);

// Removes the last element of `path` as PathRemoveFileSpecW does: "/a/b" -> "/a", "/a" -> "/",
// "a" -> "". False when nothing could be removed ("/" or empty).
bool RemoveFileSpec(QString& path);

// Creates a new empty file named <prefix (first 3 characters)><4 hex digits>.tmp in `folder`
// (with or without a trailing '/'), exclusively (O_EXCL), readable and writable by the user only.
// Returns its full path, or an empty text when no name was free or the folder is unusable.
QString CreateUniqueTempFile(const QString& folder, const QString& prefix);

// Deletes a file (not a folder); false when it could not be deleted.
bool RemoveFile(const QString& path);
// Creates a folder; an existing folder counts as success (a parent that is missing does not).
bool MakeDirectory(const QString& path);

}  // namespace brevio

#pragma once
// The temporary file that a thumbnail view's reference movie is written to: a path in the
// "BrevioEdit" folder of the temporary folder, chosen once, and the file deleted with the object.
#include <QString>

namespace brevio {

class CRefMovFile {
public:
    CRefMovFile() = default;
    CRefMovFile(const CRefMovFile&) = delete;
    CRefMovFile& operator=(const CRefMovFile&) = delete;
    // Deletes the file at the path, whether or not a movie was ever written there.
    virtual ~CRefMovFile();

    // Chooses the path: <temp>/BrevioEdit/BRVxxxx.mov, a name no other file has. The chosen name is
    // reserved by an empty file that the reference movie later replaces. Called again, it keeps the
    // path it has. False when no name could be made; the path then stays empty, and writing a
    // movie to an empty path fails.
    bool MakeTempName();
    QString GetPath() const { return path_; }

private:
    QString path_;
};

}  // namespace brevio

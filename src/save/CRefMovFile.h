#pragma once
// The temporary file that a thumbnail view's reference movie is written to: a name in the user's
// private temporary folder, chosen once, and the file deleted with the object.
//
// The folder is $XDG_RUNTIME_DIR/BrevioEdit when that variable names a folder of this user, else
// <temp>/BrevioEdit-<uid>. It is made 0700 and used only when an opened descriptor shows a real
// folder (no link) owned by this user with no group or other access; names are made and deleted
// relative to that descriptor, so another user can neither read, replace nor plant the files.
#include <QString>
#include <string>

namespace brevio {

class CRefMovFile {
public:
    CRefMovFile() = default;
    CRefMovFile(const CRefMovFile&) = delete;
    CRefMovFile& operator=(const CRefMovFile&) = delete;
    // Deletes the file at the path, whether or not a movie was ever written there.
    virtual ~CRefMovFile();

    // Chooses the path: <private folder>/BRVxxxx.mov, a name no other file has. The chosen name
    // is reserved by an empty file (0600) that the reference movie later replaces. Called again,
    // it keeps the path it has. False when no name could be made, or the folder is missing,
    // shared or someone else's; the path then stays empty, and writing a movie to an empty path
    // fails.
    bool MakeTempName();
    QString GetPath() const { return path_; }

    // The private folder's path as chosen from the environment now (not checked, not made).
    static QString PrivateFolderPath();

private:
    QString path_;
    std::string name_;  // in the folder
    int folder_ = -1;   // the checked folder, open while the object lives
};

}  // namespace brevio

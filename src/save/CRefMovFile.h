#pragma once
// The temporary file that a thumbnail view's reference movie is written to: a name in the user's
// private temporary folder, chosen once, and the file deleted with the object.
//
// The folder is $XDG_RUNTIME_DIR/BrevioEdit when that variable names a folder of this user with
// mode 0700, else <temp>/BrevioEdit-<uid>, else (when another user took that name) a fresh
// <temp>/BrevioEdit-<uid>-XXXXXX removed with the object. It is used only when an opened
// descriptor shows a real folder (no link) owned by this user with no group or other access; the
// movie is created, replaced and deleted relative to that descriptor, and the player reads it
// through the descriptor too (PlayerPath), so another user can neither read, replace nor plant
// the files. The movie is locked (flock) while the object holds it; files that no process holds
// locked, left by an editor that was killed, are removed when a folder is first used.
#include <QString>
#include <string>

#include "platform/HResult.h"

namespace brevio {

class CBRVWrapper;

class CRefMovFile {
public:
    CRefMovFile() = default;
    CRefMovFile(const CRefMovFile&) = delete;
    CRefMovFile& operator=(const CRefMovFile&) = delete;
    // Deletes the file at the path, whether or not a movie was ever written there.
    virtual ~CRefMovFile();

    // Chooses the path: <private folder>/BRVxxxx.mov, a name no other file has. The chosen name
    // is reserved by an empty file (0600, locked) that the reference movie later replaces.
    // Called again, it keeps the path it has. False when no name could be made; the path then
    // stays empty and FailureReason says why.
    bool MakeTempName();
    QString GetPath() const { return path_; }
    // The path the player opens the movie by: through the folder's descriptor (/proc/self/fd),
    // so that no name on the way can be swapped; GetPath() where /proc is not mounted.
    QString PlayerPath() const;

    // Writes the reference movie of the document's current state to the reserved name (making
    // the name first when there is none yet). E_FAIL with FailureReason on failure.
    HRESULT WriteMovie(CBRVWrapper& document);
    // Why MakeTempName or WriteMovie failed last: the folder or file and the system's reason.
    QString FailureReason() const { return reason_; }

    // The private folder's path as chosen from the environment now (not checked, not made).
    static QString PrivateFolderPath();

private:
    bool OpenFolder();
    bool Fail(const QString& what, int number);

    QString path_;
    QString folderPath_;
    std::string name_;      // in the folder
    int folder_ = -1;       // the checked folder, open while the object lives
    int held_ = -1;         // the movie, open and locked
    int freshParent_ = -1;  // the parent of a fresh folder of this object's own, else -1
    std::string freshName_;
    QString reason_;
};

}  // namespace brevio

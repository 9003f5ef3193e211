#pragma once
// Writes movies of an edited Brevio movie: the reference movie (only the movie atom, samples in the
// source file) and the final self-contained movie.
#include "CBrevioMovie.h"
#include "CVarnoMovFile.h"

class CBrevioMovFileEditor {
public:
    explicit CBrevioMovFileEditor(const CVarnoMovFile& file) : file_(file) {}

    // Writes the reference movie of the movie's current state; an existing file at the path is
    // replaced atomically.
    ERROR_CREATEMOVFILE CreateReferenceMovFile(const FileLocator& destination,
                                               const CBrevioMovie* movie) const;

    void SetProgressCallback(BrevioMovFileEditorProgressCallback callback, void* user) {
        callback_ = callback;
        user_ = user;
    }

    // Writes the final movie; the destination is created exclusively (never overwritten). The
    // callback gets message 1 with the fraction done at least at every percent; answering 1
    // cancels. A failed or cancelled write leaves its partial file for the caller to delete.
    ERROR_CREATEMOVFILE CreateNewMovFile(const FileLocator& destination, const CBrevioMovie* movie);

private:
    const CVarnoMovFile& file_;
    BrevioMovFileEditorProgressCallback callback_ = nullptr;
    void* user_ = nullptr;
};

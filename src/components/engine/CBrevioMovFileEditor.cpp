#include "engine/CBrevioMovFileEditor.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <new>
#include <system_error>

#include "engine/impl/EditPlan.h"
#include "engine/impl/FileImpl.h"
#include "engine/impl/MovieImpl.h"
#include "engine/impl/MovieWriter.h"

namespace brevio::engine {

namespace {

// Checks the arguments and plans the movie of the current editing state.
ERROR_CREATEMOVFILE Prepare(const CVarnoMovFile& file, const FileLocator& destination,
                            const CBrevioMovie* movie, OutputMovie& out, SourceFiles& sources) {
    if (!movie || !movie->IsValid() || movie->GetFile() != &file || !file.IsValid() ||
        destination.IsEmpty())
        return CREATEMOVFILE_INVALID_ARGUMENT;
    const CVarnoMovFile::Impl& impl = file.GetImpl();
    auto plan = PlanEditedMovie(impl, movie->GetImpl());
    if (!plan) return CREATEMOVFILE_UNSUPPORTED;
    out = std::move(*plan);
    for (size_t i = 0; i < impl.handles.size(); ++i) {
        sources.handles.push_back(&impl.handles[i]);
        sources.paths.push_back(impl.samples.files[i]);
    }
    return CREATEMOVFILE_OK;
}

}  // namespace

ERROR_CREATEMOVFILE CBrevioMovFileEditor::CreateReferenceMovFile(const FileLocator& destination,
                                                                 const CBrevioMovie* movie) const {
    lastSystemError_ = 0;
    lastError_.clear();
    if (destination.IsEmpty()) return CREATEMOVFILE_INVALID_ARGUMENT;
    std::filesystem::path folder = destination.GetPath().parent_path();
    if (folder.empty()) folder = ".";
    const int fd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        lastSystemError_ = errno;
        lastError_ = "cannot open the destination folder";
        return CREATEMOVFILE_CREATE_FAILED;
    }
    const ERROR_CREATEMOVFILE rc =
        CreateReferenceMovFile(fd, destination.GetPath().filename().string(), movie);
    ::close(fd);
    return rc;
}

ERROR_CREATEMOVFILE CBrevioMovFileEditor::CreateReferenceMovFile(int folder,
                                                                 const std::string& name,
                                                                 const CBrevioMovie* movie,
                                                                 int* lockedFd) const {
    lastSystemError_ = 0;
    lastError_.clear();
    try {
        OutputMovie out;
        SourceFiles sources;
        if (auto rc = Prepare(file_, FileLocator(name), movie, out, sources);
            rc != CREATEMOVFILE_OK)
            return rc;
        if (folder < 0 || name.empty() || name.find('/') != std::string::npos)
            return CREATEMOVFILE_INVALID_ARGUMENT;
        WriteFailure error;
        const ERROR_CREATEMOVFILE rc =
            WriteReferenceMovie(out, sources, folder, name, error, lockedFd);
        lastSystemError_ = error.systemError;
        lastError_ = std::move(error.message);
        return rc;
    } catch (const std::bad_alloc&) {
        lastSystemError_ = ENOMEM;
        return CREATEMOVFILE_OUT_OF_MEMORY;
    }
}

ERROR_CREATEMOVFILE CBrevioMovFileEditor::CreateNewMovFile(const FileLocator& destination,
                                                           const CBrevioMovie* movie) {
    lastSystemError_ = 0;
    lastError_.clear();
    try {
        OutputMovie out;
        SourceFiles sources;
        if (auto rc = Prepare(file_, destination, movie, out, sources); rc != CREATEMOVFILE_OK)
            return rc;
        WriteFailure error;
        const ERROR_CREATEMOVFILE rc =
            WriteFinalMovie(out, sources, destination.GetPath(), Progress{callback_, user_}, error);
        lastSystemError_ = error.systemError;
        lastError_ = std::move(error.message);
        return rc;
    } catch (const std::bad_alloc&) {
        lastSystemError_ = ENOMEM;
        return CREATEMOVFILE_OUT_OF_MEMORY;
    }
}

void CBrevioMovFileEditor::RemovePartialFiles() noexcept {
    engine::RemovePartialFiles();
}

}  // namespace brevio::engine

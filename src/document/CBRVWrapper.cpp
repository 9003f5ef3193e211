#include "CBRVWrapper.h"

#include <unistd.h>
#include <QFile>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>
#include <utility>

#include "document/TickTime.h"
#include "engine/CBrevioMovFileEditor.h"
#include "engine/CBrevioMovie.h"
#include "engine/CVarnoMovFile.h"
#include "engine/CVarnoMovie.h"
#include "engine/FileLocator.h"
#include "interfaces/ISaveProgress.h"
#include "platform/FileHelpers.h"
#include "resources/StringIds.h"
#include "resources/StringTranslation.h"

namespace brevio {

using namespace brevio::engine;

namespace {

// The path's bytes, those of existing names that Qt could not decode included.
std::filesystem::path ToPath(const QString& path) {
    return std::filesystem::path(PathBytes(path).toStdString());
}

}  // namespace

CBRVWrapper::CBRVWrapper() = default;

CBRVWrapper::~CBRVWrapper() {
    // A worker left running by a cancelled save uses the movie and the file.
    WaitForSave();
    Close();
}

// ---------------------------------------------------------------------------------------------
// Opening and the scene table

int32_t CBRVWrapper::Open(const QString& path) {
    if (path.isNull()) {
        openError_.clear();
        Close();
        return 0;
    }
    return Open(ToPath(path));
}

int32_t CBRVWrapper::Open(const std::filesystem::path& path) {
    openError_.clear();
    const auto fail = [this](int32_t code, const std::string& why) {
        openError_ = why;
        return code;
    };
    std::unique_ptr<CVarnoMovFile> file;
    std::unique_ptr<CBrevioMovie> movie;  // declared after the file: released before it
    try {
        file = std::make_unique<CVarnoMovFile>(FileLocator(path));
    } catch (const std::bad_alloc&) {
        return fail(BRVDLG_FAILURE, "out of memory while reading the movie");
    } catch (const std::exception& e) {
        return fail(BRVDLG_INVALID_FILE, e.what());
    }
    if (file->GetOpenResult() == VARNOMOVFILE_OPEN_OUT_OF_MEMORY)
        return fail(BRVDLG_FAILURE, "out of memory while reading the movie");
    if (!file->IsValid()) {
        return fail(BRVDLG_INVALID_FILE,
                    file->GetError().empty() ? "invalid movie file" : file->GetError());
    }
    try {
        movie = std::make_unique<CBrevioMovie>(file.get());
    } catch (const std::bad_alloc&) {
        return fail(BRVDLG_FAILURE, "out of memory while reading the units");
    } catch (const std::exception& e) {
        return fail(BRVDLG_NOT_BREVIO_MOVIE, e.what());
    }
    if (movie->GetOpenResult() == VARNOMOVFILE_OPEN_OUT_OF_MEMORY)
        return fail(BRVDLG_FAILURE, "out of memory while reading the units");
    if (!movie->IsValid()) {
        return fail(BRVDLG_NOT_BREVIO_MOVIE,
                    movie->GetError().empty() ? "not a Brevio movie" : movie->GetError());
    }

    const int32_t timeScale = movie->GetTimeScale();
    // The engine promises a time scale above zero; never divide by anything else.
    if (timeScale <= 0) return fail(BRVDLG_INVALID_FILE, "the movie has no time scale");
    const int64_t totalTicks = ToTicks(movie->GetTotalDuration(), timeScale);
    const CVarnoMovie* structure = file->GetVarnoMovie();
    if (structure != nullptr && structure->HasChapter()) {
        if (structure->GetChapterCount() <= 1) {
            return fail(BRVDLG_TOO_SHORT, "a chapter movie needs at least two chapters");
        }
    } else if (totalTicks <= kShortestMovieTicks) {
        return fail(BRVDLG_TOO_SHORT, "the movie must be longer than 4.004 seconds");
    }

    Close();
    file_ = std::move(file);
    movie_ = std::move(movie);
    unitDuration_ = movie_->GetShootingUnitCount() >= 2
                        ? ToTicks(movie_->GetShootingUnit(1).GetOriginalStartTime(), timeScale)
                        : totalTicks;
    try {
        RecordEditingState();
    } catch (const std::bad_alloc&) {
        Close();
        return fail(BRVDLG_FAILURE, "out of memory");
    }
    return 0;
}

int32_t CBRVWrapper::Close() {
    WaitForSave();
    history_.clear();
    cursor_ = 0;
    movie_.reset();
    file_.reset();
    unitDuration_ = 0;
    return 0;
}

unsigned CBRVWrapper::GetUnitCount() const {
    return movie_ != nullptr ? movie_->GetShootingUnitCount() : 0;
}

HRESULT CBRVWrapper::GetUnitStartTime(unsigned index, int64_t* ticks) const {
    if (ticks == nullptr) return E_POINTER;
    if (movie_ == nullptr || index >= movie_->GetShootingUnitCount()) return E_FAIL;
    *ticks = ToTicks(movie_->GetShootingUnit(index).GetCurrentStartTime(), movie_->GetTimeScale());
    return S_OK;
}

HRESULT CBRVWrapper::GetTotalTime(int64_t* ticks) const {
    if (ticks == nullptr) return E_POINTER;
    if (movie_ == nullptr) return S_FALSE;
    *ticks = ToTicks(movie_->GetTotalDuration(), movie_->GetTimeScale());
    return S_OK;
}

HRESULT CBRVWrapper::GetUnitIndexAtTime(int64_t ticks, unsigned* index) const {
    if (index == nullptr) return E_POINTER;
    int64_t total = 0;
    if (GetTotalTime(&total) != S_OK) return E_FAIL;
    if (ticks > total) return E_FAIL;
    // A second unit starting at 0 gives no unit length: fail rather than divide by it.
    if (unitDuration_ <= 0) return E_FAIL;
    *index = static_cast<unsigned>(static_cast<uint64_t>(ticks / unitDuration_) & 0xFFFFFFFFu);
    return S_OK;
}

bool CBRVWrapper::IsEdited() const {
    return movie_ != nullptr && movie_->IsEdited();
}

HRESULT CBRVWrapper::SetNotifySink(IBRVModuleWrapperNotify* sink) {
    if (sink == nullptr) return S_FALSE;
    notify_.store(sink);
    return S_OK;
}

void CBRVWrapper::SetMessageCaption(const QString* caption) {
    messageCaption_ = resources::CaptionOrDefault(caption);
}

// ---------------------------------------------------------------------------------------------
// History

void CBRVWrapper::RecordEditingState() {
    if (movie_ == nullptr) return;
    if (!history_.empty())
        history_.erase(history_.begin() + static_cast<ptrdiff_t>(cursor_) + 1, history_.end());
    std::vector<unsigned> state;
    ReadEditingState(state);
    history_.push_back(std::move(state));
    cursor_ = history_.size() - 1;
}

HRESULT CBRVWrapper::ReadEditingState(std::vector<unsigned>& state) const {
    state.clear();
    if (movie_ == nullptr) return S_FALSE;
    state.reserve(movie_->GetShootingUnitCount());
    movie_->GetEditingState(state);
    return S_OK;
}

HRESULT CBRVWrapper::CutUnits(std::vector<unsigned> units) {
    if (movie_ == nullptr) return E_FAIL;
    if (units.empty()) return E_INVALIDARG;
    // Only the last index is checked: the caller passes distinct ascending indexes. At least one
    // unit always stays.
    const unsigned count = movie_->GetShootingUnitCount();
    if (units.back() >= count || units.size() >= count) return E_INVALIDARG;
    WaitForSave();
    HistoryMark mark;
    try {
        mark = MarkHistory();
    } catch (const std::exception&) {
        return E_FAIL;
    }
    bool removed = true;
    try {
        // Last first, so that every removal leaves the indexes still to be removed valid.
        for (auto it = units.rbegin(); removed && it != units.rend(); ++it) {
            removed = movie_->RemoveShootingUnit(*it);
        }
        if (removed) RecordEditingState();
    } catch (const std::exception&) {
        removed = false;
    }
    if (removed) return S_OK;
    RestoreHistory(std::move(mark));
    return E_FAIL;
}

HRESULT CBRVWrapper::RestoreHistory(HistoryMark mark) {
    if (movie_ == nullptr || mark.cursor >= mark.states.size()) return E_FAIL;
    WaitForSave();
    try {
        if (!movie_->SetEditingState(mark.states[mark.cursor])) return E_FAIL;
    } catch (const std::exception&) {
        return E_FAIL;
    }
    history_ = std::move(mark.states);
    cursor_ = mark.cursor;
    return S_OK;
}

HRESULT CBRVWrapper::Undo() {
    if (movie_ == nullptr || history_.empty() || cursor_ == 0) return E_FAIL;
    WaitForSave();
    --cursor_;
    try {
        return movie_->SetEditingState(history_[cursor_]) ? S_OK : E_FAIL;
    } catch (const std::exception&) {
        return E_FAIL;
    }
}

HRESULT CBRVWrapper::Redo() {
    if (movie_ == nullptr || history_.empty() || cursor_ + 1 >= history_.size()) return E_FAIL;
    WaitForSave();
    ++cursor_;
    try {
        return movie_->SetEditingState(history_[cursor_]) ? S_OK : E_FAIL;
    } catch (const std::exception&) {
        return E_FAIL;
    }
}

bool CBRVWrapper::CanUndo() const {
    return !history_.empty() && cursor_ > 0;
}

bool CBRVWrapper::CanRedo() const {
    return !history_.empty() && cursor_ + 1 < history_.size();
}

// ---------------------------------------------------------------------------------------------
// Writing

HRESULT CBRVWrapper::CreateReferenceMovie(const QString& path) {
    if (path.isNull()) return E_POINTER;
    if (movie_ == nullptr || path.isEmpty()) return E_FAIL;
    WaitForSave();
    try {
        const CBrevioMovFileEditor editor(*file_);
        const FileLocator locator(ToPath(path));
        return editor.CreateReferenceMovFile(locator, movie_.get()) == CREATEMOVFILE_OK ? S_OK
                                                                                        : E_FAIL;
    } catch (const std::exception&) {
        return E_FAIL;
    }
}

HRESULT CBRVWrapper::CreateReferenceMovie(int folder, const std::string& name, int* lockedFd) {
    referenceReason_.clear();
    if (movie_ == nullptr || lockedFd == nullptr) return E_FAIL;
    WaitForSave();
    try {
        const CBrevioMovFileEditor editor(*file_);
        const ERROR_CREATEMOVFILE rc =
            editor.CreateReferenceMovFile(folder, name, movie_.get(), lockedFd);
        if (rc == CREATEMOVFILE_OK) return S_OK;
        referenceReason_ =
            editor.GetLastSystemError() != 0
                ? QString::fromLocal8Bit(std::strerror(editor.GetLastSystemError()))
                : QString::fromStdString(editor.GetLastError().empty() ? "cannot be written"
                                                                       : editor.GetLastError());
        return E_FAIL;
    } catch (const std::exception&) {
        return E_FAIL;
    }
}

void CBRVWrapper::PrepareSave(const std::filesystem::path& path, ISaveProgress* progress) {
    // One save at a time: the worker of an earlier (cancelled) save must have ended before its
    // flag, its destination and its progress receiver are reused.
    WaitForSave();
    destination_ = path;
    continueFlag_.store(kContinue);
    progress_ = progress;
    lastPosition_ = -1;
    saveResult_.store(0);
    writeResult_.store(-1);
    writeSystemError_ = 0;
    writeError_.clear();
}

void CBRVWrapper::PrepareSave(const QString& path, ISaveProgress& progress) {
    PrepareSave(ToPath(path), &progress);
}

int CBRVWrapper::SettleSave(int endCode) {
    // A cancel no longer counts once the worker has kept a completed write.
    if (endCode != kSaveWritten && endCode != kSaveFailed && CancelSave()) return kSaveCancelled;
    WaitForSave();
    return saveResult_.load();
}

QString CBRVWrapper::LastWriteReason() const {
    if (writeSystemError_ != 0) return QString::fromLocal8Bit(std::strerror(writeSystemError_));
    // Failures of no system call say why in the user's language too.
    if (destination_.empty()) return resources::TranslatedString(ids::kNoOutputName);
    switch (writeResult_.load()) {
        case CREATEMOVFILE_SOURCE_CHANGED:
            return resources::TranslatedString(ids::kSourceChangedWhileSaving);
        case CREATEMOVFILE_READ_FAILED:
            return resources::TranslatedString(ids::kSourceEndedEarly);
        default:
            return resources::TranslatedString(ids::kMovieNotWritable);
    }
}

HRESULT CBRVWrapper::SaveWithProgress(const QString& path, ISaveProgress& progress) {
    if (path.isNull()) return E_POINTER;
    return SaveWithProgress(ToPath(path), progress);
}

HRESULT CBRVWrapper::SaveWithProgress(const std::filesystem::path& path, ISaveProgress& progress) {
    if (movie_ == nullptr) return S_OK;
    PrepareSave(path, &progress);
    if (!Start()) return E_FAIL;
    WaitForSave();
    return saveResult_.load() == kSaveWritten ? S_OK : E_FAIL;
}

bool CBRVWrapper::CancelSave() {
    int32_t expected = kContinue;
    if (continueFlag_.compare_exchange_strong(expected, kCancelled)) return true;
    return expected != kCommitted;
}

int CBRVWrapper::ProgressPosition(double fraction) {
    const double percent = fraction * 100.0;
    if (!(percent > 0.0)) return 0;  // NaN included
    if (percent >= 100.0) return 100;
    return static_cast<int>(percent);
}

EBrevioMovFileEditorProgressCallbackResult CBRVWrapper::SaveProgressCallback(
    EBrevioMovFileEditorProgressCallbackMessage message, double fraction, void* user) {
    auto* self = static_cast<CBRVWrapper*>(user);
    if (self == nullptr) return BrevioMovFileEditorCancel;
    if (message == BrevioMovFileEditorCommit) {
        // The save's one commit point: either the cancel came first and nothing is named, or the
        // movie is named and a later cancel no longer counts.
        int32_t expected = kContinue;
        return self->continueFlag_.compare_exchange_strong(expected, kCommitted) ||
                       expected == kCommitted
                   ? BrevioMovFileEditorContinue
                   : BrevioMovFileEditorCancel;
    }
    if (message == BrevioMovFileEditorProgress) {
        // Reported only when the bar moves, so that the UI thread's queue stays short.
        const int position = ProgressPosition(fraction);
        if (position != self->lastPosition_) {
            self->lastPosition_ = position;
            if (self->progress_ != nullptr) self->progress_->OnSaveProgress(position);
        }
    }
    return self->continueFlag_.load() < kContinue ? BrevioMovFileEditorCancel
                                                  : BrevioMovFileEditorContinue;
}

uint32_t CBRVWrapper::Run() {
    saveResult_.store(RunSave());
    return 0;
}

int CBRVWrapper::RunSave() {
    const std::filesystem::path destination = destination_;
    bool written = false;
    // The engine names the movie only when it is whole and on the disk, and only after the
    // progress callback agreed to commit (see SaveProgressCallback): a failed or cancelled write
    // leaves nothing, and nothing is ever removed here.
    if (movie_ != nullptr && file_ != nullptr && !destination.empty()) {
        try {
            CBrevioMovFileEditor editor(*file_);
            editor.SetProgressCallback(&CBRVWrapper::SaveProgressCallback, this);
            const FileLocator locator(destination);
            const ERROR_CREATEMOVFILE result = editor.CreateNewMovFile(locator, movie_.get());
            writeSystemError_ = editor.GetLastSystemError();
            writeError_ = editor.GetLastError();
            writeResult_.store(result);
            written = result == CREATEMOVFILE_OK;
        } catch (...) {
            written = false;
        }
    } else if (destination.empty()) {
        writeError_ = "no output name";
    }
    const bool cancelled = !written && continueFlag_.load() < kContinue;

    if (!cancelled && progress_ != nullptr)
        progress_->OnSaveEnded(written ? kSaveWritten : kSaveFailed);
    if (written) {
        if (IBRVModuleWrapperNotify* sink = notify_.load()) {
            try {
                sink->OnMovieSaved();
            } catch (...) {
                // The file is written; a receiver's failure must not end the process here.
            }
        }
        return kSaveWritten;
    }
    return cancelled ? kSaveCancelled : kSaveFailed;
}

}  // namespace brevio

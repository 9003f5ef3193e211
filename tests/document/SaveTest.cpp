// Saving the edited movie through the document's own calls: a progress receiver instead of a
// dialog, cancels from it, and the reference movie.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "DocumentTestSupport.h"
#include "document/CBRVWrapper.h"
#include "engine/CBrevioMovie.h"
#include "engine/CVarnoMovFile.h"
#include "engine/impl/DurableFile.h"
#include "interfaces/ISaveProgress.h"
#include "resources/StringIds.h"
#include "resources/StringTranslation.h"

using namespace brevio::engine;

namespace brevio {
namespace {

using test::FileExists;
using test::Q;
namespace fs = std::filesystem;

class Save : public ::testing::Test {
protected:
    void SetUp() override {
        source = testmovies::MakeMovie(test::TenUnits());
        ASSERT_EQ(document->Open(Q(source)), 0);
        ASSERT_EQ(document->CutUnits({3}), S_OK);
    }
    fs::path source;
    testmovies::TempDir dir{"doc-save"};
    std::unique_ptr<CBRVWrapper> document = std::make_unique<CBRVWrapper>();
    test::RecordingSink sink;
};

// A progress receiver for saves without a dialog.
class RecordingProgress : public ISaveProgress {
public:
    void OnSaveProgress(int position) override {
        std::lock_guard lock(mutex);
        positions.push_back(position);
        threads.push_back(std::this_thread::get_id());
        if (cancelAt >= 0 && position >= cancelAt && document != nullptr) document->CancelSave();
    }
    void OnSaveEnded(int code) override {
        std::lock_guard lock(mutex);
        ends.push_back(code);
        if (cancelAtEnd && document != nullptr) cancelAccepted = document->CancelSave();
    }
    std::mutex mutex;
    std::vector<int> positions;
    std::vector<std::thread::id> threads;
    std::vector<int> ends;
    int cancelAt = -1;
    bool cancelAtEnd = false;
    bool cancelAccepted = true;
    CBRVWrapper* document = nullptr;
};

TEST_F(Save, WithoutDialogProgressIsCoalescedAndComesFromTheWorker) {
    RecordingProgress progress;
    ASSERT_EQ(document->SetNotifySink(&sink), S_OK);
    const fs::path destination = dir / "console.mov";
    EXPECT_EQ(document->SaveWithProgress(Q(destination), progress), S_OK);
    ASSERT_FALSE(progress.positions.empty());
    EXPECT_EQ(progress.positions.back(), 100);
    for (size_t i = 1; i < progress.positions.size(); ++i)
        EXPECT_GT(progress.positions[i], progress.positions[i - 1]);
    for (const auto& id : progress.threads) EXPECT_NE(id, std::this_thread::get_id());
    EXPECT_EQ(progress.ends, std::vector<int>{kSaveWritten});
    EXPECT_EQ(sink.calls.load(), 1);
    EXPECT_EQ(testmovies::FfprobeErrors(destination), "");

    // Messages other than progress move nothing, but still answer the cancel.
    const size_t reported = progress.positions.size();
    const auto other = static_cast<EBrevioMovFileEditorProgressCallbackMessage>(2);
    EXPECT_EQ(CBRVWrapper::SaveProgressCallback(other, 0.3, document.get()),
              BrevioMovFileEditorContinue);
    EXPECT_EQ(progress.positions.size(), reported);
    EXPECT_EQ(CBRVWrapper::SaveProgressCallback(BrevioMovFileEditorProgress, 0.3, document.get()),
              BrevioMovFileEditorContinue);
    EXPECT_EQ(progress.positions.size(), reported + 1);
    EXPECT_EQ(progress.positions.back(), 30);
}

TEST_F(Save, WithoutDialogACancelHalfWayRemovesThePartialFile) {
    RecordingProgress progress;
    progress.cancelAt = 50;
    progress.document = document.get();
    ASSERT_EQ(document->SetNotifySink(&sink), S_OK);
    const fs::path destination = dir / "cancelled.mov";
    EXPECT_EQ(document->SaveWithProgress(Q(destination), progress), E_FAIL);
    EXPECT_EQ(document->LastSaveResult(), kSaveCancelled);
    EXPECT_FALSE(FileExists(destination));
    EXPECT_TRUE(progress.ends.empty());
    EXPECT_EQ(sink.calls.load(), 0);
    ASSERT_FALSE(progress.positions.empty());
    EXPECT_LT(progress.positions.back(), 100);

    const auto other = static_cast<EBrevioMovFileEditorProgressCallbackMessage>(2);
    EXPECT_EQ(CBRVWrapper::SaveProgressCallback(other, 0.9, document.get()),
              BrevioMovFileEditorCancel);
}

TEST_F(Save, ACancelAfterTheWriteWasKeptChangesNothing) {
    RecordingProgress progress;
    progress.cancelAtEnd = true;
    progress.document = document.get();
    const fs::path destination = dir / "kept.mov";
    EXPECT_EQ(document->SaveWithProgress(Q(destination), progress), S_OK);
    EXPECT_FALSE(progress.cancelAccepted);
    EXPECT_TRUE(FileExists(destination));
}

// A cancel that comes once the movie is named, while another program puts its own file under
// the name: the save counts as written and nothing is removed, neither the movie (under the name
// it was moved to) nor the other program's file.
TEST_F(Save, ACancelAfterTheCommitPointRemovesNothing) {
    static CBRVWrapper* saving = nullptr;
    static fs::path named, moved, others;
    static bool cancelAccepted = true;
    saving = document.get();
    named = dir / "late.mov";
    moved = dir / "moved.mov";
    others = dir / "others.mov";
    std::ofstream(others) << "another program's file";
    DurableFileHooks& hooks = TestHooks();
    hooks.afterNaming = [] {
        cancelAccepted = saving->CancelSave();
        fs::rename(named, moved);
        fs::rename(others, named);
    };
    RecordingProgress progress;
    const HRESULT result = document->SaveWithProgress(Q(named), progress);
    hooks.afterNaming = nullptr;
    EXPECT_EQ(result, S_OK);
    EXPECT_FALSE(cancelAccepted);
    EXPECT_EQ(document->LastSaveResult(), kSaveWritten);
    EXPECT_EQ(progress.ends, std::vector<int>{kSaveWritten});
    std::ifstream in(named);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "another program's file");
    EXPECT_EQ(testmovies::FfprobeErrors(moved), "");
}

// Failures that no system call reports still say why: no output name, a source rewritten in
// place while it was copied (then nothing is named).
TEST_F(Save, EveryFailureSaysWhy) {
    RecordingProgress progress;
    EXPECT_EQ(document->SaveWithProgress(fs::path(), progress), E_FAIL);
    EXPECT_EQ(document->LastWriteReason(), resources::TranslatedString(ids::kNoOutputName));

    // A source of this test's own, which another program rewrites in place half-way.
    const fs::path own = dir / "own-source.mov";
    fs::copy_file(source, own);
    ASSERT_EQ(document->Open(Q(own)), 0);
    ASSERT_EQ(document->CutUnits({3}), S_OK);
    struct Overwriting : RecordingProgress {
        void OnSaveProgress(int position) override {
            if (position >= 50 && !done) {
                std::fstream file(source, std::ios::in | std::ios::out | std::ios::binary);
                file.seekp(std::streamoff(fs::file_size(source) / 2));
                file << "other bytes";
                done = true;
            }
        }
        fs::path source;
        bool done = false;
    } overwriting;
    overwriting.source = own;
    const fs::path destination = dir / "changed.mov";
    EXPECT_EQ(document->SaveWithProgress(destination, overwriting), E_FAIL);
    EXPECT_TRUE(overwriting.done);
    EXPECT_EQ(document->LastWriteResult(), CREATEMOVFILE_SOURCE_CHANGED);
    EXPECT_EQ(document->LastWriteReason(),
              resources::TranslatedString(ids::kSourceChangedWhileSaving));
    EXPECT_FALSE(FileExists(destination));
}

TEST(SaveProgress, FractionsBecomeBarPositions) {
    EXPECT_EQ(CBRVWrapper::ProgressPosition(0.0), 0);
    EXPECT_EQ(CBRVWrapper::ProgressPosition(0.505), 50);
    EXPECT_EQ(CBRVWrapper::ProgressPosition(1.0), 100);
    EXPECT_EQ(CBRVWrapper::ProgressPosition(0.999), 99);
    EXPECT_EQ(CBRVWrapper::ProgressPosition(1.5), 100);
    EXPECT_EQ(CBRVWrapper::ProgressPosition(-0.2), 0);
    EXPECT_EQ(CBRVWrapper::ProgressPosition(std::nan("")), 0);
    EXPECT_EQ(CBRVWrapper::SaveProgressCallback(BrevioMovFileEditorProgress, 0.5, nullptr),
              BrevioMovFileEditorCancel);
}

TEST_F(Save, ReferenceMovie) {
    const fs::path reference = dir / "ref.mov";
    EXPECT_EQ(document->CreateReferenceMovie(QString()), E_POINTER);
    EXPECT_EQ(document->CreateReferenceMovie(QStringLiteral("")), E_FAIL);
    EXPECT_EQ(document->CreateReferenceMovie(Q(dir / "no-such-folder" / "ref.mov")), E_FAIL);
    CBRVWrapper closed;
    EXPECT_EQ(closed.CreateReferenceMovie(Q(reference)), E_FAIL);
    EXPECT_FALSE(FileExists(reference));

    ASSERT_EQ(document->CreateReferenceMovie(Q(reference)), S_OK);
    const auto unitsOf = [&] {
        CVarnoMovFile file(FileLocator(reference), CVarnoMovFile::Purpose::Playback);
        if (!file.IsValid()) return -1;
        CBrevioMovie movie(&file);
        return movie.IsValid() ? int(movie.GetShootingUnitCount()) : -2;
    };
    EXPECT_EQ(unitsOf(), 9);
    // Every rewrite replaces the same file.
    ASSERT_EQ(document->CutUnits({0, 1}), S_OK);
    ASSERT_EQ(document->CreateReferenceMovie(Q(reference)), S_OK);
    EXPECT_EQ(unitsOf(), 7);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace brevio

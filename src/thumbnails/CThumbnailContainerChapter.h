#pragma once
// The thumbnail pane of a movie with chapters: the pane of the shooting-unit kind around a chapter
// strip (CThumbnailWndChapter). The selected-seconds list is hidden and its label empty, since a
// selection is always one chapter; the strip stays while the movie plays and follows the playing
// chapter. UI thread only.
#include <cstdint>
#include <memory>

#include "thumbnails/CThumbnailContainer.h"

namespace brevio {

class CThumbnailContainerChapter : public CThumbnailContainer {
    Q_OBJECT

public:
    explicit CThumbnailContainerChapter(QWidget* parent = nullptr);
    ~CThumbnailContainerChapter() override;

    // The strip stays and Cut scene keeps its state.
    void OnPlaybackStarted() override {}
    // Selects the playing chapter and scrolls it into view.
    void OnPlayingPosition(int64_t ticks) override;

protected:
    LRESULT OnCreate() override;
    // Cut scene is enabled while more than one chapter remains.
    void RefreshSelectionControls() override;
    // A chapter strip that knows the preview before its document opens.
    std::unique_ptr<CThumbnailWnd> MakeView() override;
};

}  // namespace brevio

#pragma once
// The player's seek bar: a wide, low strip showing where playback stands in the movie. Pressing,
// dragging and releasing the left button report positions in ticks. It takes the focus by Tab:
// Left and Right then move by a second, Page Up and Page Down to the previous and the next scene
// (as `pageTarget` finds them, else ten seconds), Home and End to the start and the end, each as a
// press and a release at the new position; Space asks for play or pause. To accessibility it is a
// slider whose value is the position, "0:17 of 0:48".
#include <QWidget>
#include <cstdint>
#include <functional>

namespace brevio::player {

class SeekBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int64_t kTicksPerSecond = 10'000'000;

    explicit SeekBar(QWidget* parent = nullptr);

    void SetDuration(int64_t ticks);
    void SetValue(int64_t ticks);
    int64_t Value() const { return value_; }
    int64_t Duration() const { return duration_; }
    bool IsDragging() const { return dragging_; }
    // The movie position under an x coordinate of the bar.
    int64_t PositionAt(int x) const;
    // The position as a screen reader reads it.
    QString ValueText() const;

    std::function<void(int64_t)> onPressed;
    std::function<void(int64_t)> onDragged;
    std::function<void(int64_t)> onReleased;
    std::function<void()> onPlayPauseKey;
    // The start of the scene before (direction -1) or after (+1) a position.
    std::function<int64_t(int64_t position, int direction)> pageTarget;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // A press and a release at `ticks`, as a click there would make.
    void SeekByKey(int64_t ticks);
    // Moves the handle to `ticks`: repainted, and a screen reader told when the second changes.
    void MoveValue(int64_t ticks);

    int64_t duration_ = 0;
    int64_t value_ = 0;
    bool dragging_ = false;
};

}  // namespace brevio::player

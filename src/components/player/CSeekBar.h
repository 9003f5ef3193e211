#pragma once
// The player's seek bar: a wide, low strip showing where playback stands in the movie. Pressing,
// dragging and releasing the left button report positions in ticks.
#include <QWidget>
#include <cstdint>
#include <functional>

namespace brevio::player {

class CSeekBar : public QWidget {
    Q_OBJECT
public:
    explicit CSeekBar(QWidget* parent = nullptr);

    void SetDuration(int64_t ticks);
    void SetValue(int64_t ticks);
    int64_t Value() const { return value_; }
    bool IsDragging() const { return dragging_; }
    // The movie position under an x coordinate of the bar.
    int64_t PositionAt(int x) const;

    std::function<void(int64_t)> onPressed;
    std::function<void(int64_t)> onDragged;
    std::function<void(int64_t)> onReleased;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int64_t duration_ = 0;
    int64_t value_ = 0;
    bool dragging_ = false;
};

}  // namespace brevio::player

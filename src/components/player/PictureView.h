#pragma once
// The player's picture: paints the latest frame the worker delivered, black before any. Screen
// readers find it as an image named "Movie picture" and described by the position it shows.
#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>

namespace brevio::player {

class PictureView : public QWidget {
    Q_OBJECT
public:
    explicit PictureView(QWidget* parent = nullptr);
    // A null picture paints black.
    void SetPicture(QImage picture);
    const QImage& Picture() const { return picture_; }
    // Where the picture stands in the movie, for its description (ticks of 100 ns).
    void SetPosition(int64_t position, int64_t duration);
    // "The picture at 0:17 of 0:48", or that there is no picture yet, in the user's language.
    QString Description() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Tells screen readers when the description's text changes (whole seconds only).
    void Describe();

    QImage picture_;
    int64_t position_ = 0;
    int64_t duration_ = 0;
    QString described_;
};

}  // namespace brevio::player

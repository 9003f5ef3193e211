#pragma once
// The player's picture: paints the latest frame the worker delivered, black before any.
#include <QImage>
#include <QWidget>

namespace brevio::player {

class PictureView : public QWidget {
    Q_OBJECT
public:
    explicit PictureView(QWidget* parent = nullptr);
    // A null picture paints black.
    void SetPicture(QImage picture);
    const QImage& Picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
};

}  // namespace brevio::player

#pragma once
// The modal editing dialog. It owns the content window, decides the call's result code, asks
// before unsaved edits are thrown away, and ends when a pane asks it to.
#include <QString>
#include <cstdint>

#include "dialog/CBaseWindow.h"
#include "platform/HResult.h"
#include "window/DialogBase.h"

namespace brevio {

class CBRVDialog : public DialogBase {
    Q_OBJECT

public:
    explicit CBRVDialog(QWidget* parent = nullptr);
    ~CBRVDialog() override;

    int32_t Open(const QString& path) { return content_.Open(path); }
    // Null or empty selects ids::kCaption for the title; the panes get the argument unchanged.
    void SetCaption(const QString* caption);
    void SetPlayerValue(int32_t value) { content_.SetPlayerValue(value); }
    void SetStartPosition(int64_t ticks) { content_.SetStartPosition(ticks); }

    int32_t GetResult() const { return result_; }
    // True once an end request has been accepted (the result is then final).
    bool IsEnding() const { return ending_; }
    HRESULT GetSavedPath(QString* path) const;
    HRESULT GetPlayerValue(int32_t* value) const;

    CBaseWindow& Content() { return content_; }
    const QString& Caption() const { return caption_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // A window manager frames the window after it is shown: the frame's extents arrive later,
    // with a move of the client area into the frame.
    void moveEvent(QMoveEvent* event) override;

private:
    LRESULT OnInitDialog();
    LRESULT OnCloseRequest(int32_t code);
    // Gives the dialog its outer size: `size` including the frame, once the frame is known.
    void ApplyOuterSize();

    int32_t result_ = 0;
    QString caption_;
    int32_t playerValueAtClose_ = 0;
    bool ending_ = false;
    bool asking_ = false;  // the unsaved-edits question is open
    QSize outerSize_;
    QSize frameSeen_{0, 0};  // the frame's size when the outer size was last corrected
    CBaseWindow content_;
};

}  // namespace brevio

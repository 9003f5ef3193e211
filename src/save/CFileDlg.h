#pragma once
// The system's file dialog: a non-native QFileDialog (the same on every platform, also under the
// offscreen platform) whose notifications become overridable operations:
//   OnInitDone      once the dialog is shown (followed by OnFolderChange for its first folder);
//   OnFolderChange  the user entered another folder;
//   OnSelChange     the current item of the file list changed;
//   OnTypeChange    the user chose another filter;
//   OnFileOK        the user confirmed a file name; a non-zero result keeps the dialog open.
// Each dialog object dispatches to itself; no module-wide state is involved, so any number of
// dialogs may exist one after another or nested.
#include <QFileDialog>
#include <QString>
#include <cstdint>

namespace brevio {

// The flags of the common file dialog that mean something here.
inline constexpr uint32_t OFN_OVERWRITEPROMPT = 0x2;
inline constexpr uint32_t OFN_HIDEREADONLY = 0x4;
inline constexpr uint32_t OFN_ENABLEHOOK = 0x20;
inline constexpr uint32_t OFN_FILEMUSTEXIST = 0x1000;
inline constexpr uint32_t OFN_EXPLORER = 0x80000;
inline constexpr uint32_t OFN_ENABLESIZING = 0x800000;
// Always added to the caller's flags.
inline constexpr uint32_t kFileDlgBaseFlags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_ENABLEHOOK;

class CFileDlg : public QFileDialog {
    Q_OBJECT

public:
    // `filter` in the "description|pattern|...|" form, or null for none; `flags` are added to
    // kFileDlgBaseFlags.
    CFileDlg(QWidget* owner, const QString& title, const QString* filter, uint32_t flags);
    ~CFileDlg() override;

    // "Text|*.ext|Other|*.a;*.b||": pairs of description and patterns. Any length is kept.
    void SetFilter(const QString& text);
    // The initial name in the name field. Any length is kept.
    void SetFileName(const QString& text);
    // The extension (without its '.') added to a chosen name unless the name already ends with
    // it, in any case: "Trip 2024.06.01" becomes "Trip 2024.06.01.mov", "a.MOV" stays.
    void SetDefaultExtension(const QString& text);
    uint32_t GetFlags() const { return flags_; }
    void SetFlags(uint32_t flags) { flags_ = flags; }
    // The chosen full path after DoModal returned 1; the initial name before.
    QString GetFileName() const { return fileName_; }

    // Runs the dialog modally: an open dialog when `open` (OFN_FILEMUSTEXIST then asks for an
    // existing file), else a save dialog (which never asks for an existing file and never asks to
    // overwrite unless OFN_OVERWRITEPROMPT is set). 1 (IDOK) when a name was chosen, else 2.
    int DoModal(bool open);

    // The path the dialog would return now: the typed or selected name in the shown folder, with
    // the default extension; the folder itself when no name is given.
    QString CurrentFilePath() const;
    // The dialog's accept button (Save or Open).
    QPushButton* AcceptButton() const;

public slots:
    void accept() override;

protected:
    virtual int OnInitDone() { return 0; }
    virtual int OnFolderChange() { return 0; }
    virtual int OnSelChange() { return 0; }
    virtual int OnTypeChange() { return 0; }
    virtual int OnFileOK() { return 0; }

    void showEvent(QShowEvent* event) override;

private:
    void ApplyFlags(bool open);

    QString WithDefaultExtension(const QString& path) const;

    uint32_t flags_;
    QString fileName_;
    QString defaultExtension_;
    bool initPending_ = false;
};

}  // namespace brevio

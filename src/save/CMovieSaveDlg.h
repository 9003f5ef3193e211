#pragma once
// The Save-As dialog of the edited movie: keeps its Save button disabled while the shown folder is
// no place for a movie (DestinationCheck) and refuses such a folder with ids::kFolderRefused when
// the user confirms.
#include <QPointer>
#include <QString>
#include <functional>

#include "save/CFileDlg.h"

#include <QPushButton>

namespace brevio {

class CMovieSaveDlg : public CFileDlg {
    Q_OBJECT

public:
    using DestinationRule = std::function<bool(const QString& path)>;

    CMovieSaveDlg(QWidget* owner, const QString& title, const QString* filter, uint32_t flags);
    ~CMovieSaveDlg() override;

    // The caption of the refusal message: the text, or ids::kCaption for null.
    void SetMessageCaption(const QString* text);
    QString GetMessageCaption() const { return messageCaption_; }
    // The rule that accepts destinations; IsAllowedDestination on the running system by default.
    void SetDestinationRule(DestinationRule rule) { rule_ = std::move(rule); }

    // Shows the folder of `sourceMovie` when a movie may be saved there, else the user's Videos
    // folder, else the home folder (never the process's working folder).
    void OpenNear(const QString& sourceMovie);
    QString InitialFolder(const QString& sourceMovie) const;

    QPushButton* SaveButton() const { return saveButton_; }
    bool IsSaveAllowed() const { return saveAllowed_; }

protected:
    int OnInitDone() override;
    int OnFolderChange() override;
    int OnSelChange() override;
    int OnFileOK() override;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CheckCurrentPath();

    QPointer<QPushButton> saveButton_;
    bool skipNextSelChange_ = false;
    bool saveAllowed_ = true;
    QString messageCaption_;
    DestinationRule rule_;
};

}  // namespace brevio

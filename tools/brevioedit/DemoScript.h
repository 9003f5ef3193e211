#pragma once
// The demonstration that brevioedit --demo runs inside the editing dialog: it plays the movie and
// pauses it, selects four scenes, cuts them, undoes and redoes the cut, and saves the movie into
// the demo folder, taking a screenshot of the dialog at each step.
#include <QObject>
#include <QString>
#include <QStringList>

namespace brevio::driver {
class DialogDriver;
}  // namespace brevio::driver

namespace brevioedit {

class DemoScript : public QObject {
public:
    explicit DemoScript(QString folder);

    // Runs the steps; returns after pressing Save (the dialog then ends by itself) or, when a step
    // fails, after pressing Cancel and confirming.
    void Run();

    const QStringList& Screenshots() const { return screenshots_; }
    // What went wrong, empty when every step worked.
    const QString& Failure() const { return failure_; }
    QString SavedMoviePath() const;

private:
    bool Steps(brevio::driver::DialogDriver& driver);
    bool Fail(const QString& step);
    void Shoot(brevio::driver::DialogDriver& driver, const QString& name);

    QString folder_;
    QStringList screenshots_;
    QString failure_;
};

}  // namespace brevioedit

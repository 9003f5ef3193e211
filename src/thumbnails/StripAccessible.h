#pragma once
// The strip as accessibility sees it: a list (CThumbnailWnd and its chapter kind) with one list
// item per scene shown, named by the view, selected when in the run and focused on the run's first
// scene while the strip has the focus. Each strip installs the factory when it is made.
#include <QComboBox>

namespace brevio {

// A drop-down list that screen readers know by its label (the QLabel whose buddy it is) rather
// than by the text it shows, which stays its value. Otherwise a QComboBox.
class LabelledList : public QComboBox {
    Q_OBJECT
public:
    explicit LabelledList(QWidget* parent = nullptr);
};

void InstallStripAccessibility();

}  // namespace brevio

#pragma once
// The strip as accessibility sees it: a list (CThumbnailWnd and its chapter kind) with one list
// item per scene shown, named by the view, selected when in the run and focused on the run's first
// scene while the strip has the focus. The same factory names a combo box carrying the property
// kNamedByLabel by its label (QLabel::setBuddy) instead of its shown value. Installed once.

namespace brevio {

inline constexpr char kNamedByLabel[] = "brevioNamedByLabel";

void InstallStripAccessibility();

}  // namespace brevio

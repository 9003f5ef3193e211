#pragma once
// The colours the panes draw their frames with, shared so that the preview and the thumbnail
// pane stay alike. The strip's own colours live with the strip (CThumbnailWnd).
#include <QColor>

namespace brevio {

// The face of a pane's raised frame (the player's and the strip's surrounds).
inline constexpr QColor kPaneFrameFace(195, 195, 195);
// The frame's one-pixel outline (COLORREF 0x3D3A44).
inline constexpr QColor kPaneFrameLine(68, 58, 61);
// The line between the strip and the command buttons: the frame's face colour.
inline constexpr QColor kPaneSeparator = kPaneFrameFace;

}  // namespace brevio

#pragma once
// The texts a screen reader speaks: the names, tool tips and values of controls that show no text
// of their own (the player's buttons, picture and seek bar, the strip and its scenes), and the
// names of the panes that group them. They are messages
// of their own beside the string table, in the same translation file (message ids "a11y.*"), with
// Chinese source texts: while a StringTranslation is installed they answer through the
// application's translators, at every other time in Chinese.
#include <QString>
#include <cstdint>

namespace brevio::resources {

enum class AccessibleText {
    Play,          // the play button's name while paused or stopped
    Pause,         // its name while playing
    PlayTip,       // its tool tip while paused or stopped
    PauseTip,      // its tool tip while playing
    Stop,          // the stop button's name
    StopTip,       // its tool tip
    SeekBar,       // the seek bar's name
    SeekValue,     // the seek bar's value: %1 position, %2 length ("0:17 of 0:48")
    SceneStrip,    // the strip of shooting units
    ChapterStrip,  // the strip of chapters
    Scene,         // a scene of the strip: %1 number, %2 start, %3 end
    Chapter,       // a chapter of the strip: %1 number, %2 start, %3 end
    StripHelp,     // the strip's description: its keys
    Content,       // the group of all panes: %1 the movie's file name
    Preview,       // the preview pane
    Player,        // the player: its picture and controls
    Picture,       // the player's picture
    PictureAt,     // the picture's description: %1 its position, %2 the movie's length
    NoPicture,     // the picture's description before the first frame
    Steps,         // the instruction panel
    Editing,       // the pane of the strip, the seconds list and the buttons
    ChapterHelp,   // the chapter strip's description: its keys
};

// The text in the language of the installed StringTranslation, else the Chinese source.
QString AccessibleString(AccessibleText text);
// A movie time as minutes and seconds, "0:17" (ticks of 100 ns, truncated to the second).
QString AccessibleTime(int64_t ticks);

}  // namespace brevio::resources

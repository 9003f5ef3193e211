<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name></name>
    <message id="128">
        <source>Albumora EX</source>
        <extracomment>Product name: the default caption of the dialog and its message boxes, the title of the progress dialog. Never translated.</extracomment>
        <translation>Albumora EX</translation>
    </message>
    <message id="129">
        <source>另存为</source>
        <extracomment>Title of the Save-As dialog.</extracomment>
        <translation>Save As</translation>
    </message>
    <message id="130">
        <source>BrevioEditDLG</source>
        <extracomment>Not shown.</extracomment>
        <translation>BrevioEditDLG</translation>
    </message>
    <message id="131">
        <source>Main dialog creation failed !</source>
        <extracomment>Not shown.</extracomment>
        <translation>Main dialog creation failed !</translation>
    </message>
    <message id="132">
        <source>BrevioEdit</source>
        <extracomment>Name of the temporary folder for reference movies: a file name part, never translated.</extracomment>
        <translation>BrevioEdit</translation>
    </message>
    <message id="133">
        <source>.mov</source>
        <extracomment>Extension of a reference movie file: a file name part, never translated.</extracomment>
        <translation>.mov</translation>
    </message>
    <message id="134">
        <source>BRV</source>
        <extracomment>Prefix of a temporary file name: a file name part, never translated.</extracomment>
        <translation>BRV</translation>
    </message>
    <message id="135">
        <source>无法创建临时文件。</source>
        <extracomment>Message box of the scene strip.</extracomment>
        <translation>Cannot create a temporary file.</translation>
    </message>
    <message id="136">
        <source>无法将文件保存在此文件夹中。请选择其它文件夹，然后再试一次。</source>
        <extracomment>Message box of the Save-As dialog when the folder is refused.</extracomment>
        <translation>You cannot save files in this folder. Choose another folder and try again.</translation>
    </message>
    <message id="137">
        <source>MOV 文件 (*.mov)|*.mov||</source>
        <extracomment>File-type filter of the Save-As dialog: description|pattern||. Keep the bars and the pattern.</extracomment>
        <translation>MOV files (*.mov)|*.mov||</translation>
    </message>
    <message id="138">
        <source>mov</source>
        <extracomment>Default extension of the Save-As dialog, never translated.</extracomment>
        <translation>mov</translation>
    </message>
    <message id="139">
        <source>无标题</source>
        <extracomment>Initial file name in the Save-As dialog.</extracomment>
        <translation>Untitled</translation>
    </message>
    <message id="140">
        <source>由于已存在相同名称的文件而无法保存文件。请更改文件名，然后再试一次。</source>
        <extracomment>Message box when the chosen file exists.</extracomment>
        <translation>A file with this name already exists. Change the file name and try again.</translation>
    </message>
    <message id="141">
        <source>撤消</source>
        <extracomment>Button, 105 x 26 pixels.</extracomment>
        <translation>Undo</translation>
    </message>
    <message id="142">
        <source>恢复</source>
        <extracomment>Button, 105 x 26 pixels.</extracomment>
        <translation>Redo</translation>
    </message>
    <message id="143">
        <source>保存</source>
        <extracomment>Button, 90 x 26 pixels.</extracomment>
        <translation>Save</translation>
    </message>
    <message id="144">
        <source>剪切场景</source>
        <extracomment>Button, 120 x 26 pixels; the steps of the instruction panel name it in brackets.</extracomment>
        <translation>Cut scenes</translation>
    </message>
    <message id="145">
        <source>取消</source>
        <extracomment>Button, 90 x 26 pixels.</extracomment>
        <translation>Cancel</translation>
    </message>
    <message id="146">
        <source>MS Shell Dlg</source>
        <extracomment>Font family of the instruction panel, never translated.</extracomment>
        <translation>MS Shell Dlg</translation>
    </message>
    <message id="147">
        <source>选定的秒数:</source>
        <extracomment>Label in front of the list of selection lengths, 250 x 22 pixels, right-aligned. The list counts scenes (4 to 8), not seconds: say what it chooses.</extracomment>
        <translation>Scenes to select:</translation>
    </message>
    <message id="148">
        <source>从Brevio中剪切选定场景。</source>
        <extracomment>Heading of the instruction panel, one line of 14-pixel semi-bold type, about 360 pixels.</extracomment>
        <translation>Cut scenes from your Brevio movie</translation>
    </message>
    <message id="149">
        <source>1. 播放短片，然后在要剪切的场景处暂停。</source>
        <extracomment>Step of the instruction panel, shooting-unit movies.</extracomment>
        <translation>1. Play the movie and pause at the scene to cut.</translation>
    </message>
    <message id="150">
        <source>2. 从缩略图视图中选择要剪切的场景。</source>
        <extracomment>Step of the instruction panel, shooting-unit movies.</extracomment>
        <translation>2. Select the scenes to cut in the thumbnail view.</translation>
    </message>
    <message id="151">
        <source>3. 单击 [剪切场景] 以剪切选定场景。</source>
        <extracomment>Step of the instruction panel, shooting-unit movies; the bracketed name is button 144.</extracomment>
        <translation>3. Click [Cut scenes] to cut the selected scenes.</translation>
    </message>
    <message id="152">
        <source>4. 单击 [保存] 以保存经过编辑的短片。</source>
        <extracomment>Step of the instruction panel, shooting-unit movies; the bracketed name is button 143.</extracomment>
        <translation>4. Click [Save] to save the edited movie.</translation>
    </message>
    <message id="153">
        <source>尚未保存剪辑影片。您是否确定要继续?</source>
        <extracomment>Question when the dialog closes with unsaved edits; answered with OK or Cancel.</extracomment>
        <translation>The edited movie has not been saved. Do you want to continue?</translation>
    </message>
    <message id="154">
        <source>取消</source>
        <extracomment>Button of the save progress dialog.</extracomment>
        <translation>Cancel</translation>
    </message>
    <message id="155">
        <source>当前编辑的Brevio已更改。
编辑操作将关闭。</source>
        <extracomment>Notice that the movie file changed on disk; keep the line break.</extracomment>
        <translation>The Brevio movie being edited has changed.
Editing will now close.</translation>
    </message>
    <message id="156">
        <source>保存在以上文件中。请稍候。</source>
        <extracomment>Text of the save progress dialog, below the file name.</extracomment>
        <translation>Saving to the file above. Please wait.</translation>
    </message>
    <message id="157">
        <source>因为在保存时出错，无法保存编辑结果。</source>
        <extracomment>Message box after a failed save.</extracomment>
        <translation>An error occurred while saving. The edited movie could not be saved.</translation>
    </message>
    <message id="158">
        <source>1. 从缩略图视图中选择要剪切的场景。</source>
        <extracomment>Step of the instruction panel, chapter movies.</extracomment>
        <translation>1. Select the scenes to cut in the thumbnail view.</translation>
    </message>
    <message id="159">
        <source>2. 单击 [剪切场景] 以剪切选定场景。</source>
        <extracomment>Step of the instruction panel, chapter movies; the bracketed name is button 144.</extracomment>
        <translation>2. Click [Cut scenes] to cut the selected scenes.</translation>
    </message>
    <message id="160">
        <source>3. 单击 [保存] 以保存经过编辑的短片。</source>
        <extracomment>Step of the instruction panel, chapter movies; the bracketed name is button 143.</extracomment>
        <translation>3. Click [Save] to save the edited movie.</translation>
    </message>
    <message id="161">
        <source>没有指定输出文件名。</source>
        <extracomment>Reason of a failed save, second line of message 157.</extracomment>
        <translation>No output file name was given.</translation>
    </message>
    <message id="162">
        <source>保存时源影片已更改。</source>
        <extracomment>Reason of a failed save, second line of message 157.</extracomment>
        <translation>The source movie changed while it was saved.</translation>
    </message>
    <message id="163">
        <source>源影片在保存时提前结束。</source>
        <extracomment>Reason of a failed save, second line of message 157.</extracomment>
        <translation>The source movie ended early while it was saved.</translation>
    </message>
    <message id="164">
        <source>无法写入该影片。</source>
        <extracomment>Reason of a failed save, second line of message 157.</extracomment>
        <translation>The movie cannot be written.</translation>
    </message>
    <message id="165">
        <source>文件名无效。文件名不能为空，也不能以点开头。请更改文件名，然后再试一次。</source>
        <extracomment>Message box of the Save-As dialog: a typed name that is empty before the extension or would make a hidden file.</extracomment>
        <translation>The file name is not valid: it must not be empty or begin with a dot. Change the file name and try again.</translation>
    </message>
    <message id="a11y.play">
        <source>播放</source>
        <extracomment>Name of the player's play button while the movie is paused or stopped.</extracomment>
        <translation>Play</translation>
    </message>
    <message id="a11y.pause">
        <source>暂停</source>
        <extracomment>Name of the player's play button while the movie plays.</extracomment>
        <translation>Pause</translation>
    </message>
    <message id="a11y.play.tip">
        <source>播放短片 (空格键)</source>
        <extracomment>Tool tip of the play button while paused or stopped; Space is the key.</extracomment>
        <translation>Play the movie (Space)</translation>
    </message>
    <message id="a11y.pause.tip">
        <source>暂停播放 (空格键)</source>
        <extracomment>Tool tip of the play button while playing; Space is the key.</extracomment>
        <translation>Pause the movie (Space)</translation>
    </message>
    <message id="a11y.stop">
        <source>停止</source>
        <extracomment>Name of the player's stop button.</extracomment>
        <translation>Stop</translation>
    </message>
    <message id="a11y.stop.tip">
        <source>停止播放并回到短片开头</source>
        <extracomment>Tool tip of the stop button.</extracomment>
        <translation>Stop and go back to the start of the movie</translation>
    </message>
    <message id="a11y.seekbar">
        <source>播放位置</source>
        <extracomment>Accessible name of the player's seek bar.</extracomment>
        <translation>Playback position</translation>
    </message>
    <message id="a11y.seekbar.value">
        <source>%1，共 %2</source>
        <extracomment>Accessible value of the seek bar: %1 the position, %2 the movie's length, both as m:ss.</extracomment>
        <translation>%1 of %2</translation>
    </message>
    <message id="a11y.strip">
        <source>场景</source>
        <extracomment>Accessible name of the strip of shooting units (a list).</extracomment>
        <translation>Scenes</translation>
    </message>
    <message id="a11y.strip.chapters">
        <source>章节</source>
        <extracomment>Accessible name of the strip of chapters (a list).</extracomment>
        <translation>Chapters</translation>
    </message>
    <message id="a11y.scene">
        <source>场景 %1，%2 至 %3</source>
        <extracomment>A scene of the strip as a screen reader names it: %1 its number in the movie, %2 its start, %3 its end (m:ss).</extracomment>
        <translation>Scene %1, %2 to %3</translation>
    </message>
    <message id="a11y.chapter">
        <source>章节 %1，%2 至 %3</source>
        <extracomment>A chapter of the strip: %1 its number, %2 its start, %3 its end (m:ss).</extracomment>
        <translation>Chapter %1, %2 to %3</translation>
    </message>
    <message id="a11y.strip.help">
        <source>左右方向键移动选定的场景，Home 和 End 键移到开头和结尾，Delete 键剪切</source>
        <extracomment>Accessible description of the strip: its keys.</extracomment>
        <translation>Left and Right move the selected scenes, Home and End go to the first and last scenes, Delete cuts</translation>
    </message>
    <message id="a11y.strip.chapters.help">
        <source>左右方向键选择上一个或下一个章节，Home 和 End 键选择第一个和最后一个章节，Delete 键剪切</source>
        <extracomment>Accessible description of the strip of chapters: its keys (one chapter is selected at a time).</extracomment>
        <translation>Left and Right select the previous or next chapter, Home and End the first and last chapters, Delete cuts</translation>
    </message>
    <message id="a11y.content">
        <source>短片 %1</source>
        <extracomment>Accessible name of the dialog's content, the group of all its panes: %1 the file name of the movie being edited.</extracomment>
        <translation>Movie %1</translation>
    </message>
    <message id="a11y.preview">
        <source>预览</source>
        <extracomment>Accessible name of the preview pane (the group around the player, upper left).</extracomment>
        <translation>Preview</translation>
    </message>
    <message id="a11y.player">
        <source>播放器</source>
        <extracomment>Accessible name of the player: its picture with the play, stop and seek controls under it.</extracomment>
        <translation>Player</translation>
    </message>
    <message id="a11y.picture">
        <source>短片画面</source>
        <extracomment>Accessible name of the player's picture (an image).</extracomment>
        <translation>Movie picture</translation>
    </message>
    <message id="a11y.picture.at">
        <source>%1 处的画面，共 %2</source>
        <extracomment>Accessible description of the player's picture: %1 the position it shows, %2 the movie's length, both as m:ss.</extracomment>
        <translation>The picture at %1 of %2</translation>
    </message>
    <message id="a11y.picture.none">
        <source>尚无画面</source>
        <extracomment>Accessible description of the player's picture before any frame is shown.</extracomment>
        <translation>No picture yet</translation>
    </message>
    <message id="a11y.steps">
        <source>操作步骤</source>
        <extracomment>Accessible name of the instruction panel (upper right), which lists the steps of editing.</extracomment>
        <translation>Steps</translation>
    </message>
    <message id="a11y.editing">
        <source>剪辑</source>
        <extracomment>Accessible name of the pane along the bottom: the strip, the seconds list and the Cut, Undo, Redo, Save and Cancel buttons.</extracomment>
        <translation>Editing</translation>
    </message>
</context>
<context>
    <name>brevioedit-host</name>
    <message id="host.product">
        <source>Brevio Edit</source>
        <extracomment>Title of the host application's message boxes. Never translated.</extracomment>
        <translation>Brevio Edit</translation>
    </message>
    <message id="host.caption">
        <source>%1 – Brevio Edit</source>
        <extracomment>Caption of the editing dialog opened by the host application; %1 is the movie's file name.</extracomment>
        <translation>%1 – Brevio Edit</translation>
    </message>
    <message id="host.open.title">
        <source>打开短片</source>
        <extracomment>Title of the host application's open dialog.</extracomment>
        <translation>Open Movie</translation>
    </message>
    <message id="host.open.filter">
        <source>QuickTime 短片 (*.mov)</source>
        <extracomment>File-type filter of the open dialog. Keep the pattern in brackets.</extracomment>
        <translation>QuickTime movies (*.mov)</translation>
    </message>
    <message id="host.error.missing">
        <source>无法打开“%1”：没有此文件。</source>
        <extracomment>Message box: the movie %1 does not exist.</extracomment>
        <translation>“%1” cannot be opened: there is no such file.</translation>
    </message>
    <message id="host.error.permission">
        <source>无法打开“%1”：您没有读取此文件的权限。</source>
        <extracomment>Message box: the movie %1 may not be read by this user.</extracomment>
        <translation>“%1” cannot be opened: you do not have permission to read it.</translation>
    </message>
    <message id="host.error.folder">
        <source>无法打开“%1”：这是一个文件夹，不是短片文件。</source>
        <extracomment>Message box: %1 is a folder.</extracomment>
        <translation>“%1” cannot be opened: it is a folder, not a movie file.</translation>
    </message>
    <message id="host.error.unreadable">
        <source>无法读取“%1”：%2</source>
        <extracomment>Message box: reading %1 failed; %2 is the system's reason.</extracomment>
        <translation>“%1” cannot be read: %2</translation>
    </message>
    <message id="host.error.not-quicktime">
        <source>无法打开“%1”：这不是 QuickTime 短片 (.mov) 文件。</source>
        <extracomment>Message box: %1 is no QuickTime movie at all.</extracomment>
        <translation>“%1” cannot be opened: it is not a QuickTime movie (.mov).</translation>
    </message>
    <message id="host.error.not-brevio">
        <source>“%1”是 QuickTime 短片，但不是 Brevio 短片。Brevio Edit 只能编辑 Brevio 相机由拍摄单元或章节组成的短片。</source>
        <extracomment>Message box: %1 is a QuickTime movie that a Brevio camera did not build.</extracomment>
        <translation>“%1” is a QuickTime movie, but not a Brevio movie. Brevio Edit edits only the movies that a Brevio camera builds of shooting units or chapters.</translation>
    </message>
    <message id="host.error.damaged">
        <source>“%1”已损坏或不完整：%2</source>
        <extracomment>Message box: %1 is damaged; %2 is one of the host.found messages.</extracomment>
        <translation>“%1” is damaged or incomplete: %2</translation>
    </message>
    <message id="host.found.cut-short">
        <source>文件在 %1 字节处结束，但其中的“%2”部分应到 %3 字节为止。</source>
        <extracomment>What was found in a damaged movie: %1 the file's size in bytes, %2 the four-letter name of a part, %3 where that part should end.</extracomment>
        <translation>the file ends after %1 bytes, but its “%2” part should run to %3 bytes.</translation>
    </message>
    <message id="host.found.no-header">
        <source>文件中没有短片头 (moov)，只找到：%1。</source>
        <extracomment>What was found in a damaged movie: %1 lists the four-letter names of its parts.</extracomment>
        <translation>it has no movie header (moov); found only: %1.</translation>
    </message>
    <message id="host.found.inconsistent">
        <source>短片的结构前后不一致（找到：%1）。</source>
        <extracomment>What was found in a damaged movie: %1 lists the four-letter names of its parts.</extracomment>
        <translation>its movie structure does not agree with itself (found: %1).</translation>
    </message>
    <message id="host.error.too-short">
        <source>“%1”太短，无法编辑。</source>
        <extracomment>Message box: %1 is a Brevio movie too short to edit.</extracomment>
        <translation>“%1” is too short to edit.</translation>
    </message>
    <message id="host.error.no-decoder">
        <source>此系统无法播放短片：FFmpeg 库缺少 Brevio Edit 所需的解码器。</source>
        <extracomment>Message box: FFmpeg lacks a decoder.</extracomment>
        <translation>Brevio Edit cannot play movies on this system: the FFmpeg libraries lack a decoder it needs.</translation>
    </message>
</context>
</TS>

#pragma once
// The string table's IDs by meaning (StringTable.cpp holds the texts). Code loads strings by these
// names; the numbers are the table's and never change.
#include <cstdint>

namespace brevio::ids {

inline constexpr uint32_t kCaption = 128;          // "Albumora EX": default caption, product name
inline constexpr uint32_t kSaveAsTitle = 129;      // title of the Save-As dialog
inline constexpr uint32_t kDialogClassName = 130;  // class name of the main dialog
inline constexpr uint32_t kDialogCreateFailed = 131;
inline constexpr uint32_t kTempFolderName = 132;     // "BrevioEdit"
inline constexpr uint32_t kTempFileExtension = 133;  // ".mov"
inline constexpr uint32_t kTempFilePrefix = 134;     // "BRV"
inline constexpr uint32_t kTempFileFailed = 135;
inline constexpr uint32_t kFolderRefused = 136;
inline constexpr uint32_t kMovieFilter = 137;     // "MOV 文件 (*.mov)|*.mov||"
inline constexpr uint32_t kMovieExtension = 138;  // "mov"
inline constexpr uint32_t kUntitled = 139;
inline constexpr uint32_t kNameExists = 140;
inline constexpr uint32_t kUndo = 141;
inline constexpr uint32_t kRedo = 142;
inline constexpr uint32_t kSave = 143;
inline constexpr uint32_t kCutScene = 144;
inline constexpr uint32_t kCancel = 145;
inline constexpr uint32_t kPanelFaceName = 146;  // font face of the instruction panel
inline constexpr uint32_t kSelectedSeconds = 147;
inline constexpr uint32_t kInstructionHeading = 148;
inline constexpr uint32_t kUnitSteps[] = {149, 150, 151, 152};  // the instruction steps, unit view
inline constexpr uint32_t kUnsavedEdits = 153;
inline constexpr uint32_t kProgressCancel = 154;
inline constexpr uint32_t kSourceChanged = 155;
inline constexpr uint32_t kSavingPleaseWait = 156;
inline constexpr uint32_t kSaveFailed = 157;
inline constexpr uint32_t kChapterSteps[] = {158, 159, 160};  // the instruction steps, chapter view
// Why a save failed where no system error says it, and the refused file name of the Save-As
// dialog.
inline constexpr uint32_t kNoOutputName = 161;
inline constexpr uint32_t kSourceChangedWhileSaving = 162;
inline constexpr uint32_t kSourceEndedEarly = 163;
inline constexpr uint32_t kMovieNotWritable = 164;
inline constexpr uint32_t kInvalidFileName = 165;

}  // namespace brevio::ids

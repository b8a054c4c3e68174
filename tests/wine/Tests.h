// Every test case of the driver; main.cpp lists them by name.
#pragma once

#include "TestCase.h"

namespace driver {

// The window and its controls at start.
void WindowFrame(Check&, const Options&);
void ControlTable(Check&, const Options&);
void ControlTree(Check&, const Options&);
void MoveAndMinimize(Check&, const Options&);
void ControlsPaint(Check&, const Options&);
void HighContrastColours(Check&, const Options&);
void ProgramIcon(Check&, const Options&);
void VersionAndManifest(Check&, const Options&);
// Display scale: the layout at the screen's DPI, and a change of DPI while running.
void DpiLayout(Check&, const Options&);
void DpiChangeKeepsState(Check&, const Options&);

// Keyboard.
void InitialFocus(Check&, const Options&);
void TabCycleForward(Check&, const Options&);
void TabCycleBackward(Check&, const Options&);
void FocusReturnsAfterDeactivation(Check&, const Options&);
void EnterClicksNothing(Check&, const Options&);
void EnterAddsLine(Check&, const Options&);
void SpaceClicksButton(Check&, const Options&);

// Edit boxes.
void LongTextKept(Check&, const Options&);
void TypingWrapsAndScrolls(Check&, const Options&);
void AppendKeepsUserText(Check&, const Options&);

// The process.
void ClosePathsExitZero(Check&, const Options&);
void TwoInstances(Check&, const Options&);
void CodePage(Check&, const Options&);

// The fatal report and the declared clock command, through the probe program.
void FatalReports(Check&, const Options&);
void PlantedSystemLibraryIgnored(Check&, const Options&);
void DeclaredLibraryLoadedOnce(Check&, const Options&);

// The packaging and query buttons, their message boxes and the order number.
void OrderNumberShanghaiClock(Check&, const Options&);
void OrderNumberUtcClock(Check&, const Options&);
void PackagingMessageBox(Check&, const Options&);
void QueryHandsJoinPage(Check&, const Options&);
void ManyClicksKeepEveryLine(Check&, const Options&);
void OneHandlerAtATime(Check&, const Options&);

// The file-open dialog and whole-file reading.
void OpenDialogSettings(Check&, const Options&);
void ReadFileCases(Check&, const Options&);
void FoldersOutsideGbk(Check&, const Options&);
void CurrentFolderAtStart(Check&, const Options&);

// The app icon row: files chosen in the dialog, shown in the picture box.
void PictureFormatsShow(Check&, const Options&);
void NotPicturesBlank(Check&, const Options&);
void CancelRereadsLastChoice(Check&, const Options&);
void GifAnimates(Check&, const Options&);
void NewPictureStopsAnimation(Check&, const Options&);
void CloseWhileAnimating(Check&, const Options&);
void GifFramesCompose(Check&, const Options&);
void AnimationThreadLifetime(Check&, const Options&);
void PictureSurvivesRepaint(Check&, const Options&);

// A long session: picture changes and button clicks, with the program's resources counted.
void Soak(Check&, const Options&);

// Screen readers, files dropped on the window, the focus drawn.
void AccessibleNamesAndRoles(Check&, const Options&);
void PictureValueAndEvents(Check&, const Options&);
void FocusDrawn(Check&, const Options&);
void DropFiles(Check&, const Options&);
void DropThenCancelRereads(Check&, const Options&);
void WaitCursorWhileReading(Check&, const Options&);

} // namespace driver

// Every test case of the driver, in the order --list gives them: one X(name) each, so that a
// case is declared here and listed in main.cpp from this one line.
#pragma once

#include "TestCase.h"

#define ORVESSA_GUI_TESTS(X)                                                                       \
    /* The window and its controls at start. */                                                    \
    X(WindowFrame)                                                                                 \
    X(ControlTable)                                                                                \
    X(ControlsPaint)                                                                               \
    X(HighContrastColours)                                                                         \
    X(ProgramIcon)                                                                                 \
    X(VersionAndManifest)                                                                          \
    /* Display scale: the layout at the screen's DPI, and a change of DPI while running. */        \
    X(DpiLayout)                                                                                   \
    X(DpiChangeKeepsState)                                                                         \
    /* Keyboard. */                                                                                \
    X(InitialFocusAndTabCycle)                                                                     \
    X(FocusReturnsAfterDeactivation)                                                               \
    X(EnterClicksNothing)                                                                          \
    X(TypingWrapsAndScrolls)                                                                       \
    X(SpaceClicksButton)                                                                           \
    /* Edit boxes. */                                                                              \
    X(LongTextKept)                                                                                \
    X(AppendKeepsUserText)                                                                         \
    /* The process. */                                                                             \
    X(ClosePathsExitZero)                                                                          \
    X(TwoInstances)                                                                                \
    X(CodePage)                                                                                    \
    /* The fatal report and the declared clock command, through the probe program. */              \
    X(FatalReports)                                                                                \
    X(PlantedSystemLibraryIgnored)                                                                 \
    X(DeclaredLibraryLoadedOnce)                                                                   \
    /* The packaging and query buttons, their message boxes and the order number. */               \
    X(OrderNumberShanghaiClock)                                                                    \
    X(OrderNumberUtcClock)                                                                         \
    X(PackagingMessageBox)                                                                         \
    X(QueryHandsJoinPage)                                                                          \
    X(ManyClicksKeepEveryLine)                                                                     \
    /* The file-open dialog and whole-file reading. */                                             \
    X(OpenDialogSettings)                                                                          \
    X(ReadFileCases)                                                                               \
    X(FoldersOutsideGbk)                                                                           \
    X(CurrentFolderAtStart)                                                                        \
    /* The app icon row: files chosen in the dialog, shown in the picture box. */                  \
    X(PictureFormatsShow)                                                                          \
    X(CancelRereadsLastChoice)                                                                     \
    X(GifAnimates)                                                                                 \
    X(NewPictureStopsAnimation)                                                                    \
    X(AnimationThreadLifetime)                                                                     \
    X(PictureSurvivesRepaint)                                                                      \
    /* A long session: picture changes and button clicks, with the program's resources counted. */ \
    X(Soak)                                                                                        \
    /* Screen readers, files dropped on the window, the focus drawn. */                            \
    X(AccessibleNamesAndRoles)                                                                     \
    X(PictureValueAndEvents)                                                                       \
    X(FocusDrawn)                                                                                  \
    X(DropFiles)                                                                                   \
    X(DropThenCancelRereads)                                                                       \
    X(WaitCursorWhileReading)

namespace driver {

#define ORVESSA_DECLARE_TEST(name) void name(Check&, const Options&);
ORVESSA_GUI_TESTS(ORVESSA_DECLARE_TEST)
#undef ORVESSA_DECLARE_TEST

} // namespace driver

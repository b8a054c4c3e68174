// The main window as the program builds it: the description with the handlers bound.
#include "MainWindow.h"

#include "Handlers.h"

namespace {

constexpr MainHandlers Bound() {
    MainHandlers on;
    on.startPackaging = OnStartPackagingClick;
    on.query = OnQueryClick;
    on.selectImage = OnSelectImageClick;
    on.clearImage = OnClearImageClick;
    on.imageFileDropped = OnImageFileDropped;
    return on;
}

constexpr auto kControls = main_window::Controls(Bound());

}  // namespace

const WindowDescription MainWindow = main_window::Describe(kControls, Bound());

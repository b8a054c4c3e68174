// The click handlers bound in the main window's description. They take no arguments, keep no
// state of their own and touch controls only through the service layer.
#pragma once

void OnStartPackagingClick();
void OnQueryClick();
void OnSelectImageClick();
void OnClearImageClick();
// Not a click: bound as the main window's file-drop handler.
void OnImageFileDropped();

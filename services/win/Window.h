// Building the startup window: the window layer's one request from the application.
#pragma once

// Builds the startup window from its description and shows it; a window that cannot be made
// is a fatal report.
void CreateMainWindow();

// Showing a picture given as bytes in a PicBox control.
#pragma once

#include "Text.h"
#include "WindowDescription.h"

// Replaces the picture of the box by the image in the bytes; empty bytes clear it. Data that is
// not a picture the box can decode leaves it blank, without a message.
// The box keeps the bytes: a caller done with its own hands them over rather than have them
// copied, so a large file is held once. The wait cursor shows while the picture is decoded.
void SetPicture(const WindowDescription& window, const char* control, const Bytes& data);
void SetPicture(const WindowDescription& window, const char* control, Bytes&& data);

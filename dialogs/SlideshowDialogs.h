// The slideshow dialogs as the upload engine and the toolbar ask for them:
// each runs its dialog and answers S_OK (confirmed), S_FALSE (canceled) or a
// failure (the dialog could not be shown). A script, when given, answers for
// the user.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "dialogs/DialogScript.h"
#include "engine/FileUploaderDialogs.h"

// The file dialog with the size, effect and background choices.
HRESULT RunSlideshowFileDialog(const SlideshowDialogRequest& request, SlideshowDialogChoice& choice,
                               DialogScript script = nullptr);
// The order of files (changed in place on S_OK).
HRESULT RunSlideOrderDialog(HWND owner, std::vector<std::wstring>& files, DialogScript script = nullptr);
// Order and choices for files already known (such as files dropped on the
// toolbar): on S_OK choice holds the files in their new order, the size text,
// the effect and the background. sizeIndex (of the slideshow sizes) is the
// size offered first; request.options.isPublic becomes choice.isPublic.
HRESULT RunSlideShowDialog(const SlideshowDialogRequest& request, const std::vector<std::wstring>& files,
                           SlideshowDialogChoice& choice, DialogScript script = nullptr);

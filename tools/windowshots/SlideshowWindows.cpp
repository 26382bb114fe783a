// Window shots of the slideshow dialogs: the file dialog with its choices,
// the slide order dialog and the slideshow dialog, with sample pictures made
// for the occasion (one name left without a file shows the default picture).
#include "tools/windowshots/WindowShots.h"

#include <gdiplus.h>

#include <vector>

#include "dialogs/FilesForSlideshowDlg.h"
#include "dialogs/SlideShowDlg.h"
#include "engine/GdiplusSession.h"
#include "support/Pictures.h"

namespace {

std::vector<std::wstring> SamplePictures()
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"vpslideshots";
    CreateDirectoryW(folder.c_str(), nullptr);
    GdiplusSession gdiplus;
    std::vector<std::wstring> paths = {folder + L"\\harbour.jpg", folder + L"\\garden-wide.png",
                                       folder + L"\\tower.jpg", folder + L"\\missing.jpg"};
    vptest::MakePicture(paths[0], 640, 480, Gdiplus::ImageFormatJPEG);
    vptest::MakePicture(paths[1], 900, 300, Gdiplus::ImageFormatPNG);
    vptest::MakePicture(paths[2], 200, 400, Gdiplus::ImageFormatJPEG);
    DeleteFileW(paths[3].c_str());
    return paths;
}

}  // namespace

void OpenSlideshowFilesWindow()
{
    CFilesForSlideshowDlg dialog(nullptr);
    dialog.Run();
}

void OpenSlideOrderWindow()
{
    CSlideOrderDlg dialog(SamplePictures());
    dialog.DoModal(nullptr);
}

void OpenSlideShowWindow()
{
    CSlideShowDlg dialog(SamplePictures());
    dialog.effectIndex = 3;
    dialog.backgroundIndex = 12;
    dialog.DoModal(nullptr);
}

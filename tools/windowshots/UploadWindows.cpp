// Window shots of the upload options dialogs.
#include "tools/windowshots/WindowShots.h"

#include "dialogs/UploadImagesDlg.h"

void OpenUploadImagesWindow()
{
    CUploadImagesDlg dialog({L"http://pictures.example/garden.jpg", L"http://pictures.example/harbour.png",
                             L"http://pictures.example/spacer.gif"},
                            {{800, 600}, {1024, 768}, {16, 16}});
    dialog.DoModal(nullptr);
}

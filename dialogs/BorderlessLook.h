// The look of the small borderless dialogs opened at the mouse (tags of one
// picture, login): a see-through rounded window, moved so that it stays fully
// on the screen, that the user drags by any point.
#pragma once

#include <windows.h>

// The space kept free below the dialog (the task bar).
const int kBorderlessBottomMargin = 25;

// Where a dialog of the given size opens when asked for at: moved left and up
// as far as needed to stay inside the screen, with the bottom margin.
POINT KeptOnScreen(POINT at, SIZE dialog, SIZE screen);

// Rounds the window, moves it to at kept on the screen (a position of 0, 0
// leaves it where it is), makes it slightly see-through and, outside the
// browser, brings it to the front. For WM_INITDIALOG.
void ApplyBorderlessLook(HWND dialog, POINT at);

// Every point of the dialog acts as its caption. True when message was answered.
bool AnswerBorderlessHitTest(HWND dialog, UINT message);

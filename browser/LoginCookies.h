// The rules of the login handshake with the service, apart from the browser
// objects: finding a cookie in a document's cookie string, answering the
// service's challenge, deciding what the toolbar learns and writes back, and
// when the periodic update check is due.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// The value of cookie name in a document's cookie string ("a=1; b=2"): the
// text after the first "name=" (searched as written, then with both texts
// lower-cased) up to the next ";" or the end, untrimmed. A plain text search,
// so a cookie whose name ends in name counts as well.
std::optional<std::wstring> FindCookie(const std::wstring& cookies, const std::wstring& name);

// The answer to a challenge: MD5 of the challenge in the thread's ANSI code
// page followed by the handshake key, as 32 lower-case hexadecimal digits.
std::wstring ChallengeResponse(const std::wstring& challenge);

// What one document's cookies tell and what goes back into them.
struct LoginCookies {
    bool loggedIn = false;
    std::wstring uid;                  // the user id, when logged in
    std::vector<std::wstring> writes;  // cookie assignments for the document, in order
    std::vector<std::wstring> names;   // the cookies' names (never their values), for the log
};
LoginCookies ReadLoginCookies(const std::wstring& cookies, const std::wstring& versionCookie);

// The update check on a completed document: not due, due (check, then store
// now as the last check), or restart (the last check lies in the future, as
// after the clock was set back: store now without checking, so that checks
// neither stop until that time nor run on every page).
enum class UpdateCheck { NotDue, Due, Restart };
// intervalDays is the setting as stored: 0 turns checks off; a value that is
// negative as a signed number counts as the default of 3 days.
UpdateCheck DecideUpdateCheck(ULONGLONG now, ULONGLONG lastCheck, DWORD intervalDays);

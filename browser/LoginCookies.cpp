// The login handshake rules (see the header).
#include "browser/LoginCookies.h"

#include "common/Md5.h"
#include "common/TextConvert.h"

namespace {

const char kHandshakeKey[] = "x9;*m3";
const LONG kDefaultIntervalDays = 3;
const ULONGLONG kSecondsPerDay = 86400;

// The value after key found in searched, a same-length copy of cookies.
std::optional<std::wstring> ValueAfter(const std::wstring& searched, const std::wstring& key,
                                       const std::wstring& cookies)
{
    const size_t at = searched.find(key);
    if (at == std::wstring::npos || searched.size() != cookies.size()) return std::nullopt;
    const size_t start = at + key.size();
    const size_t end = cookies.find(L';', start);
    return cookies.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
}

}  // namespace

std::optional<std::wstring> FindCookie(const std::wstring& cookies, const std::wstring& name)
{
    if (auto value = ValueAfter(cookies, name + L"=", cookies)) return value;
    return ValueAfter(ToLower(cookies), ToLower(name) + L"=", cookies);
}

std::wstring ChallengeResponse(const std::wstring& challenge)
{
    return Widen(Md5::Hex(Narrow(challenge, CP_THREAD_ACP) + kHandshakeKey), CP_UTF8);
}

LoginCookies ReadLoginCookies(const std::wstring& cookies, const std::wstring& versionCookie)
{
    LoginCookies result;
    for (size_t at = 0; at < cookies.size();) {
        size_t end = cookies.find(L';', at);
        if (end == std::wstring::npos) end = cookies.size();
        std::wstring pair = cookies.substr(at, end - at);
        const size_t first = pair.find_first_not_of(L' ');
        pair = first == std::wstring::npos ? std::wstring() : pair.substr(first);
        if (!pair.empty()) result.names.push_back(pair.substr(0, pair.find(L'=')));
        at = end + 1;
    }

    const auto user = FindCookie(cookies, L"myimages");
    result.loggedIn = user.has_value();
    if (user) result.uid = *user;
    if (const auto challenge = FindCookie(cookies, L"IMGTCHALLENGE")) {
        const std::wstring response = ChallengeResponse(*challenge);
        const auto answered = FindCookie(cookies, L"IMGTRESPONSE");
        if (!answered || *answered != response) result.writes.push_back(L"IMGTRESPONSE=" + response + L";");
    }
    if (!FindCookie(cookies, L"TOOLBARVER") && !versionCookie.empty())
        result.writes.push_back(L"TOOLBARVER=" + versionCookie + L";");
    return result;
}

UpdateCheck DecideUpdateCheck(ULONGLONG now, ULONGLONG lastCheck, DWORD intervalDays)
{
    if (intervalDays == 0) return UpdateCheck::NotDue;
    LONG days = static_cast<LONG>(intervalDays);
    if (days < 0) days = kDefaultIntervalDays;
    if (lastCheck > now) return UpdateCheck::Restart;
    return now - lastCheck >= static_cast<ULONGLONG>(days) * kSecondsPerDay ? UpdateCheck::Due : UpdateCheck::NotDue;
}

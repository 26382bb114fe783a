// Texts of the progress displays (see the header).
#include "engine/ProgressText.h"

#include <vector>

namespace {

constexpr ULONGLONG kKB = 1024;
constexpr ULONGLONG kMB = kKB * 1024;
constexpr ULONGLONG kGB = kMB * 1024;

// Whole units below 100, with one truncated decimal; whole units above.
std::wstring ScaledText(ULONGLONG bytes, ULONGLONG unit, const wchar_t* name)
{
    std::wstring text = std::to_wstring(bytes / unit);
    if (bytes < 100 * unit) {
        // bytes * 10 cannot overflow for bytes below 100 GB.
        text += L'.';
        text += std::to_wstring((bytes * 10 / unit) % 10);
    }
    text += L' ';
    text += name;
    return text;
}

}  // namespace

std::wstring SizeText(ULONGLONG bytes)
{
    if (bytes == 0) return std::wstring();
    if (bytes < kKB) return std::to_wstring(bytes) + L" B";
    if (bytes < kMB) return ScaledText(bytes, kKB, L"KB");
    if (bytes < kGB) return ScaledText(bytes, kMB, L"MB");
    return ScaledText(bytes, kGB, L"GB");
}

std::wstring ItemNameFromPath(const std::wstring& path)
{
    size_t cut = path.rfind(L'\\');
    if (cut == std::wstring::npos) cut = path.rfind(L'/');
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

std::wstring ItemLabel(const std::wstring& labelFormat, const std::wstring& fileOfFormat,
                       const std::wstring& itemName, int index, int count)
{
    if (count == 1) return FormatText(labelFormat, {itemName});
    return FormatText(labelFormat, {FormatText(fileOfFormat, {index + 1, count})});
}

std::wstring QuestionText(const wchar_t* text, const std::wstring& detailsFormat, const wchar_t* detail)
{
    std::wstring message = text ? text : L"";
    if (detail && *detail) message += FormatText(detailsFormat, {detail});
    return message;
}

std::wstring FormatText(const std::wstring& format, std::initializer_list<TextArg> args)
{
    std::wstring out;
    out.reserve(format.size() + 64);
    auto next = args.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        const wchar_t c = format[i];
        if (c != L'%' || i + 1 >= format.size()) {
            out += c;
            continue;
        }
        const wchar_t kind = format[i + 1];
        if (kind == L'%') {
            out += L'%';
            ++i;
        } else if ((kind == L's' || kind == L'i' || kind == L'd') && next != args.end()) {
            // Each placeholder takes the next argument; one of the wrong kind
            // is dropped and the placeholder stays as written.
            const bool wantsNumber = kind != L's';
            if (next->isNumber == wantsNumber) {
                out += wantsNumber ? std::to_wstring(next->number) : next->text;
            } else {
                out += c;
                out += kind;
            }
            ++next;
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

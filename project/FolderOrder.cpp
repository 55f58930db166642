#include "project/FolderOrder.h"

#include "platform/Files.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace lv {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// <0, 0, >0 like strcmp, over the natural order without the tie-break.
int naturalCompare(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            std::size_t ie = i, je = j;
            while (ie < a.size() && isDigit(a[ie]))
                ++ie;
            while (je < b.size() && isDigit(b[je]))
                ++je;
            // Leading zeros do not change the value.
            std::size_t is = i, js = j;
            while (is + 1 < ie && a[is] == '0')
                ++is;
            while (js + 1 < je && b[js] == '0')
                ++js;
            if (ie - is != je - js)
                return ie - is < je - js ? -1 : 1;
            if (int c = a.compare(is, ie - is, b, js, je - js); c != 0)
                return c;
            i = ie;
            j = je;
            continue;
        }
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[j]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

} // namespace

bool FileManagerLess(const std::string& a, const std::string& b) {
    const int c = naturalCompare(a, b);
    return c != 0 ? c < 0 : a < b;
}

std::vector<std::string> ListFolderFiles(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(fs::u8path(folder.empty() ? "." : folder), ec), end;
         !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_directory(typeError))
            names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end(), FileManagerLess);
    std::string prefix = folder;
    if (!prefix.empty() && prefix.back() != '/')
        prefix += '/';
    for (auto& name : names)
        name = prefix + name;
    return names;
}

std::vector<std::string> SortByFolderOrder(const std::vector<std::string>& selection) {
    if (selection.empty())
        return {};
    std::set<std::string> wanted(selection.begin(), selection.end());
    std::vector<std::string> ordered;
    for (auto& path : ListFolderFiles(ExtractFilePath(selection.front())))
        if (wanted.erase(path))
            ordered.push_back(std::move(path));
    // What the listing did not show (another folder, a folder that cannot be listed) is not
    // dropped: it follows in the dialog's order.
    for (const auto& path : selection)
        if (wanted.erase(path))
            ordered.push_back(path);
    return ordered;
}

} // namespace lv

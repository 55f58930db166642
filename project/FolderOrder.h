#pragma once

#include <string>
#include <vector>

namespace lv {

// Linux lists a folder in no meaningful order; the picture list takes files in the order a
// file manager shows them instead: names compared without regard to case, runs of digits by
// their value ("img2" before "img10"), ties broken by the plain bytes so the order is total.
bool FileManagerLess(const std::string& a, const std::string& b);

// The regular files of a folder (with or without trailing separator) as full paths, in
// file-manager order; sub-folders are left out. Empty for a folder that cannot be read.
std::vector<std::string> ListFolderFiles(const std::string& folder);

// A file dialog's selection in the order of its folder's listing: the folder of the first
// selected file is listed and what the selection holds of it comes first, in that order;
// selected files the listing did not show follow in the selection's order. Each selected
// path comes out once.
std::vector<std::string> SortByFolderOrder(const std::vector<std::string>& selection);

} // namespace lv

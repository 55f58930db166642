#pragma once

#include "Common/StringList.h"

#include <string>

namespace lv {

// The slideshow: `PicturePaths` (full path of picture i, in order) and `PictureTexts` (its
// caption, by default the file name), changed together at the same index. Frame servers
// watch `PicturePaths`.
class TPictureList {
public:
    TStringList PicturePaths;
    TStringList PictureTexts;

    std::size_t Count() const { return PicturePaths.Count(); }
    void Add(const std::string& path, const std::string& text);
    // Adds a picture captioned with its file name.
    void Add(const std::string& path);
    void Delete(std::size_t index);
    void Move(std::size_t from, std::size_t to);
    void Clear();
};

} // namespace lv

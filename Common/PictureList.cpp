#include "Common/PictureList.h"

#include "platform/Files.h"

namespace lv {

void TPictureList::Add(const std::string& path, const std::string& text) {
    // Texts first: watchers of the paths may read the text of the new entry.
    PictureTexts.Add(text);
    PicturePaths.Add(path);
}

void TPictureList::Add(const std::string& path) {
    Add(path, ExtractFileName(path));
}

void TPictureList::Delete(std::size_t index) {
    PictureTexts.Delete(index);
    PicturePaths.Delete(index);
}

void TPictureList::Move(std::size_t from, std::size_t to) {
    PictureTexts.Move(from, to);
    PicturePaths.Move(from, to);
}

void TPictureList::Clear() {
    PictureTexts.Clear();
    PicturePaths.Clear();
}

} // namespace lv

// A project file loaded as "Load" and the command line load it: read, the pictures checked
// and added to the list; then saved as "Save" writes it, which must read back the same.
#include "Common/PictureList.h"
#include "fuzz/FuzzInput.h"
#include "platform/Errors.h"
#include "project/PictureFiles.h"
#include "project/ProjectFile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

using namespace lv;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Pictures beside the project, so that entries can name pictures that exist.
    const std::string& folder = lvfuzz::InputFolder();
    std::filesystem::create_directory(folder + "sub");
    for (const char* name : {"a.jpg", "b.BMP", "sub/c.jpeg", "d.txt"})
        std::fclose(std::fopen((folder + name).c_str(), "wb"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = lvfuzz::WriteInput(data, size, ".lmv");
    TPictureList pictures;
    TProject project;
    try {
        project = LoadProject(path, pictures, nullptr);
    } catch (const Error&) {
        return 0;
    }
    if (pictures.PicturePaths.Count() != pictures.PictureTexts.Count() ||
        pictures.Count() > project.Entries.size())
        lvfuzz::Broken("picture list out of step with the entries");
    std::string saved;
    try {
        saved = FormatProject(pictures, project.Sound.value_or(""), project.Output.value_or(""));
    } catch (const Error&) {
        return 0;
    }
    const TProject again = ParseProject(saved);
    if (again.Sound.value_or("") != project.Sound.value_or("") ||
        again.Output.value_or("") != project.Output.value_or("") ||
        again.Entries.size() != pictures.Count())
        lvfuzz::Broken("a saved project reads back different");
    for (std::size_t i = 0; i < pictures.Count(); ++i) {
        const TPictureEntry e = SplitPictureEntry(again.Entries[i]);
        std::string text = pictures.PictureTexts[i];
        std::replace_if(
            text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
        if (e.Path != pictures.PicturePaths[i] || e.Text != text)
            lvfuzz::Broken("a saved picture reads back different");
    }
    return 0;
}

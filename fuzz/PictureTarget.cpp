#include "fuzz/PictureTarget.h"

#include "Common/ImageFile.h"
#include "fuzz/FuzzInput.h"
#include "platform/Errors.h"

#include <QGuiApplication>

#include <cstdlib>

namespace lvfuzz {

void StartPictureTarget(int* argc, char*** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QGuiApplication app(*argc, *argv);
}

void FitPicture(const std::uint8_t* data, std::size_t size, const char* extension) {
    const std::string& path = WriteInput(data, size, extension);
    for (const auto& [w, h] : {std::pair{100, 75}, std::pair{320, 240}}) {
        try {
            const lv::TImageFile picture(path, w, h);
            if (picture.Raster().width() != w || picture.Raster().height() != h)
                Broken("the fitted picture does not have the size asked for");
        } catch (const lv::Error&) {
            return; // refused at one size: refused at the other too
        }
    }
}

} // namespace lvfuzz

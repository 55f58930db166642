// Renders chosen frames of a slideshow to PNG files, to look at the composition:
//   lumivane-preview-frames OUT_FOLDER WIDTHxHEIGHT N PICTURE...
// with pan, cross-fade and caption on; writes frames 0, N/2, N (first fade frame),
// N + F/2 and the last one.
#include "Common/FrameServer.h"
#include "Common/PictureList.h"

#include <QGuiApplication>

#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s OUT_FOLDER WIDTHxHEIGHT N PICTURE...\n", argv[0]);
        return 2;
    }
    const std::string out = argv[1];
    int w = 0, h = 0;
    if (std::sscanf(argv[2], "%dx%d", &w, &h) != 2 || w <= 0 || h <= 0) {
        std::fprintf(stderr, "bad size %s\n", argv[2]);
        return 2;
    }
    const int n = std::atoi(argv[3]);
    lv::TPictureList list;
    for (int i = 4; i < argc; ++i)
        list.Add(argv[i]);
    try {
        lv::TFrameServer fs(list.PicturePaths, &list.PictureTexts, n, h, w, true, true, true);
        const int f = fs.FadeFrames();
        QImage frame;
        for (int i : {0, n / 2, n, n + f / 2, fs.FrameCount() - 1}) {
            fs.RenderFrame(frame, i);
            const std::string name = out + "/frame" + std::to_string(i) + ".png";
            frame.convertToFormat(QImage::Format_RGB32).save(QString::fromStdString(name));
            std::printf("%s\n", name.c_str());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}

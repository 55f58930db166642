#include "support/Ffprobe.h"

#include "support/Process.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstring>

namespace lvtest {

std::vector<ProbedStream> probeStreams(const std::string& file, std::string* errors) {
    auto r = runProcess("ffprobe", {"-v", "error", "-count_packets", "-show_entries",
                                    "stream=codec_type,codec_name,codec_tag_string,codec_tag,"
                                    "r_frame_rate,width,height,nb_read_packets,sample_rate,"
                                    "channels",
                                    "-of", "json", file});
    if (errors)
        *errors = r.err;
    std::vector<ProbedStream> out;
    if (r.exitCode != 0)
        return out;
    const auto doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.out));
    for (const auto& v : doc.object().value("streams").toArray()) {
        const auto o = v.toObject();
        ProbedStream s;
        s.codecType = o.value("codec_type").toString().toStdString();
        s.codecName = o.value("codec_name").toString().toStdString();
        s.codecTagString = o.value("codec_tag_string").toString().toStdString();
        s.codecTag = o.value("codec_tag").toString().toStdString();
        s.frameRate = o.value("r_frame_rate").toString().toStdString();
        s.width = o.value("width").toInt();
        s.height = o.value("height").toInt();
        s.packets = o.value("nb_read_packets").toString("-1").toLongLong();
        s.sampleRate = o.value("sample_rate").toString("0").toInt();
        s.channels = o.value("channels").toInt();
        out.push_back(s);
    }
    return out;
}

std::string decodeErrors(const std::string& file) {
    auto r = runProcess("ffmpeg", {"-v", "error", "-i", file, "-f", "null", "-"});
    return r.exitCode == 0 ? r.err : "exit " + std::to_string(r.exitCode) + ": " + r.err;
}

} // namespace lvtest

namespace lvtest {

QImage videoFrame(const std::string& file, int n, int width, int height) {
    const auto r = runProcess(
        "ffmpeg", {"-v", "error", "-i", file, "-vf", "select=eq(n\\," + std::to_string(n) + ")",
                   "-vsync", "0", "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "bgra", "-"});
    if (r.out.size() != std::size_t(width) * std::size_t(height) * 4)
        return {};
    QImage frame(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        std::memcpy(frame.scanLine(y), r.out.data() + std::size_t(y) * std::size_t(width) * 4,
                    std::size_t(width) * 4);
    return frame;
}

} // namespace lvtest

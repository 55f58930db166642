#include "Audio/AbstractAudioFile.h"

#include <QDate>
#include <QLocale>
#include <QString>

#include <charconv>

namespace lv {

TAbstractAudioFile::TAbstractAudioFile(std::string fileName) : m_fileName(std::move(fileName)) {}

TAbstractAudioFile::~TAbstractAudioFile() = default;

double TAbstractAudioFile::Duration() {
    std::int64_t bytesPerSecond = std::int64_t(Channels()) * SampleRate() * BitsPerSample() / 8;
    if (bytesPerSecond <= 0)
        return 0;
    return double(DataSize()) / double(bytesPerSecond) / 86400.0;
}

std::string TAbstractAudioFile::GetTag(const std::string& name) {
    for (const std::string& line : Tags) {
        if (line.size() > name.size() && line[name.size()] == '=' &&
            line.compare(0, name.size(), name) == 0)
            return line.substr(name.size() + 1);
    }
    return {};
}

std::int32_t TAbstractAudioFile::GetTagInt(const std::string& name) {
    std::string value = GetTag(name);
    std::int32_t result = 0;
    const char* first = value.data();
    const char* last = value.data() + value.size();
    if (first != last && *first == '+')
        ++first;
    auto [end, ec] = std::from_chars(first, last, result);
    return ec == std::errc() && end == last ? result : 0;
}

double TAbstractAudioFile::GetTagDate(const std::string& name) {
    QDate date =
        QLocale::system().toDate(QString::fromStdString(GetTag(name)), QLocale::ShortFormat);
    if (!date.isValid())
        return 0;
    return double(QDate(1899, 12, 30).daysTo(date));
}

bool TAbstractAudioFile::RemoveTags(std::uint8_t) {
    return false;
}

bool TAbstractAudioFile::WriteTags(std::uint8_t) {
    return false;
}

} // namespace lv

#include "platform/SharedThumbnails.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QSaveFile>
#include <QUrl>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace lv {

namespace {

// Thumbnails carrying this name were turned upright by us.
const QString kSoftware = QStringLiteral("Lumivane");

struct Folder {
    const char* name;
    int size;
};
constexpr Folder kFolders[] = {
    {"normal", 128}, {"large", 256}, {"x-large", 512}, {"xx-large", 1024}};

std::string defaultRoot() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && *cache == '/')
        return std::string(cache) + "/thumbnails";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.cache/thumbnails";
}

// What the thumbnail of a file is keyed by. Nothing for a file that is not a regular one, or
// that lies in the cache itself.
struct Key {
    QByteArray uri;
    struct stat st {};
};

bool keyOf(const std::string& root, const std::string& fileName, Key& key) {
    const QString path =
        QDir::cleanPath(QFileInfo(QString::fromStdString(fileName)).absoluteFilePath());
    if (path.startsWith(QString::fromStdString(root) + '/'))
        return false;
    if (::stat(path.toLocal8Bit().constData(), &key.st) != 0 || !S_ISREG(key.st.st_mode))
        return false;
    key.uri = QUrl::fromLocalFile(path).toEncoded();
    return true;
}

std::string pathFor(const std::string& root, const QByteArray& uri, const char* folder) {
    const QByteArray md5 = QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex();
    return root + '/' + folder + '/' + md5.toStdString() + ".png";
}

bool describes(const QImage& thumb, const Key& key, bool othersToo) {
    if (thumb.text(QStringLiteral("Thumb::URI")).toUtf8() != key.uri)
        return false;
    bool ok = false;
    const double mtime = thumb.text(QStringLiteral("Thumb::MTime")).toDouble(&ok);
    if (!ok || std::floor(mtime) != double(key.st.st_mtime))
        return false;
    const QString size = thumb.text(QStringLiteral("Thumb::Size"));
    if (!size.isEmpty() && size.toULongLong() != static_cast<qulonglong>(key.st.st_size))
        return false;
    return othersToo || thumb.text(QStringLiteral("Software")) == kSoftware;
}

} // namespace

TSharedThumbnails::TSharedThumbnails(std::string root)
    : m_root(root.empty() ? defaultRoot() : std::move(root)) {}

std::string TSharedThumbnails::PathFor(const std::string& fileName, const char* folder) const {
    Key key;
    if (!keyOf(m_root, fileName, key))
        return {};
    return pathFor(m_root, key.uri, folder);
}

QImage TSharedThumbnails::Find(const std::string& fileName, QSize atLeast, bool othersToo) const {
    Key key;
    if (!keyOf(m_root, fileName, key))
        return {};
    for (const Folder& folder : kFolders) {
        if (atLeast.width() > folder.size || atLeast.height() > folder.size)
            continue;
        const std::string path = pathFor(m_root, key.uri, folder.name);
        QImageReader reader(QString::fromStdString(path), "png");
        const QSize size = reader.size();
        if (!size.isValid() || size.width() > folder.size || size.height() > folder.size ||
            size.width() < atLeast.width() || size.height() < atLeast.height())
            continue;
        // The keys from the read picture: the reader's own text() splits keys at their "::".
        const QImage image = reader.read();
        if (image.size() == size && describes(image, key, othersToo))
            // Opaque, as every picture of the program is.
            return image.convertToFormat(QImage::Format_RGB32)
                .convertToFormat(QImage::Format_ARGB32);
    }
    return {};
}

bool TSharedThumbnails::Store(const std::string& fileName, const QImage& image) const {
    Key key;
    if (image.isNull() || image.width() > kNormalSize || image.height() > kNormalSize ||
        !keyOf(m_root, fileName, key))
        return false;
    // The cache is private to the user: its folders 0700, its files 0600.
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(m_root).parent_path(), ec);
    ::mkdir(m_root.c_str(), 0700);
    const std::string folder = m_root + "/normal";
    ::mkdir(folder.c_str(), 0700);

    QImage png = image.convertToFormat(QImage::Format_RGB32);
    png.setText(QStringLiteral("Thumb::URI"), QString::fromUtf8(key.uri));
    png.setText(QStringLiteral("Thumb::MTime"), QString::number(qlonglong(key.st.st_mtime)));
    png.setText(QStringLiteral("Thumb::Size"), QString::number(qulonglong(key.st.st_size)));
    png.setText(QStringLiteral("Software"), kSoftware);
    // Written aside and renamed, so that no reader ever sees half a thumbnail.
    QSaveFile file(QString::fromStdString(pathFor(m_root, key.uri, "normal")));
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        !png.save(&file, "PNG")) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace lv

#include "platform/SharedThumbnails.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace lv {

namespace {

// Thumbnails carrying this name were turned upright by us.
const QString kSoftware = QStringLiteral("Lumivane");

struct Folder {
    const char* name;
    int size;
};
// A 1024 x 1024 thumbnail as raw RGBA PNG is 4 MiB.
constexpr off_t kMaxFileBytes = 8 << 20;

constexpr Folder kFolders[] = {
    {"normal", 128}, {"large", 256}, {"x-large", 512}, {"xx-large", 1024}};

std::string defaultRoot() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation).toStdString() +
           "/thumbnails";
}

// A file:// URI escaped as the desktop's file managers escape it, so that the MD5 names match:
// letters, digits and -_.!~*'()/:@&=+$, kept, every other byte as %XX.
QByteArray fileUri(const QString& path) {
    static const char kKept[] = "-_.!~*'()/:@&=+$,";
    QByteArray uri = "file://";
    for (const char c : path.toUtf8()) {
        const auto b = static_cast<unsigned char>(c);
        if (std::isalnum(b) && b < 0x80)
            uri += c;
        else if (b != 0 && std::strchr(kKept, c))
            uri += c;
        else
            uri += '%' + QByteArray::number(b, 16).toUpper().rightJustified(2, '0');
    }
    return uri;
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
    if (::stat(QFile::encodeName(path).constData(), &key.st) != 0 || !S_ISREG(key.st.st_mode))
        return false;
    key.uri = fileUri(path);
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
    : m_root(QDir::cleanPath(QString::fromStdString(root.empty() ? defaultRoot() : root))
                 .toStdString()) {}

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
        // Anyone's folder: only a regular file of a thumbnail's size is opened (a pipe there
        // would block, a huge file would be read whole).
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileBytes)
            continue;
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

bool TSharedThumbnails::Writable() const {
    // The cache is private to the user: its folders 0700, its files 0600.
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(m_root).parent_path(), ec);
    ::mkdir(m_root.c_str(), 0700);
    const std::string folder = m_root + "/normal";
    ::mkdir(folder.c_str(), 0700);
    return ::access(folder.c_str(), W_OK) == 0;
}

bool TSharedThumbnails::Store(const std::string& fileName, const QImage& image) const {
    Key key;
    if (image.isNull() || image.width() > kNormalSize || image.height() > kNormalSize ||
        !keyOf(m_root, fileName, key) || !Writable())
        return false;

    QImage png = image.convertToFormat(QImage::Format_RGB32);
    png.setText(QStringLiteral("Thumb::URI"), QString::fromUtf8(key.uri));
    png.setText(QStringLiteral("Thumb::MTime"), QString::number(qlonglong(key.st.st_mtime)));
    png.setText(QStringLiteral("Thumb::Size"), QString::number(qulonglong(key.st.st_size)));
    png.setText(QStringLiteral("Software"), kSoftware);
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    if (!png.save(&bytes, "PNG"))
        return false;
    // Written aside (0600) and renamed, so that no reader ever sees half a thumbnail. Not
    // synced to disk: a cache entry lost in a crash is only made again.
    const std::string target = pathFor(m_root, key.uri, "normal");
    QTemporaryFile file(QString::fromStdString(target) + ".XXXXXX");
    if (!file.open() || file.write(bytes.data()) != bytes.size() || !file.flush())
        return false;
    if (::rename(QFile::encodeName(file.fileName()).constData(), target.c_str()) != 0)
        return false;
    file.setAutoRemove(false);
    return true;
}

} // namespace lv

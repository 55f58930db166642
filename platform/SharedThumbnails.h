#pragma once

#include <QImage>
#include <QSize>

#include <string>

namespace lv {

// The desktop's shared thumbnail cache ($XDG_CACHE_HOME/thumbnails), kept by file managers
// and image viewers alike: a photo seen once, here or in the file manager, shows its thumbnail
// again without decoding megabytes. A thumbnail is a PNG named by the MD5 of the picture's
// file:// URI and serves while the picture's modification time and size are those it records.
// Every call stands alone, so several threads may share one object.
class TSharedThumbnails {
public:
    static constexpr int kNormalSize = 128; // the "normal" folder: at most 128 x 128

    // root: the cache folder; empty for the user's ($XDG_CACHE_HOME/thumbnails, else
    // ~/.cache/thumbnails).
    explicit TSharedThumbnails(std::string root = {});

    const std::string& Root() const { return m_root; }

    // The first valid thumbnail of the file at least atLeast in both directions, from the
    // smallest size folder up; null for none. Other programs' thumbnails serve only when
    // othersToo (they may not have turned a photo by its orientation tag).
    QImage Find(const std::string& fileName, QSize atLeast, bool othersToo) const;

    // Keeps image (at most 128 x 128) as the file's normal-size thumbnail. False when it
    // cannot be written: a thumbnail not kept is only made again next time.
    bool Store(const std::string& fileName, const QImage& image) const;

    // Whether thumbnails can be kept: the normal-size folder made if need be, and writable.
    bool Writable() const;

    // Where the file's thumbnail of a size folder ("normal", "large", ...) lives.
    std::string PathFor(const std::string& fileName, const char* folder = "normal") const;

private:
    std::string m_root;
};

} // namespace lv

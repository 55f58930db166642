#pragma once

#include "Common/FramesFader.h"
#include "Common/ImageFile.h"
#include "Common/StringList.h"
#include "platform/Dib.h"

#include <QImage>

#include <atomic>
#include <future>
#include <memory>
#include <string>

namespace lv {

// Composes frame i of a slideshow: the picture on screen (fitted, or enlarged and panned
// along one of four diagonals), the cross-fade between consecutive pictures, and the caption
// band. Frames are meant to be asked for in increasing order: the picture last loaded and the
// two end frames of the last transition are cached.
//
// Not thread-safe: one thread renders at a time. The lists are read, not owned, and must
// outlive the server; every change of `PicturePaths` (told by the list, in the changing
// thread) makes the next frame load its picture again.
class TFrameServer {
public:
    // pictureTexts may be null: the caption then shows the file name.
    TFrameServer(const TStringList& picturePaths, const TStringList* pictureTexts,
                 int framesPerPicture, int frameHeight, int frameWidth, bool dynamicPictures,
                 bool crossFade, bool textOverlay);
    ~TFrameServer();
    TFrameServer(const TFrameServer&) = delete;
    TFrameServer& operator=(const TFrameServer&) = delete;

    // count x N + (count - 1) x F; meaningful for a non-empty list.
    int FrameCount() const;
    // Composes frame i (0 <= i < FrameCount) into dest, which becomes W x H. Throws the
    // loader's error for a picture that cannot be read; the next call tries it again.
    void RenderFrame(QImage& dest, int i);
    // Frame i as a 24-bit bitmap: ImageToDib of the frame above. A fade's frame is composed
    // band by band straight into the bitmap, so that no whole 32-bit frame is held besides the
    // fade's own two (33 MB less at 4K); scratch serves the other frames.
    void RenderFrame(TDib& dib, int i, QImage& scratch);

    int FramesPerPicture() const { return m_n; }
    int FadeFrames() const { return m_f; }
    long double StepX() const { return m_stepX; }
    long double StepY() const { return m_stepY; }
    int CurrentIndex() const { return m_currentIndex; }

    // With prefetch on, loading picture k starts loading picture k + 1 on another thread, so
    // that decoding and fitting overlap the encoding of picture k. The frames are the same.
    void SetPrefetch(bool on) { m_prefetch = on; }
    // With read-ahead on, a picture loads on two threads (see TImageFile): for a preview,
    // whose jumps wait for the load. The frames are the same.
    void SetReadAhead(bool on) { m_readAhead = on; }

    // Pictures of thumbnail size come through the cache (not owned; null for none).
    void SetSharedThumbnails(const TSharedThumbnails* cache) { m_thumbnails = cache; }

    // Offsets of the W x H window over the enlarged picture k at step s.
    void PanOffsets(int k, int s, int& x, int& y) const;

private:
    // nextNow: picture k + 1 is needed too (a fade), and loads beside k when k was not
    // loaded ahead.
    void LoadPicture(int k, bool nextNow = false);
    void PrefetchAfter(int k);
    void RenderPicture(int k, int s, QImage& dest);
    void RenderFade(int k, int t, QImage& dest);
    // The two frames of the fade after picture k; dest's memory is released while the next
    // picture loads.
    void PrepareFade(int k, QImage& dest);
    // Into dest, whose row 0 is row `top` of a frame of frameHeight rows (dest's height when
    // 0), which must hold every row from CaptionFirstRow on.
    void DrawCaption(QImage& dest, int top = 0, int frameHeight = 0);
    static int CaptionFirstRow(int w, int h);
    const std::string& CaptionText(int k, std::string& scratch) const;

    const TStringList& m_paths;
    const TStringList* m_texts;
    const int m_n;
    const int m_f;
    const int m_height;
    const int m_width;
    const long double m_stepY;
    const long double m_stepX;
    const bool m_dynamic;
    const bool m_crossFade;
    const bool m_textOverlay;

    std::unique_ptr<TImageFile> LoadFitted(int k) const;
    std::unique_ptr<TImageFile> TakePrefetched(int k);

    std::unique_ptr<TImageFile> m_current;
    std::atomic<int> m_currentIndex{-1};
    bool m_prefetch = false;
    bool m_readAhead = false;
    const TSharedThumbnails* m_thumbnails = nullptr;
    std::atomic<int> m_nextIndex{-1}; // picture the prefetch is loading; -1 for none
    std::future<std::unique_ptr<TImageFile>> m_next;
    std::future<std::unique_ptr<TImageFile>> m_dropped; // a prefetch no longer wanted
    int m_fadeIndex = -1;
    QImage m_fadeA;
    QImage m_fadeB;
    TFramesFader m_fader;

    // The caption's text coverage, rasterised once per picture and frame size.
    struct CaptionCache;
    std::unique_ptr<CaptionCache> m_caption;
    std::string m_captionScratch;

    TStringList::Subscription m_watch;
};

} // namespace lv

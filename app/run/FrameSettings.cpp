#include "app/run/FrameSettings.h"

#include "Common/VideoMakerThd.h"

namespace lv {

TFrameSettings FrameSettingsOf(const TRunSettings& s) {
    TFrameSettings f;
    const TResolution res = ParseResolution(s.Resolution);
    f.Width = res.Width;
    f.Height = res.Height;
    f.FrameTime = s.Fps > 0 ? 1000 / s.Fps : 1000;
    f.FramesPerPicture =
        TVideoMakerThd::FramesPerPicture(s.TimePerPicture, f.FrameTime, s.SingleFrame);
    f.Dynamic = s.DynamicPictures && !s.SingleFrame;
    f.CrossFade = s.CrossFade && !s.SingleFrame;
    f.TextOverlay = s.TextOverlay && !s.SingleFrame;
    return f;
}

} // namespace lv

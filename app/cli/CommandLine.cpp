#include "app/cli/CommandLine.h"

#include "app/run/RunSettings.h"

#include <charconv>
#include <functional>
#include <limits>
#include <map>

namespace lv {

namespace {

int parseInt(const std::string& option, const std::string& value, int low, int high) {
    int n = 0;
    auto [ptr, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    if (ec != std::errc() || ptr != value.data() + value.size() || value.empty())
        throw UsageError(option + " takes a whole number, not '" + value + "'");
    if (n < low || n > high)
        throw UsageError(option + " must be within " + std::to_string(low) + ".." +
                         std::to_string(high) + ", not " + value);
    return n;
}

std::string checkResolution(const std::string& value) {
    const auto x = value.find('x');
    if (x == std::string::npos)
        throw UsageError("--resolution takes WIDTHxHEIGHT, not '" + value + "'");
    parseInt("--resolution width", value.substr(0, x), 16, 7680);
    parseInt("--resolution height", value.substr(x + 1), 16, 4320);
    return value;
}

} // namespace

std::string UsageText() {
    std::string sizes;
    for (const std::string& item : ResolutionItems())
        sizes += (sizes.empty() ? "" : ", ") + item;
    std::string text = R"(Usage: lumivane-render PROJECT.lmv [options]
  or:  lumivane-render --list-codecs
  or:  lumivane-render --duration SOUNDFILE

Renders a project's pictures to a video, as the window's "Go !" does. The output's name
chooses the container: ".mp4" writes MP4 (with H264 it plays in web browsers and on
phones), ".mkv" Matroska (with H264 it plays in browsers and desktop players), anything
else AVI (desktop players). The soundtrack's MPEG audio frames are copied as they are.

Options:
  -o, --output FILE        the video to write (default: the project's output)
  -c, --codec FOURCC       compressor, see --list-codecs (default: the last one used,
                           or xvid)
  -r, --resolution WxH     frame size, any WIDTHxHEIGHT (default 640x480); the window
                           offers @SIZES@
  -f, --fps N              frames per second, 1..60 (default 15, or 25 with --dynamic)
  -t, --time MS            time per picture in milliseconds, 100..60000 (default 3000)
      --dynamic            slow pan over each picture (default off)
      --no-crossfade       no cross-fade between pictures (default on)
      --no-caption         no caption band with number and text (default on)
      --single-frame       one frame per picture, no visual options
  -s, --sound FILE         MP3 soundtrack copied into the video (default: the project's)
      --no-sound           ignore the project's soundtrack
      --match-audio        time per picture from the soundtrack's duration
      --frame N            write frame N (from 0) as a PNG to the output instead of the
                           video: exactly the frame the video holds before compression
  -q, --quiet              no progress output
      --list-codecs        list the installed compressors and exit
      --duration FILE      print a sound file's duration (m:ss or h:mm:ss) and exit
  -h, --help               this text
      --version            the program's version
  --                       what follows is the project, even if it starts with '-'

Ctrl-C cancels: the video written so far is closed and the command exits with 130.
A cancelled run never replaces an earlier video of the output's name: that one stays as
it was, and the video made so far goes beside it (NAME.partial.avi), or stays in
temp.avi when the soundtrack was being joined; the last message says where.
)";
    // Wrapped where a line would pass 88 characters, as the rest of the text is.
    std::string list;
    std::size_t column = 34;
    for (std::size_t start = 0; start < sizes.size();) {
        std::size_t end = sizes.find(", ", start);
        end = end == std::string::npos ? sizes.size() : end + 2;
        const std::string item = sizes.substr(start, end - start);
        if (column + item.size() > 88) {
            list += "\n" + std::string(27, ' ');
            column = 27;
        }
        list += item;
        column += item.size();
        start = end;
    }
    text.replace(text.find("@SIZES@"), 7, list);
    return text;
}

TCliOptions ParseCommandLine(const std::vector<std::string>& args) {
    TCliOptions o;
    std::vector<std::string> positional;
    using Setter = std::function<void(const std::string&)>;
    const std::map<std::string, Setter> withValue = {
        {"--output", [&](const std::string& v) { o.output = v; }},
        {"--codec",
         [&](const std::string& v) {
             if (v.empty() || v.size() > 4)
                 throw UsageError("--codec takes a FourCC of 1 to 4 characters, not '" + v + "'");
             o.codec = v;
         }},
        {"--resolution", [&](const std::string& v) { o.resolution = checkResolution(v); }},
        {"--fps", [&](const std::string& v) { o.fps = parseInt("--fps", v, 1, 60); }},
        {"--time",
         [&](const std::string& v) { o.timePerPicture = parseInt("--time", v, 100, 60000); }},
        {"--sound", [&](const std::string& v) { o.soundtrack = v; }},
        {"--frame",
         [&](const std::string& v) {
             o.frame = parseInt("--frame", v, 0, std::numeric_limits<int>::max());
         }},
        {"--duration",
         [&](const std::string& v) {
             o.action = TCliOptions::Action::Duration;
             o.audioFile = v;
         }},
    };
    const std::map<std::string, std::function<void()>> flags = {
        {"--dynamic", [&] { o.dynamicPictures = true; }},
        {"--no-dynamic", [&] { o.dynamicPictures = false; }},
        {"--crossfade", [&] { o.crossFade = true; }},
        {"--no-crossfade", [&] { o.crossFade = false; }},
        {"--caption", [&] { o.textOverlay = true; }},
        {"--no-caption", [&] { o.textOverlay = false; }},
        {"--single-frame", [&] { o.singleFrame = true; }},
        {"--no-sound", [&] { o.soundtrack = std::string(); }},
        {"--match-audio", [&] { o.matchAudio = true; }},
        {"--quiet", [&] { o.quiet = true; }},
        {"--list-codecs", [&] { o.action = TCliOptions::Action::ListCodecs; }},
        {"--help", [&] { o.action = TCliOptions::Action::Help; }},
        {"--version", [&] { o.action = TCliOptions::Action::Version; }},
    };
    const std::map<std::string, std::string> shortNames = {
        {"-o", "--output"}, {"-c", "--codec"}, {"-r", "--resolution"}, {"-f", "--fps"},
        {"-t", "--time"},   {"-s", "--sound"}, {"-q", "--quiet"},      {"-h", "--help"}};

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg == "--") {
            positional.insert(positional.end(), args.begin() + std::ptrdiff_t(i) + 1, args.end());
            break;
        }
        if (arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        std::optional<std::string> inlineValue;
        if (auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
        }
        if (auto s = shortNames.find(arg); s != shortNames.end())
            arg = s->second;
        if (auto f = flags.find(arg); f != flags.end()) {
            if (inlineValue)
                throw UsageError(arg + " takes no value");
            f->second();
        } else if (auto v = withValue.find(arg); v != withValue.end()) {
            if (!inlineValue && i + 1 >= args.size())
                throw UsageError(arg + " needs a value");
            v->second(inlineValue ? *inlineValue : args[++i]);
        } else {
            throw UsageError("unknown option " + arg);
        }
    }

    if (o.action == TCliOptions::Action::Render) {
        if (positional.size() != 1)
            throw UsageError(positional.empty() ? "no project file given"
                                                : "more than one project file given");
        o.project = positional[0];
        if (o.matchAudio && o.timePerPicture)
            throw UsageError("--match-audio and --time exclude each other");
        if (o.frame && !o.output)
            throw UsageError("--frame needs --output FILE.png");
    } else if (!positional.empty()) {
        throw UsageError("unexpected argument " + positional[0]);
    }
    return o;
}

} // namespace lv

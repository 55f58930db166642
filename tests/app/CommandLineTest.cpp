#include "app/cli/CommandLine.h"
#include "app/cli/ProgressPrinter.h"
#include "app/run/RunSettings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using lv::ParseCommandLine;
using lv::TCliOptions;

TEST(CommandLine, OptionsTakeTheirValuesInEitherSpelling) {
    const TCliOptions o =
        ParseCommandLine({"show.lmv", "-o", "out.avi", "--codec=FMP4", "-r", "720x576", "--fps",
                          "25", "--time=2500", "--dynamic", "--no-caption", "-s", "song.mp3"});
    EXPECT_EQ(o.action, TCliOptions::Action::Render);
    EXPECT_EQ(o.project, "show.lmv");
    EXPECT_EQ(o.output, "out.avi");
    EXPECT_EQ(o.codec, "FMP4");
    EXPECT_EQ(o.resolution, "720x576");
    EXPECT_EQ(o.fps, 25);
    EXPECT_EQ(o.timePerPicture, 2500);
    EXPECT_EQ(o.dynamicPictures, true);
    EXPECT_EQ(o.textOverlay, false);
    EXPECT_FALSE(o.crossFade.has_value()) << "unset: the window's default applies";
    EXPECT_EQ(o.soundtrack, "song.mp3");

    EXPECT_EQ(ParseCommandLine({"--list-codecs"}).action, TCliOptions::Action::ListCodecs);
    EXPECT_EQ(ParseCommandLine({"--version"}).action, TCliOptions::Action::Version);
    const auto d = ParseCommandLine({"--duration", "a.ogg"});
    EXPECT_EQ(d.action, TCliOptions::Action::Duration);
    EXPECT_EQ(d.audioFile, "a.ogg");
    EXPECT_EQ(ParseCommandLine({"x.lmv", "--no-sound"}).soundtrack, "");
    // After "--" a name that starts with '-' is the project.
    EXPECT_EQ(ParseCommandLine({"-q", "--", "-odd.lmv"}).project, "-odd.lmv");

    // The help lists every size the window offers, on lines of at most 88 characters.
    const std::string help = lv::UsageText();
    for (const std::string& size : lv::ResolutionItems())
        EXPECT_NE(help.find(size), std::string::npos) << size;
    for (std::size_t start = 0, end; start < help.size(); start = end + 1) {
        end = help.find('\n', start);
        EXPECT_LE(end - start, 88u) << help.substr(start, end - start);
    }
}

TEST(CommandLine, BadOrOutOfRangeOptionsAreUsageErrorsThatSayWhy) {
    const struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{}, "no project file"},
        {{"a.lmv", "b.lmv"}, "more than one"},
        {{"a.lmv", "--fps", "0"}, "--fps must be within 1..60"},
        {{"a.lmv", "--fps", "61"}, "--fps must be within 1..60"},
        {{"a.lmv", "-f", "12.5"}, "whole number"},
        {{"a.lmv", "--time", "99"}, "--time must be within 100..60000"},
        {{"a.lmv", "--time", "60001"}, "--time must be within 100..60000"},
        {{"a.lmv", "-r", "640*480"}, "WIDTHxHEIGHT"},
        {{"a.lmv", "-r", "8x480"}, "width must be within"},
        {{"a.lmv", "--codec", "TOOLONG"}, "FourCC"},
        {{"a.lmv", "--output"}, "needs a value"},
        {{"a.lmv", "--dynamic=yes"}, "takes no value"},
        {{"a.lmv", "--frobnicate"}, "unknown option --frobnicate"},
        {{"a.lmv", "--match-audio", "-t", "500"}, "exclude each other"},
        {{"--list-codecs", "a.lmv"}, "unexpected argument"},
    };
    for (const auto& c : cases) {
        try {
            ParseCommandLine(c.args);
            ADD_FAILURE() << "accepted: " << c.says;
        } catch (const lv::UsageError& e) {
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
        }
    }
}

TEST(ProgressPrinter, PlainLinesForALogAndClockFormat) {
    char* buf = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&buf, &size);
    {
        lv::TProgressPrinter p(out, false);
        p.Frames(0, 100); // before the loop
        for (int i = 0; i < 100; ++i)
            p.Frames(i, 100);
        p.Frames(0, 100); // after the writer is closed
        p.Finish();
    }
    std::fclose(out);
    const std::string text(buf, size);
    free(buf);
    // One line per tenth: 1, 10, 20 ... 100 frames.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 11) << text;
    EXPECT_NE(text.find("100/100 frames"), std::string::npos) << text;
    EXPECT_EQ(text.find('\r'), std::string::npos) << "no redrawing outside a terminal";
    EXPECT_EQ(lv::TProgressPrinter::Clock(65), "1:05");
    EXPECT_EQ(lv::TProgressPrinter::Clock(3723), "1:02:03");
    EXPECT_EQ(lv::TProgressPrinter::Clock(-1), "--:--");
}

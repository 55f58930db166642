#include "platform/DynLib.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// Sets the switch for one test and restores the variable as it was.
class DisableSwitch {
public:
    explicit DisableSwitch(const char* value) {
        const char* old = std::getenv(lv::kDisableLibsVariable);
        m_had = old != nullptr;
        if (old)
            m_old = old;
        if (value)
            setenv(lv::kDisableLibsVariable, value, 1);
        else
            unsetenv(lv::kDisableLibsVariable);
    }
    ~DisableSwitch() {
        if (m_had)
            setenv(lv::kDisableLibsVariable, m_old.c_str(), 1);
        else
            unsetenv(lv::kDisableLibsVariable);
    }

private:
    bool m_had = false;
    std::string m_old;
};

TEST(DynLib, SwitchNamesLibrariesByShortNameInAnyCase) {
    {
        DisableSwitch off(nullptr);
        EXPECT_FALSE(lv::LibraryDisabled("ogg"));
    }
    DisableSwitch off(" Vorbisfile,a52,, MPCDEC ");
    EXPECT_TRUE(lv::LibraryDisabled("vorbisfile"));
    EXPECT_TRUE(lv::LibraryDisabled("A52"));
    EXPECT_TRUE(lv::LibraryDisabled("mpcdec"));
    // Whole names only.
    EXPECT_FALSE(lv::LibraryDisabled("vorbis"));
    EXPECT_FALSE(lv::LibraryDisabled("a5"));
    EXPECT_FALSE(lv::LibraryDisabled("a52x"));
    EXPECT_FALSE(lv::LibraryDisabled(""));
}

TEST(DynLib, LoadsResolvesAndReportsWhatFailed) {
    DisableSwitch off("ogg");
    lv::TLibraryStatus status;

    auto libm = lv::LoadLibraryChecked("libm.so.6", "m", {"cos", "sqrt"}, status);
    ASSERT_TRUE(libm);
    EXPECT_TRUE(status.Available);
    EXPECT_EQ(status.Problem, "");
    double (*cosine)(double) = nullptr;
    ASSERT_TRUE(libm->Resolve(cosine, "cos"));
    EXPECT_EQ(cosine(0.0), 1.0);
    double (*none)(double) = nullptr;
    EXPECT_FALSE(libm->Resolve(none, "no_such_function"));
    EXPECT_EQ(none, nullptr);
    std::vector<std::string> missing;
    auto procs = libm->ResolveAll({"sin", "nope_1", "tan", "nope_2"}, missing);
    ASSERT_EQ(procs.size(), 4u);
    EXPECT_NE(procs[0], nullptr);
    EXPECT_EQ(procs[1], nullptr);
    EXPECT_EQ(missing, (std::vector<std::string>{"nope_1", "nope_2"}));

    // Loads, but lacks an export: the failed check names it and the library is let go.
    EXPECT_FALSE(lv::LoadLibraryChecked("libm.so.6", "m", {"cos", "no_such_export"}, status));
    EXPECT_FALSE(status.Available);
    EXPECT_EQ(status.Problem, "libm.so.6 lacks no_such_export");

    EXPECT_FALSE(lv::LoadLibraryChecked("liblumivane-absent.so.1", "lumivane-absent", {}, status));
    EXPECT_EQ(status.FileName, "liblumivane-absent.so.1");
    EXPECT_EQ(status.Problem, "not found");

    // Present on this machine, but switched off.
    EXPECT_FALSE(lv::LoadLibraryChecked("libogg.so.0", "ogg", {}, status));
    EXPECT_EQ(status.Problem, "disabled");
    EXPECT_EQ(lv::TDynLib::Open("libogg.so.0", "ogg"), nullptr);
    EXPECT_NE(lv::TDynLib::Open("libogg.so.0", "ogg-by-another-name"), nullptr);
}

} // namespace

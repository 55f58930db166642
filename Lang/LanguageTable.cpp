#include "Lang/LanguageTable.h"

#include "Lang/LanguagePack.h"
#include "platform/Errors.h"
#include "platform/Files.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace lv {

namespace {

struct TLocaleId {
    const char* Name; // language, or language_TERRITORY, or language@script
    std::uint16_t LangId;
};

// Languages by their default: sublanguage 1, or the one sublanguage the table knows.
constexpr TLocaleId kLanguages[] = {
    {"af", 0x0436},  {"sq", 0x041C}, {"ar", 0x0401},  {"hy", 0x042B}, {"as", 0x044D},
    {"az", 0x042C},  {"eu", 0x042D}, {"be", 0x0423},  {"bn", 0x0445}, {"bg", 0x0402},
    {"my", 0x0455},  {"ca", 0x0403}, {"zh", 0x0404},  {"hr", 0x041A}, {"cs", 0x0405},
    {"da", 0x0406},  {"nl", 0x0413}, {"en", 0x0409},  {"et", 0x0425}, {"fo", 0x0438},
    {"fa", 0x0429},  {"fi", 0x040B}, {"fr", 0x040C},  {"gl", 0x0456}, {"ka", 0x0437},
    {"de", 0x0407},  {"el", 0x0408}, {"gu", 0x0447},  {"he", 0x040D}, {"iw", 0x040D},
    {"hi", 0x0439},  {"hu", 0x040E}, {"is", 0x040F},  {"id", 0x0421}, {"in", 0x0421},
    {"it", 0x0410},  {"ja", 0x0411}, {"kn", 0x044B},  {"ks", 0x0860}, {"kk", 0x043F},
    {"kok", 0x0457}, {"ko", 0x0412}, {"lv", 0x0426},  {"lt", 0x0427}, {"mk", 0x042F},
    {"ms", 0x043E},  {"ml", 0x044C}, {"mni", 0x0458}, {"mr", 0x044E}, {"ne", 0x0861},
    {"nb", 0x0414},  {"no", 0x0414}, {"nn", 0x0814},  {"or", 0x0448}, {"pl", 0x0415},
    {"pt", 0x0416},  {"pa", 0x0446}, {"ro", 0x0418},  {"ru", 0x0419}, {"sa", 0x044F},
    {"sr", 0x0C1A},  {"sd", 0x0459}, {"sk", 0x041B},  {"sl", 0x0424}, {"es", 0x040A},
    {"st", 0x0430},  {"sw", 0x0441}, {"sv", 0x041D},  {"ta", 0x0449}, {"tt", 0x0444},
    {"te", 0x044A},  {"th", 0x041E}, {"tr", 0x041F},  {"uk", 0x0422}, {"ur", 0x0420},
    {"uz", 0x0443},  {"vi", 0x042A},
};

// Territories and scripts the table tells apart.
constexpr TLocaleId kVariants[] = {
    {"ar_SA", 0x0401},       {"ar_IQ", 0x0801},       {"ar_EG", 0x0C01},   {"ar_LY", 0x1001},
    {"ar_DZ", 0x1401},       {"ar_MA", 0x1801},       {"ar_TN", 0x1C01},   {"ar_OM", 0x2001},
    {"ar_YE", 0x2401},       {"ar_SY", 0x2801},       {"ar_JO", 0x2C01},   {"ar_LB", 0x3001},
    {"ar_KW", 0x3401},       {"ar_AE", 0x3801},       {"ar_BH", 0x3C01},   {"ar_QA", 0x4001},
    {"az@cyrillic", 0x082C}, {"zh_TW", 0x0404},       {"zh_CN", 0x0804},   {"zh_HK", 0x0C04},
    {"zh_SG", 0x1004},       {"zh_MO", 0x1404},       {"zh@hant", 0x0404}, {"zh@hans", 0x0804},
    {"nl_NL", 0x0413},       {"nl_BE", 0x0813},       {"en_US", 0x0409},   {"en_GB", 0x0809},
    {"en_AU", 0x0C09},       {"en_CA", 0x1009},       {"en_NZ", 0x1409},   {"en_IE", 0x1809},
    {"en_ZA", 0x1C09},       {"en_JM", 0x2009},       {"en_029", 0x2409},  {"en_BZ", 0x2809},
    {"en_TT", 0x2C09},       {"en_ZW", 0x3009},       {"en_PH", 0x3409},   {"fr_FR", 0x040C},
    {"fr_BE", 0x080C},       {"fr_CA", 0x0C0C},       {"fr_CH", 0x100C},   {"fr_LU", 0x140C},
    {"fr_MC", 0x180C},       {"de_DE", 0x0407},       {"de_CH", 0x0807},   {"de_AT", 0x0C07},
    {"de_LU", 0x1007},       {"de_LI", 0x1407},       {"it_IT", 0x0410},   {"it_CH", 0x0810},
    {"lt@classic", 0x0827},  {"ms_MY", 0x043E},       {"ms_BN", 0x083E},   {"nb_NO", 0x0414},
    {"nn_NO", 0x0814},       {"no_NO", 0x0414},       {"pt_BR", 0x0416},   {"pt_PT", 0x0816},
    {"sr@latin", 0x081A},    {"sr@cyrillic", 0x0C1A}, {"es_ES", 0x0C0A},   {"es_MX", 0x080A},
    {"es_GT", 0x100A},       {"es_CR", 0x140A},       {"es_PA", 0x180A},   {"es_DO", 0x1C0A},
    {"es_VE", 0x200A},       {"es_CO", 0x240A},       {"es_PE", 0x280A},   {"es_AR", 0x2C0A},
    {"es_EC", 0x300A},       {"es_CL", 0x340A},       {"es_UY", 0x380A},   {"es_PY", 0x3C0A},
    {"es_BO", 0x400A},       {"es_SV", 0x440A},       {"es_HN", 0x480A},   {"es_NI", 0x4C0A},
    {"es_PR", 0x500A},       {"sv_SE", 0x041D},       {"sv_FI", 0x081D},   {"ur_PK", 0x0420},
    {"ur_IN", 0x0820},       {"uz@cyrillic", 0x0843},
};

std::uint16_t find(const TLocaleId* begin, const TLocaleId* end, const std::string& name) {
    for (const TLocaleId* p = begin; p != end; ++p)
        if (name == p->Name)
            return p->LangId;
    return 0;
}

std::string lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string upper(std::string s) {
    for (char& c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool allOf(const std::string& s, int (*test)(int)) {
    return std::all_of(s.begin(), s.end(), [test](char c) { return test((unsigned char)c); });
}

} // namespace

const std::vector<std::uint16_t>& LanguageTable() {
    static const std::vector<std::uint16_t> table = {
        0x0000, 0x0400, 0x0436, 0x041C, 0x0401, 0x0801, 0x0C01, 0x1001, 0x1401, 0x1801, 0x1C01,
        0x2001, 0x2401, 0x2801, 0x2C01, 0x3001, 0x3401, 0x3801, 0x3C01, 0x4001, 0x042B, 0x044D,
        0x042C, 0x082C, 0x042D, 0x0423, 0x0445, 0x0402, 0x0455, 0x0403, 0x0404, 0x0804, 0x0C04,
        0x1004, 0x1404, 0x041A, 0x0405, 0x0406, 0x0413, 0x0813, 0x0409, 0x0809, 0x0C09, 0x1009,
        0x1409, 0x1809, 0x1C09, 0x2009, 0x2409, 0x2809, 0x2C09, 0x3009, 0x3409, 0x0425, 0x0438,
        0x0429, 0x040B, 0x040C, 0x080C, 0x0C0C, 0x100C, 0x140C, 0x180C, 0x0456, 0x0437, 0x0407,
        0x0807, 0x0C07, 0x1007, 0x1407, 0x0408, 0x0447, 0x040D, 0x0439, 0x040E, 0x040F, 0x0421,
        0x0410, 0x0810, 0x0411, 0x044B, 0x0860, 0x043F, 0x0457, 0x0412, 0x0812, 0x0426, 0x0427,
        0x0827, 0x042F, 0x043E, 0x083E, 0x044C, 0x0458, 0x044E, 0x0861, 0x0414, 0x0814, 0x0448,
        0x0415, 0x0416, 0x0816, 0x0446, 0x0418, 0x0419, 0x044F, 0x0C1A, 0x081A, 0x0459, 0x041B,
        0x0424, 0x040A, 0x080A, 0x0C0A, 0x100A, 0x140A, 0x180A, 0x1C0A, 0x200A, 0x240A, 0x280A,
        0x2C0A, 0x300A, 0x340A, 0x380A, 0x3C0A, 0x400A, 0x440A, 0x480A, 0x4C0A, 0x500A, 0x0430,
        0x0441, 0x041D, 0x081D, 0x0449, 0x0444, 0x044A, 0x041E, 0x041F, 0x0422, 0x0420, 0x0820,
        0x0443, 0x0843, 0x042A,
    };
    return table;
}

std::string PackFileName(const std::string& folder, const std::string& prefix,
                         std::uint32_t packed) {
    return folder + prefix + hex8(packed) + ".SPK";
}

std::uint16_t LangIdFromLocale(const std::string& localeName) {
    // "fr_CA.UTF-8", "sr_RS@latin", "zh-Hant-TW": language, then territory or script.
    std::string name = localeName;
    std::string modifier;
    if (auto at = name.find('@'); at != std::string::npos) {
        modifier = lower(name.substr(at + 1));
        name.erase(at);
    }
    if (auto dot = name.find('.'); dot != std::string::npos)
        name.erase(dot);
    std::vector<std::string> parts;
    for (std::size_t start = 0;;) {
        const std::size_t sep = name.find_first_of("_-", start);
        parts.push_back(name.substr(start, sep - start));
        if (sep == std::string::npos)
            break;
        start = sep + 1;
    }
    const std::string language = lower(parts[0]);
    std::string territory;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        if (part.size() == 4 && allOf(part, isalpha)) {
            const std::string script = lower(part);
            modifier = script == "latn" ? "latin" : script == "cyrl" ? "cyrillic" : script;
        } else if ((part.size() == 2 && allOf(part, isalpha)) ||
                   (part.size() == 3 && allOf(part, isdigit))) {
            territory = upper(part);
        }
    }

    const std::uint16_t base = find(std::begin(kLanguages), std::end(kLanguages), language);
    if (base == 0)
        return 0;
    // The territory says more than the script (zh-Hant-HK is Hong Kong).
    if (!territory.empty())
        if (auto id = find(std::begin(kVariants), std::end(kVariants), language + "_" + territory))
            return id;
    if (!modifier.empty())
        if (auto id = find(std::begin(kVariants), std::end(kVariants), language + "@" + modifier))
            return id;
    return base;
}

std::vector<TFoundPack> ScanPacks(const std::string& folder, const std::string& prefix,
                                  const std::function<void(const std::string&)>& skipped) {
    std::vector<TFoundPack> found;
    const auto& table = LanguageTable();
    for (std::size_t i = 1; i < table.size(); ++i) {
        for (int index = 0; index <= 0xFFFF; ++index) {
            const std::uint32_t packed = PackedLanguageId(index, table[i]);
            std::string file = PackFileName(folder, prefix, packed);
            if (!FileExists(file))
                break;
            try {
                TPackListing listing = ReadPackListing(file);
                found.push_back(
                    {packed, std::move(file), std::move(listing.Display), listing.Revision});
            } catch (const Error& e) {
                if (skipped)
                    skipped(e.what());
            }
        }
    }
    return found;
}

int SelectLanguage(const std::vector<TFoundPack>& packs, std::int64_t stored,
                   std::uint16_t userLangId) {
    auto first = [&](auto matches) {
        for (std::size_t i = 0; i < packs.size(); ++i)
            if (matches(packs[i].Packed))
                return int(i);
        return -1;
    };
    auto byLanguage = [&](std::uint16_t langId) {
        int i = first([&](std::uint32_t p) { return LangIdOf(p) == langId; });
        if (i < 0)
            i = first([&](std::uint32_t p) {
                return PrimaryLanguage(LangIdOf(p)) == PrimaryLanguage(langId);
            });
        return i;
    };
    if (stored < 0)
        return byLanguage(userLangId);
    if (stored > std::int64_t(UINT32_MAX))
        return -1;
    const auto value = std::uint32_t(stored);
    const int exact = first([&](std::uint32_t p) { return p == value; });
    return exact >= 0 ? exact : byLanguage(LangIdOf(value));
}

bool IsTemplateSwitch(const std::string& argument) {
    if (argument.size() < 3 || (argument[0] != '-' && argument[0] != '/'))
        return false;
    if (argument.find('/', 1) != std::string::npos)
        return false; // a path, not a switch
    return (argument[1] == 'c' || argument[1] == 'C') && (argument[2] == 'o' || argument[2] == 'O');
}

} // namespace lv

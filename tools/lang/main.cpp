// lumivane-lang: language packs from plain text tables and back, so translators never edit
// binary files.
//   lumivane-lang export TEMPLATE.SPK [PACK.SPK]   table of the template's texts (with the
//                                                  pack's translations) on standard output
//   lumivane-lang build TABLE.tsv PACK.SPK         the pack a table stands for
// `lumivane -co` writes the template of the running program (LMV_ORIGINAL.SPK).
#include "Lang/LanguagePack.h"
#include "Lang/PackTable.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0); // flags are drawn, no display needed
    QGuiApplication app(argc, argv);
    const std::string command = argc > 1 ? argv[1] : "";
    // A text cut to its bound would otherwise come back cut in the pack built from the table.
    auto readPack = [](const char* file) {
        lv::TPack pack = lv::ReadPack(file);
        for (const std::string& cut : pack.Cuts)
            std::fprintf(stderr, "lumivane-lang: %s\n", cut.c_str());
        return pack;
    };
    try {
        if (command == "export" && (argc == 3 || argc == 4)) {
            const lv::TPack english = readPack(argv[2]);
            lv::TPack translated;
            if (argc == 4)
                translated = readPack(argv[3]);
            std::cout << lv::FormatTable(
                lv::TableFromPacks(english, argc == 4 ? &translated : nullptr));
            return 0;
        }
        if (command == "build" && argc == 4) {
            std::ifstream in(argv[2], std::ios::binary);
            if (!in) {
                std::fprintf(stderr, "lumivane-lang: cannot read %s\n", argv[2]);
                return 1;
            }
            std::stringstream text;
            text << in.rdbuf();
            lv::WritePack(argv[3], lv::PackFromTable(lv::ParseTable(text.str())));
            return 0;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lumivane-lang: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: lumivane-lang export TEMPLATE.SPK [PACK.SPK]\n"
                         "       lumivane-lang build TABLE.tsv PACK.SPK\n");
    return 2;
}

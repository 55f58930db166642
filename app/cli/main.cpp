#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    std::fprintf(stderr, "usage: lumivane-render PROJECT.lmv [options]\n");
    return 2;
}

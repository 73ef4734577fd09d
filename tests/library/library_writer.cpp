// Keeps sample sweeps in the library at argv[1] one after another, printing "kept N ID" once
// each is committed, until killed or argv[2] sweeps are kept.
#include "library/sweep_library.h"
#include "library_sample.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) return 2;
    Library::SweepLibrary library;
    const Library::Outcome opened = library.open(QString::fromLocal8Bit(argv[1]));
    if (!opened.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(Library::Describe(opened, argv[1])));
        return 1;
    }
    const int first = std::atoi(argv[2]);
    const int count = argc > 3 ? std::atoi(argv[3]) : 1000000;
    for (int n = first; n < first + count; ++n) {
        qint64 id = 0;
        const Library::Outcome kept = library.keep(LibraryTest::SampleSweep(n), &id);
        if (!kept.ok()) {
            std::fprintf(stderr, "%s\n", qPrintable(Library::Describe(kept, argv[1])));
            return 1;
        }
        std::printf("kept %d %lld\n", n, static_cast<long long>(id));
        std::fflush(stdout);
    }
    return 0;
}

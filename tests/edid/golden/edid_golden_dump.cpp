// Prints the golden text (load messages and entry tree) of the E-EDID file
// named on the command line, as the golden test compares it; tools/gen_edid_golden
// writes the expected texts with it.

#include "EdidTreeText.h"

#include <QString>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    edid_golden::Instance instance;
    instance.Load(QString::fromLocal8Bit(argv[1]));
    const std::string text = edid_golden::GoldenText(instance);
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    return written && std::fflush(stdout) == 0 ? 0 : 1;
}

// Build-time tool: checks the RAM loader's Intel HEX file and writes it as a
// C++ source with the text as a zero-terminated byte array.
//   ram_loader_embed <loader.hex> <output.cpp>
// Fails (exit status 1, with the reason) when the file cannot be read or
// decoded, when a segment reaches 0x10000 or beyond (RAM addresses have 16
// bits) or when the first segment does not start at the entry point.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "link/IntelHexDecoder.h"
#include "link/RamLoader.h"

namespace {

int Refuse(const std::string& file, const std::string& why) {
    std::fprintf(stderr, "RAM loader %s refused: %s\n", file.c_str(), why.c_str());
    return 1;
}

std::string Source(const std::string& text, const std::string& file) {
    std::ostringstream out;
    out << "// Generated from " << file << " by ram_loader_embed; do not edit.\n"
        << "#include \"link/RamLoader.h\"\n\nnamespace {\nconst char kLoader[] = {";
    for (size_t i = 0; i < text.size(); ++i) {
        if (i % 16 == 0) out << "\n   ";
        out << ' ' << static_cast<int>(static_cast<unsigned char>(text[i])) << ',';
    }
    out << "\n    0};\n}  // namespace\n\n"
        << "const char* RamLoaderText() { return kLoader; }\n"
        << "size_t RamLoaderTextLength() { return sizeof kLoader - 1; }\n";
    return out.str();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: ram_loader_embed <loader.hex> <output.cpp>\n");
        return 2;
    }
    const std::string file = argv[1];
    std::ifstream in(file, std::ios::binary);
    if (!in) return Refuse(file, "cannot be opened");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.find('\0') != std::string::npos) return Refuse(file, "it holds a zero byte");
    try {
        const IntelHexDecoder loader{std::string_view(text)};
        if (loader.SegmentCount() == 0) return Refuse(file, "it holds no data");
        if (loader.SegmentAddress(0) != kRamLoaderEntry)
            return Refuse(file, "its first segment does not start at 0x0500");
        for (size_t i = 0; i < loader.SegmentCount(); ++i) {
            if (uint64_t{loader.SegmentAddress(i)} + loader.SegmentSize(i) > 0x10000)
                return Refuse(file, "segment " + std::to_string(i) + " reaches beyond 0xFFFF");
        }
    } catch (const IntelHexError& e) {
        return Refuse(file, e.what());
    }
    const std::string source = Source(text, file);
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << source;
    return out.good() ? 0 : Refuse(file, std::string("cannot write ") + argv[2]);
}

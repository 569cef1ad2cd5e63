#pragma once
// Whole files as bytes for tests: read one into a string (empty when it
// cannot be read; `readable` tells that apart from an empty file), write a
// string as a file's whole content (true when it was all written; an empty
// string makes an empty file). No line-end conversion either way. A Qt test
// passes a QString path as `path.toStdString()` (file names are UTF-8).

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace test_support {

inline std::string ReadFile(const std::filesystem::path& path, bool* readable = nullptr) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (in) text << in.rdbuf();
    if (readable) *readable = in.is_open() && !in.bad();
    return text.str();
}

inline bool WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    return !out.fail();
}

}  // namespace test_support

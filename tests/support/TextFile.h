#pragma once
// Whole files as bytes for tests: read one into a string (empty when it
// cannot be read), write a string as a file's whole content. No line-end
// conversion either way.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace test_support {

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace test_support

#pragma once
// Version information of a program file: its string values (company,
// description, file version, ...), the four numbers of its file version and
// the short version (the first three numbers joined by dots) that window
// captions show. The suite's programs carry the version information that the
// build generates from the project's version.
#include <cstdint>
#include <map>
#include <string>

class appresource_t {
public:
    using strings_t = std::map<std::string, std::string>;  // value name -> text

    // The version information of the program file `file_name`: "selvitra" or
    // "pallumo" of this build, in any folder, while the file exists. Any
    // other file has none: every text empty, every number 0.
    explicit appresource_t(std::string file_name);
    // Version information given as its string values.
    appresource_t(std::string file_name, strings_t strings);

    // One string value; empty when absent.
    std::string query_string(const std::string& key) const;

    const std::string& file_name() const { return file_name_; }
    std::string company_name() const { return query_string("CompanyName"); }
    std::string file_description() const { return query_string("FileDescription"); }
    std::string file_version() const { return query_string("FileVersion"); }
    std::string internal_name() const { return query_string("InternalName"); }
    std::string legal_copyright() const { return query_string("LegalCopyright"); }
    std::string legal_trademarks() const { return query_string("LegalTrademarks"); }
    std::string original_file_name() const { return query_string("OriginalFileName"); }
    std::string product_name() const { return query_string("ProductName"); }
    std::string product_version() const { return query_string("ProductVersion"); }
    std::string comments() const { return query_string("Comments"); }

    // Derived from the file version text when it is four decimal numbers
    // (each at most 65535) separated by dots; otherwise empty and 0.
    const std::string& short_version() const { return short_version_; }
    uint16_t major_version() const { return major_; }
    uint16_t minor_version() const { return minor_; }
    uint16_t release_number() const { return release_; }
    uint16_t build_number() const { return build_; }

private:
    void load();

    std::string file_name_;
    strings_t strings_;
    std::string short_version_;
    uint16_t major_ = 0, minor_ = 0, release_ = 0, build_ = 0;
};

// The version information of the running program (Selvitra), with the
// program's path as the application object reports it; made on first use.
const appresource_t& GetAppResource();

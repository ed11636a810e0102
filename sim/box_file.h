// The box file: "key = value" lines, '#' starts a comment. Blocks pull their
// keys with the typed getters; a key that no block asked for, or a value that
// does not parse, is an error with its line number.
#pragma once
#include <map>
#include <string>
#include <vector>

namespace tvsim {

class BoxFile {
public:
    bool load(const std::string& path);
    bool parse(const std::string& text, const std::string& name = "box file");

    bool has(const std::string& key);
    double number(const std::string& key, double def);
    // Decimal, 0x.. or ..h hexadecimal.
    long integer(const std::string& key, long def);
    std::string text(const std::string& key, const std::string& def);
    bool flag(const std::string& key, bool def);
    // One of the given words; returns its index, or def.
    int choice(const std::string& key, const std::vector<std::string>& words, int def);
    // A path relative to the box file's directory.
    std::string path(const std::string& key, const std::string& def);

    // Records errors for keys no getter asked for. Call after all blocks.
    void check_unused();
    void error(const std::string& key, const std::string& what);
    const std::vector<std::string>& errors() const { return errors_; }
    std::string error_text() const;

private:
    struct Entry {
        std::string value;
        int line = 0;
        bool used = false;
    };
    const Entry* find(const std::string& key);
    std::map<std::string, Entry> entries_;
    std::vector<std::string> errors_;
    std::string name_ = "box file";
    std::string dir_;
};

long parse_integer(const std::string& text, bool* ok);

}  // namespace tvsim

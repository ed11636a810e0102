#include "box_file.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tvsim {

namespace {
std::string trim(const std::string& s)
{
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return "";
    const auto e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}
}  // namespace

long parse_integer(const std::string& text, bool* ok)
{
    std::string t = trim(text);
    int base = 10;
    if (t.size() > 1 && (t.back() == 'h' || t.back() == 'H')) {
        t.pop_back();
        base = 16;
    } else if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        t = t.substr(2);
        base = 16;
    }
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(t.c_str(), &end, base);
    *ok = !t.empty() && end != nullptr && *end == '\0' && errno == 0;
    return v;
}

bool BoxFile::load(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        errors_.push_back(path + ": cannot open box file");
        return false;
    }
    std::stringstream ss;
    ss << in.rdbuf();
    const auto slash = path.rfind('/');
    dir_ = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    return parse(ss.str(), path);
}

bool BoxFile::parse(const std::string& text, const std::string& name)
{
    name_ = name;
    std::istringstream in(text);
    std::string line;
    int n = 0;
    bool ok = true;
    while (std::getline(in, line)) {
        ++n;
        const auto hash = line.find('#');
        if (hash != std::string::npos)
            line.resize(hash);
        line = trim(line);
        if (line.empty())
            continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos) {
            errors_.push_back(name_ + ":" + std::to_string(n) + ": expected 'key = value'");
            ok = false;
            continue;
        }
        const std::string key = trim(line.substr(0, eq));
        if (key.empty()) {
            errors_.push_back(name_ + ":" + std::to_string(n) + ": missing key");
            ok = false;
            continue;
        }
        if (entries_.count(key) != 0) {
            errors_.push_back(name_ + ":" + std::to_string(n) + ": key '" + key + "' given twice");
            ok = false;
            continue;
        }
        entries_[key] = Entry{trim(line.substr(eq + 1)), n, false};
    }
    return ok;
}

const BoxFile::Entry* BoxFile::find(const std::string& key)
{
    auto it = entries_.find(key);
    if (it == entries_.end())
        return nullptr;
    it->second.used = true;
    return &it->second;
}

bool BoxFile::has(const std::string& key)
{
    return entries_.count(key) != 0;
}

void BoxFile::error(const std::string& key, const std::string& what)
{
    auto it = entries_.find(key);
    const std::string where = it == entries_.end() ? name_ : name_ + ":" + std::to_string(it->second.line);
    errors_.push_back(where + ": " + key + ": " + what);
}

double BoxFile::number(const std::string& key, double def)
{
    const Entry* e = find(key);
    if (e == nullptr)
        return def;
    char* end = nullptr;
    const double v = std::strtod(e->value.c_str(), &end);
    if (e->value.empty() || *end != '\0') {
        error(key, "bad number '" + e->value + "'");
        return def;
    }
    return v;
}

long BoxFile::integer(const std::string& key, long def)
{
    const Entry* e = find(key);
    if (e == nullptr)
        return def;
    bool ok = false;
    const long v = parse_integer(e->value, &ok);
    if (!ok) {
        error(key, "bad integer '" + e->value + "'");
        return def;
    }
    return v;
}

std::string BoxFile::text(const std::string& key, const std::string& def)
{
    const Entry* e = find(key);
    return e == nullptr ? def : e->value;
}

bool BoxFile::flag(const std::string& key, bool def)
{
    const Entry* e = find(key);
    if (e == nullptr)
        return def;
    const std::string& v = e->value;
    if (v == "yes" || v == "true" || v == "1" || v == "on")
        return true;
    if (v == "no" || v == "false" || v == "0" || v == "off")
        return false;
    error(key, "expected yes or no, not '" + v + "'");
    return def;
}

int BoxFile::choice(const std::string& key, const std::vector<std::string>& words, int def)
{
    const Entry* e = find(key);
    if (e == nullptr)
        return def;
    for (size_t i = 0; i < words.size(); ++i)
        if (words[i] == e->value)
            return static_cast<int>(i);
    std::string list;
    for (const auto& w : words)
        list += (list.empty() ? "" : ", ") + w;
    error(key, "'" + e->value + "' is not one of " + list);
    return def;
}

std::string BoxFile::path(const std::string& key, const std::string& def)
{
    const Entry* e = find(key);
    if (e == nullptr)
        return def;
    if (!e->value.empty() && e->value[0] != '/')
        return dir_ + e->value;
    return e->value;
}

void BoxFile::check_unused()
{
    for (const auto& [key, e] : entries_)
        if (!e.used)
            errors_.push_back(name_ + ":" + std::to_string(e.line) + ": unknown key '" + key + "'");
}

std::string BoxFile::error_text() const
{
    std::string all;
    for (const auto& e : errors_)
        all += e + "\n";
    return all;
}

}  // namespace tvsim

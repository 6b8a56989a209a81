// tomlwrite.cpp — the TOML writer behind spielSave.
//
// toml++ can print a table itself, but the library on Debian 12 prints
// doubles with 17 significant digits (0.1 becomes 0.10000000000000001) or,
// relaxed, with only 6 (losing editor placements).  This writer prints
// numbers with std::to_chars' shortest round-trip form and leaves dates and
// times to toml++.
#include <charconv>
#include <cmath>
#include <sstream>

#include "spielmod/levelstore.h"

namespace {

void writeValue(std::ostream& out, const toml::node& node);

bool isBareKey(std::string_view key)
{
    if (key.empty()) {
        return false;
    }
    for (const char c : key) {
        const bool ok =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!ok) {
            return false;
        }
    }
    return true;
}

// A basic (double-quoted) string; bytes >= 0x80 pass through as UTF-8.
void writeString(std::ostream& out, std::string_view s)
{
    static const char* const kHex = "0123456789ABCDEF";
    out << '"';
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out << "\\\""; break;
        case '\\': out << "\\\\"; break;
        case '\n': out << "\\n"; break;
        case '\t': out << "\\t"; break;
        case '\r': out << "\\r"; break;
        default:
            if (u < 0x20 || u == 0x7F) {
                out << "\\u00" << kHex[u >> 4] << kHex[u & 15];
            } else {
                out << c;
            }
        }
    }
    out << '"';
}

void writeKey(std::ostream& out, std::string_view key)
{
    if (isBareKey(key)) {
        out << key;
    } else {
        writeString(out, key);
    }
}

void writeDouble(std::ostream& out, double v)
{
    if (std::isnan(v)) {
        out << "nan";
        return;
    }
    if (std::isinf(v)) {
        out << (v < 0 ? "-inf" : "inf");
        return;
    }
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    const std::string_view text(buf, static_cast<size_t>(res.ptr - buf));
    out << text;
    if (text.find_first_of(".eE") == std::string_view::npos) {
        out << ".0";
    }
}

void writeInlineTable(std::ostream& out, const toml::table& t)
{
    if (t.empty()) {
        out << "{}";
        return;
    }
    out << "{ ";
    bool first = true;
    for (auto&& [k, v] : t) {
        if (!first) {
            out << ", ";
        }
        first = false;
        writeKey(out, k.str());
        out << " = ";
        writeValue(out, v);
    }
    out << " }";
}

void writeArray(std::ostream& out, const toml::array& a)
{
    if (a.empty()) {
        out << "[]";
        return;
    }
    out << "[ ";
    for (size_t i = 0; i < a.size(); ++i) {
        if (i > 0) {
            out << ", ";
        }
        writeValue(out, a[i]);
    }
    out << " ]";
}

void writeValue(std::ostream& out, const toml::node& node)
{
    switch (node.type()) {
    case toml::node_type::string: writeString(out, *node.value<std::string_view>()); break;
    case toml::node_type::integer: out << *node.value<int64_t>(); break;
    case toml::node_type::floating_point: writeDouble(out, *node.value<double>()); break;
    case toml::node_type::boolean: out << (*node.value<bool>() ? "true" : "false"); break;
    case toml::node_type::date: out << *node.as_date(); break;
    case toml::node_type::time: out << *node.as_time(); break;
    case toml::node_type::date_time: out << *node.as_date_time(); break;
    case toml::node_type::array: writeArray(out, *node.as_array()); break;
    case toml::node_type::table: writeInlineTable(out, *node.as_table()); break;
    case toml::node_type::none: break;
    }
}

// Written as [[name]] blocks: a non-empty array of tables that were not
// written inline in the file.
bool isHeaderArray(const toml::node& node)
{
    const toml::array* a = node.as_array();
    if (a == nullptr || a->empty() || !a->is_array_of_tables()) {
        return false;
    }
    for (const toml::node& e : *a) {
        if (e.as_table()->is_inline()) {
            return false;
        }
    }
    return true;
}

bool isHeaderTable(const toml::node& node)
{
    return node.is_table() && !node.as_table()->is_inline();
}

std::string joinPath(const std::string& base, std::string_view key)
{
    std::ostringstream s;
    if (!base.empty()) {
        s << base << '.';
    }
    writeKey(s, key);
    return s.str();
}

void writeBody(std::ostream& out, const toml::table& t, const std::string& path)
{
    for (auto&& [k, v] : t) {
        if (!isHeaderTable(v) && !isHeaderArray(v)) {
            writeKey(out, k.str());
            out << " = ";
            writeValue(out, v);
            out << '\n';
        }
    }
    for (auto&& [k, v] : t) {
        if (isHeaderTable(v)) {
            const std::string sub = joinPath(path, k.str());
            out << "\n[" << sub << "]\n";
            writeBody(out, *v.as_table(), sub);
        }
    }
    for (auto&& [k, v] : t) {
        if (isHeaderArray(v)) {
            const std::string sub = joinPath(path, k.str());
            for (const toml::node& e : *v.as_array()) {
                out << "\n[[" << sub << "]]\n";
                writeBody(out, *e.as_table(), sub);
            }
        }
    }
}

} // namespace

std::string tomlString(std::string_view s)
{
    std::ostringstream out;
    writeString(out, s);
    return out.str();
}

std::string tomlKey(std::string_view key)
{
    std::ostringstream out;
    writeKey(out, key);
    return out.str();
}

void writeToml(std::ostream& out, const toml::table& root)
{
    writeBody(out, root, "");
}

double tomlFloat(float value)
{
    if (!std::isfinite(value)) {
        return static_cast<double>(value);
    }
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    double result = static_cast<double>(value);
    std::from_chars(buf, res.ptr, result);
    return result;
}

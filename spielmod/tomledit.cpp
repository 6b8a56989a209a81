// tomledit.cpp — byte-range edits of a TOML text, located by toml++'s source
// positions, for saving a level in place.
//
// toml++ reports a node's position as a 1-based line and a 1-based column
// counted in code points, the end one past the node's last character.  The
// editor turns these into byte offsets of the text the document was parsed
// from, collects replacements and applies them in one pass, so every byte no
// edit touches (comments, blank lines, key order, number spelling) stays.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>

#include "spielmod/levelstore.h"

TextEdits::TextEdits(const std::string& source) : text(source)
{
    // toml++ skips a byte-order mark without counting it as a column.
    lines_.push_back(text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            lines_.push_back(i + 1);
        }
    }
}

size_t TextEdits::offset(const toml::source_position& p) const
{
    if (p.line == 0 || p.line > lines_.size()) {
        return text.size();
    }
    size_t at = lines_[p.line - 1];
    for (uint32_t col = 1; col < p.column && at < text.size() && text[at] != '\n'; ++col) {
        ++at;
        while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) {
            ++at;
        }
    }
    return at;
}

size_t TextEdits::lineStart(size_t at) const
{
    const auto it = std::upper_bound(lines_.begin(), lines_.end(), std::min(at, text.size()));
    return *(it - 1);
}

size_t TextEdits::lineEnd(size_t at) const
{
    const size_t nl = text.find('\n', std::min(at, text.size()));
    if (nl == std::string::npos) {
        return text.size();
    }
    return nl > at && text[nl - 1] == '\r' ? nl - 1 : nl;
}

void TextEdits::expect(const toml::node& n)
{
    const size_t from = begin(n);
    const size_t to = end(n);
    if (from >= to || to > text.size()) {
        broken_ = true;
        return;
    }
    const char first = text[from];
    const char last = text[to - 1];
    bool ok = false;
    switch (n.type()) {
    case toml::node_type::string: ok = (first == '"' || first == '\'') && last == first; break;
    case toml::node_type::array: ok = first == '[' && last == ']'; break;
    case toml::node_type::table: ok = n.as_table()->is_inline() ? first == '{' && last == '}' : first == '['; break;
    case toml::node_type::boolean: ok = (first == 't' || first == 'f') && last == 'e'; break;
    case toml::node_type::integer:
    case toml::node_type::floating_point:
        ok = std::strchr("0123456789+-in", first) != nullptr && std::isalnum(static_cast<unsigned char>(last));
        break;
    default: ok = true;
    }
    broken_ = broken_ || !ok;
}

void TextEdits::replace(size_t from, size_t to, std::string with)
{
    edits_.push_back(
        Edit{std::min(from, text.size()), std::min(std::max(from, to), text.size()), edits_.size(), std::move(with)});
}

bool TextEdits::apply(std::string& out) const
{
    if (broken_) {
        return false;
    }
    std::vector<const Edit*> order;
    for (const Edit& e : edits_) {
        order.push_back(&e);
    }
    // Insertions at an offset come before a replacement starting there, and
    // keep the order in which they were made.
    std::sort(order.begin(), order.end(), [](const Edit* a, const Edit* b) {
        if (a->from != b->from) {
            return a->from < b->from;
        }
        if ((a->from == a->to) != (b->from == b->to)) {
            return a->from == a->to;
        }
        return a->seq < b->seq;
    });
    const size_t firstEnd = text.find('\n');
    const bool crlf = firstEnd != std::string::npos && firstEnd > 0 && text[firstEnd - 1] == '\r';
    out.clear();
    // New lines end as the file's first line does.
    auto put = [&](const std::string& s) {
        for (const char c : s) {
            out += c == '\n' && crlf ? "\r\n" : std::string(1, c);
        }
    };
    size_t copied = 0;
    for (const Edit* e : order) {
        if (e->from < copied) {
            return false; // two edits of one range: the plan is wrong
        }
        out.append(text, copied, e->from - copied);
        put(e->with);
        copied = e->to;
    }
    out.append(text, copied, std::string::npos);
    for (const std::string& block : tail_) {
        put(out.empty() ? block : out.back() == '\n' ? "\n" + block : "\n\n" + block);
    }
    return true;
}

std::string floatText(float value)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    std::string s(buf, res.ptr);
    // TOML reads "3" as an integer; keep floats floats.
    if (std::isfinite(value) && s.find_first_of(".e") == std::string::npos) {
        s += ".0";
    }
    return s;
}

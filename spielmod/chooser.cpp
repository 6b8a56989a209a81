// chooser.cpp — zenity as the requesters' window: its arguments, the pattern
// translation and running it as a child process.
#include "spielmod/chooser.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <strings.h>

extern char** environ;

namespace {

// More alternatives than this make no useful filter.
constexpr size_t kMaxAlternatives = 32;
// Longest pattern translated; it also bounds the depth of the group recursion.
constexpr size_t kMaxPattern = 255;
// A path is one line; anything longer than this is no answer.
constexpr size_t kMaxAnswerBytes = 64 * 1024;
// What zenity says on its error output is only looked at, never shown whole.
constexpr size_t kMaxErrorBytes = 4096;
// zenity's status when the window was closed without a choice.
constexpr int kZenityCancelled = 1;

// The index of the character that closes the group opened at `open`, or
// npos; a quote (') takes the next character literally.
size_t closingParen(const std::string& s, size_t open)
{
    int depth = 0;
    for (size_t i = open; i < s.size(); ++i) {
        if (s[i] == '\'') {
            ++i;
        } else if (s[i] == '(') {
            ++depth;
        } else if (s[i] == ')' && --depth == 0) {
            return i;
        }
    }
    return std::string::npos;
}

// The pattern's alternatives without any "|" or group left: "#?.(raw|md2)"
// gives "#?.raw" and "#?.md2".  False when brackets do not balance or there
// are too many.
bool expand(const std::string& s, std::vector<std::string>& out)
{
    // Alternatives at the top level first.
    int depth = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\'') {
            ++i;
        } else if (s[i] == '(') {
            ++depth;
        } else if (s[i] == ')') {
            if (--depth < 0) {
                return false;
            }
        } else if (s[i] == '|' && depth == 0) {
            return expand(s.substr(0, i), out) && expand(s.substr(i + 1), out);
        }
    }
    if (depth != 0) {
        return false;
    }
    size_t open = std::string::npos;
    for (size_t i = 0; i < s.size() && open == std::string::npos; ++i) {
        if (s[i] == '\'') {
            ++i;
        } else if (s[i] == '(') {
            open = i;
        }
    }
    if (open == std::string::npos) {
        out.push_back(s);
        return out.size() <= kMaxAlternatives;
    }
    const size_t close = closingParen(s, open);
    std::vector<std::string> inner;
    std::vector<std::string> rest;
    if (close == std::string::npos || !expand(s.substr(open + 1, close - open - 1), inner) ||
        !expand(s.substr(close + 1), rest) || inner.size() * rest.size() > kMaxAlternatives) {
        return false;
    }
    for (const std::string& a : inner) {
        for (const std::string& b : rest) {
            out.push_back(s.substr(0, open) + a + b);
        }
    }
    return out.size() <= kMaxAlternatives;
}

// One alternative as a glob; `anyCase` writes letters as "[xX]".  False for
// what a glob cannot say.
bool toGlob(const std::string& s, bool anyCase, std::string& glob)
{
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '#') {
            // "#?" is any name; "#x" (any number of x) is approximated by "*".
            glob += '*';
            if (i + 1 < s.size() && s[i + 1] == '[') {
                const size_t end = s.find(']', i + 1);
                if (end == std::string::npos) {
                    return false;
                }
                i = end;
            } else if (i + 1 < s.size() && s[i + 1] == '\'') {
                i += 2;
            } else {
                ++i;
            }
        } else if (c == '[') {
            const size_t end = s.find(']', i);
            if (end == std::string::npos) {
                return false;
            }
            glob += s.substr(i, end - i + 1);
            i = end;
        } else if (c == '~' || c == ' ' || c == '\t' || c == ']') {
            return false;
        } else if (c == '%') {
            // The empty pattern: matches nothing more.
        } else if (c == '\'' && i + 1 < s.size()) {
            const char lit = s[++i];
            glob += (lit == '*' || lit == '?' || lit == '[') ? std::string("[") + lit + "]" : std::string(1, lit);
        } else if (anyCase && std::isalpha(static_cast<unsigned char>(c))) {
            glob += '[';
            glob += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            glob += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            glob += ']';
        } else if (static_cast<unsigned char>(c) < 0x20) {
            return false;
        } else {
            glob += c;
        }
    }
    return !glob.empty();
}

// Reads what is there on fd into out (up to cap bytes, the rest dropped);
// false at the end of the stream.
bool drain(int fd, std::string& out, size_t cap)
{
    char buffer[4096];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0) {
        return errno == EINTR || errno == EAGAIN;
    }
    if (got == 0) {
        return false;
    }
    const size_t room = cap > out.size() ? cap - out.size() : 0;
    out.append(buffer, std::min(static_cast<size_t>(got), room));
    return true;
}

ChooserResult unavailable(std::string why)
{
    ChooserResult r;
    r.outcome = ChooserOutcome::Unavailable;
    r.why = std::move(why);
    return r;
}

} // namespace

bool chooserDisplayPresent()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') {
            return true;
        }
    }
    return false;
}

std::string zenityFileFilter(const std::string& pattern)
{
    std::vector<std::string> alternatives;
    if (pattern.empty() || pattern.size() > kMaxPattern || !expand(pattern, alternatives)) {
        return "";
    }
    std::string names;
    std::string globs;
    for (const std::string& a : alternatives) {
        std::string name;
        std::string glob;
        if (!toGlob(a, false, name) || !toGlob(a, true, glob)) {
            return "";
        }
        names += (names.empty() ? "" : " ") + name;
        globs += (globs.empty() ? "" : " ") + glob;
    }
    return names + " | " + globs;
}

std::vector<std::string> zenityArguments(const std::string& program, const ChooserRequest& request)
{
    std::vector<std::string> argv = {program, "--file-selection", "--title=" + request.title};
    if (request.directory) {
        argv.push_back("--directory");
    }
    if (!request.start.empty()) {
        // The trailing "/" opens the directory itself instead of selecting it.
        argv.push_back("--filename=" + request.start + (request.start.back() == '/' ? "" : "/"));
    }
    const std::string filter = request.directory ? "" : zenityFileFilter(request.pattern);
    if (!filter.empty()) {
        argv.push_back("--file-filter=" + filter);
        argv.push_back("--file-filter=Alle Dateien | *");
    }
    return argv;
}

ChooserResult runChooser(const std::vector<std::string>& argv)
{
    if (argv.empty()) {
        return unavailable("kein Programm");
    }
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        for (int fd : {out[0], out[1], err[0], err[1]}) {
            if (fd >= 0) {
                close(fd);
            }
        }
        return unavailable(std::string("keine Pipe: ") + std::strerror(errno));
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    if (spawned != 0) {
        close(out[0]);
        close(err[0]);
        return unavailable(argv[0] + ": " + std::strerror(spawned));
    }
    // Both streams are read until the program closes them, so that neither
    // fills its pipe while the other is waited on.
    std::string answer;
    std::string errors;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        for (int k = 0; k < 2; ++k) {
            if (fds[k].fd >= 0 && (fds[k].revents & (POLLIN | POLLHUP | POLLERR)) != 0 &&
                !drain(fds[k].fd, k == 0 ? answer : errors, k == 0 ? kMaxAnswerBytes : kMaxErrorBytes)) {
                close(fds[k].fd);
                fds[k].fd = -1;
                --open;
            }
        }
    }
    for (const pollfd& p : fds) {
        if (p.fd >= 0) {
            close(p.fd);
        }
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status)) {
        return unavailable(argv[0] + " durch Signal " + std::to_string(WTERMSIG(status)) + " beendet");
    }
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    // GTK cannot open the display: zenity then ends as if cancelled.
    if (strcasestr(errors.c_str(), "cannot open display") != nullptr) {
        return unavailable(argv[0] + ": Anzeige nicht erreichbar");
    }
    ChooserResult r;
    if (code == 0) {
        const size_t end = answer.find('\n');
        r.path = answer.substr(0, end);
        r.outcome = r.path.empty() ? ChooserOutcome::Cancelled : ChooserOutcome::Chosen;
        return r;
    }
    if (code == kZenityCancelled) {
        r.outcome = ChooserOutcome::Cancelled;
        return r;
    }
    return unavailable(argv[0] + " endete mit Status " + std::to_string(code));
}

#include "platform/registry/Registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// The tree held in memory.

struct Value {
    std::string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// Subkeys are also indexed by their case-folded name: a class hive holds
// thousands of siblings under one key, and loading it finds each one once per
// line, so a scan of the siblings made loading quadratic. Subkeys are added
// and removed only through AddSubkey, RemoveSubkey and ClearSubkeys, which
// keep the list and the index alike.
struct Key {
    std::string name;
    std::vector<Value> values;                  // creation order
    std::vector<std::unique_ptr<Key>> subkeys;  // creation order
    std::unordered_map<std::string, Key*> byFoldedName;
    ULONGLONG lastWrite = 0;                    // 100 ns since 1601
};

using Path = std::vector<std::string>;

ULONGLONG Now()
{
    using namespace std::chrono;
    constexpr ULONGLONG kEpochDelta = 116444736000000000ull;  // 1601 to 1970 in 100 ns
    auto since1970 = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
    return kEpochDelta + static_cast<ULONGLONG>(since1970 / 100);
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

std::string Folded(std::string_view name)
{
    std::string out(name);
    for (char& c : out)
        c = Lower(c);
    return out;
}

Key* FindSubkey(Key& k, std::string_view name)
{
    // Folded into a buffer of the thread's own: a lookup allocates nothing
    // once the buffer has grown to the longest name.
    thread_local std::string folded;
    folded.assign(name);
    for (char& c : folded)
        c = Lower(c);
    auto it = k.byFoldedName.find(folded);
    return it == k.byFoldedName.end() ? nullptr : it->second;
}

Value* FindValue(Key& k, std::string_view name)
{
    for (auto& v : k.values)
        if (SameName(v.name, name))
            return &v;
    return nullptr;
}

Key* Find(Key& root, const Path& path)
{
    Key* k = &root;
    for (const auto& part : path)
        if (!(k = FindSubkey(*k, part)))
            return nullptr;
    return k;
}

// A new last subkey of `k`, of a name that `k` does not have yet.
Key* AddSubkey(Key& k, std::string_view name)
{
    auto key = std::make_unique<Key>();
    key->name = name;
    key->lastWrite = Now();
    Key* added = key.get();
    k.byFoldedName.emplace(Folded(name), added);
    k.subkeys.push_back(std::move(key));
    k.lastWrite = added->lastWrite;
    return added;
}

// Walks the path, creating what is missing; `created` tells whether the last
// key was new.
Key* FindOrCreate(Key& root, const Path& path, bool* created)
{
    Key* k = &root;
    bool fresh = false;
    for (const auto& part : path) {
        Key* next = FindSubkey(*k, part);
        fresh = !next;
        k = next ? next : AddSubkey(*k, part);
    }
    if (created)
        *created = fresh;
    return k;
}

void SetValue(Key& k, std::string_view name, DWORD type, std::vector<BYTE> data)
{
    Value* v = FindValue(k, name);
    if (!v) {
        k.values.push_back(Value{std::string(name), type, {}});
        v = &k.values.back();
    }
    v->type = type;
    v->data = std::move(data);
    k.lastWrite = Now();
}

bool RemoveValue(Key& k, std::string_view name)
{
    for (auto it = k.values.begin(); it != k.values.end(); ++it)
        if (SameName(it->name, name)) {
            k.values.erase(it);
            k.lastWrite = Now();
            return true;
        }
    return false;
}

bool RemoveSubkey(Key& parent, std::string_view name)
{
    for (auto it = parent.subkeys.begin(); it != parent.subkeys.end(); ++it)
        if (SameName((*it)->name, name)) {
            parent.byFoldedName.erase(Folded(name));
            parent.subkeys.erase(it);
            parent.lastWrite = Now();
            return true;
        }
    return false;
}

void ClearSubkeys(Key& k)
{
    k.byFoldedName.clear();
    k.subkeys.clear();
}

// Key paths: backslash-separated; empty parts (a doubled, leading or
// trailing backslash) are ignored.
Path SplitPath(const char* text)
{
    Path parts;
    if (!text)
        return parts;
    std::string_view s(text);
    while (!s.empty()) {
        std::size_t p = s.find('\\');
        std::string_view part = s.substr(0, p);
        if (!part.empty())
            parts.emplace_back(part);
        if (p == std::string_view::npos)
            break;
        s.remove_prefix(p + 1);
    }
    return parts;
}

// ---------------------------------------------------------------------------
// The hive file: a text format in the spirit of exported registry files.
//
//   MORVANE-HIVE 1
//   [Software\Varnholt Music Software\Morvane\1.0\Options]
//   @="default value"
//   "BufferMsec"=dword:00000064
//   "Blob"=hex:01,02,ff
//   "Other"=hex(7):61,00,00
//   END-HIVE
//
// Strings escape \\ \" \n \r \t and other control bytes as \xHH; key names
// escape as %HH every byte the format gives a meaning to (% \ [ ] " and
// control bytes), so a name that a hand-edited or foreign hive spelled with
// %5c reads back as one key, not two nested ones, after the next save. "[]"
// holds the values of the hive's top. The closing line lets a cut-short file
// be told from a whole one.

constexpr std::string_view kMagic = "MORVANE-HIVE 1";
constexpr std::string_view kEnd = "END-HIVE";
constexpr std::size_t kMaxHiveBytes = 256u << 20;

const char kHex[] = "0123456789abcdef";

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = Lower(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

void AppendQuoted(std::string& out, std::string_view s)
{
    out += '"';
    for (char ch : s) {
        auto c = static_cast<unsigned char>(ch);
        switch (ch) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (IsControl(c)) {
                out += "\\x";
                out += kHex[c >> 4];
                out += kHex[c & 15];
            } else {
                out += ch;
            }
        }
    }
    out += '"';
}

void AppendKeyName(std::string& out, std::string_view s)
{
    for (char ch : s) {
        auto c = static_cast<unsigned char>(ch);
        if (ch == '%' || ch == '\\' || ch == '[' || ch == ']' || ch == '"' || IsControl(c)) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += ch;
        }
    }
}

void AppendHexBytes(std::string& out, const std::vector<BYTE>& data)
{
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (i)
            out += ',';
        out += kHex[data[i] >> 4];
        out += kHex[data[i] & 15];
    }
}

void AppendValue(std::string& out, const Value& v)
{
    if (v.name.empty())
        out += '@';
    else
        AppendQuoted(out, v.name);
    out += '=';
    if (v.type == REG_SZ && !v.data.empty() && v.data.back() == 0) {
        AppendQuoted(out, std::string_view(reinterpret_cast<const char*>(v.data.data()), v.data.size() - 1));
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        DWORD d = static_cast<DWORD>(v.data[0]) | static_cast<DWORD>(v.data[1]) << 8 |
                  static_cast<DWORD>(v.data[2]) << 16 | static_cast<DWORD>(v.data[3]) << 24;
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", d);
        out += buf;
    } else if (v.type == REG_BINARY) {
        out += "hex:";
        AppendHexBytes(out, v.data);
    } else {
        char buf[24];
        std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
        out += buf;
        AppendHexBytes(out, v.data);
    }
    out += '\n';
}

void AppendKey(std::string& out, const Key& k, std::string& path, bool top)
{
    if (!top || !k.values.empty()) {
        out += '[';
        out += path;
        out += "]\n";
        for (const auto& v : k.values)
            AppendValue(out, v);
    }
    for (const auto& s : k.subkeys) {
        std::size_t mark = path.size();
        if (!path.empty())
            path += '\\';
        AppendKeyName(path, s->name);
        AppendKey(out, *s, path, false);
        path.resize(mark);
    }
}

std::string Serialize(const Key& root)
{
    std::string out;
    out += kMagic;
    out += "\n; Settings of Morvane. Written whole on every change; edit only while no Morvane program runs.\n";
    std::string path;
    AppendKey(out, root, path, true);
    out += kEnd;
    out += '\n';
    return out;
}

// Reads a quoted string at s[pos] (the opening quote); pos ends past the
// closing quote.
bool ParseQuoted(std::string_view s, std::size_t& pos, std::string& out)
{
    if (pos >= s.size() || s[pos] != '"')
        return false;
    out.clear();
    for (++pos; pos < s.size(); ++pos) {
        char c = s[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++pos >= s.size())
            return false;
        switch (s[pos]) {
        case '\\': out += '\\'; break;
        case '"': out += '"'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'x': {
            if (pos + 2 >= s.size())
                return false;
            int hi = HexDigit(s[pos + 1]), lo = HexDigit(s[pos + 2]);
            if (hi < 0 || lo < 0)
                return false;
            out += static_cast<char>(hi << 4 | lo);
            pos += 2;
            break;
        }
        default: return false;
        }
    }
    return false;
}

bool ParseHexBytes(std::string_view s, std::vector<BYTE>& out)
{
    out.clear();
    if (s.empty())
        return true;
    for (std::size_t i = 0;; i += 3) {
        if (i + 2 > s.size())
            return false;
        int hi = HexDigit(s[i]), lo = HexDigit(s[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out.push_back(static_cast<BYTE>(hi << 4 | lo));
        if (i + 2 == s.size())
            return true;
        if (s[i + 2] != ',')
            return false;
    }
}

bool ParseHexNumber(std::string_view s, DWORD& out)
{
    if (s.empty() || s.size() > 8)
        return false;
    out = 0;
    for (char c : s) {
        int d = HexDigit(c);
        if (d < 0)
            return false;
        out = out << 4 | static_cast<DWORD>(d);
    }
    return true;
}

bool ParseValueLine(std::string_view s, Value& v)
{
    std::size_t pos = 0;
    if (s[0] == '@') {
        v.name.clear();
        pos = 1;
    } else if (!ParseQuoted(s, pos, v.name)) {
        return false;
    }
    if (pos >= s.size() || s[pos] != '=')
        return false;
    std::string_view data = s.substr(pos + 1);
    if (!data.empty() && data[0] == '"') {
        std::string text;
        std::size_t p = 0;
        if (!ParseQuoted(data, p, text) || p != data.size())
            return false;
        v.type = REG_SZ;
        v.data.assign(text.begin(), text.end());
        v.data.push_back(0);
        return true;
    }
    if (data.starts_with("dword:")) {
        DWORD d;
        if (data.size() != 14 || !ParseHexNumber(data.substr(6), d))
            return false;
        v.type = REG_DWORD;
        v.data = {static_cast<BYTE>(d), static_cast<BYTE>(d >> 8), static_cast<BYTE>(d >> 16),
                  static_cast<BYTE>(d >> 24)};
        return true;
    }
    if (data.starts_with("hex:")) {
        v.type = REG_BINARY;
        return ParseHexBytes(data.substr(4), v.data);
    }
    if (data.starts_with("hex(")) {
        std::size_t close = data.find("):");
        return close != std::string_view::npos && ParseHexNumber(data.substr(4, close - 4), v.type) &&
               ParseHexBytes(data.substr(close + 2), v.data);
    }
    return false;
}

// The parts go into `out`'s existing strings where it has them, so a run of
// header lines allocates only for parts longer than any before.
bool ParseKeyPath(std::string_view s, Path& out)
{
    std::size_t parts = 0;
    std::string part;
    auto flush = [&] {
        if (part.empty())
            return;
        if (parts < out.size())
            out[parts].swap(part);
        else
            out.push_back(part);
        ++parts;
        part.clear();
    };
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\') {
            flush();
        } else if (s[i] == '%') {
            if (i + 2 >= s.size())
                return false;
            int hi = HexDigit(s[i + 1]), lo = HexDigit(s[i + 2]);
            if (hi < 0 || lo < 0)
                return false;
            part += static_cast<char>(hi << 4 | lo);
            i += 2;
        } else {
            part += s[i];
        }
    }
    flush();
    out.resize(parts);
    return true;
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

enum class ParseResult { Whole, Damaged, NotAHive };

// Lines that cannot be read are skipped (values under an unreadable key
// header with them); the caller keeps the original file before it writes.
ParseResult Parse(std::string_view text, Key& root, std::size_t& badLines)
{
    badLines = 0;
    if (text.empty())
        return ParseResult::Whole;
    std::size_t eol = text.find('\n');
    if (Trim(text.substr(0, eol)) != kMagic)
        return ParseResult::NotAHive;
    bool sawEnd = false;
    Key* current = nullptr;
    Path path, previous;
    // The keys of the previous header's path, the top first: a hive lists a
    // key's subkeys right after it, so most headers share all but their last
    // part with the one before and only that part is looked up.
    std::vector<Key*> chain{&root};
    Value v;
    while (eol != std::string_view::npos) {
        text.remove_prefix(eol + 1);
        eol = text.find('\n');
        std::string_view line = Trim(text.substr(0, eol));
        if (line.empty() || line[0] == ';')
            continue;
        if (line == kEnd) {
            sawEnd = true;
            continue;
        }
        if (sawEnd)
            ++badLines;  // read on, but a file with text after its end is not whole
        if (line[0] == '[' && line.back() == ']') {
            if (ParseKeyPath(line.substr(1, line.size() - 2), path)) {
                std::size_t same = 0;
                while (same < path.size() && same < previous.size() && SameName(path[same], previous[same]))
                    ++same;
                chain.resize(same + 1);
                for (std::size_t i = same; i < path.size(); ++i) {
                    Key* next = FindSubkey(*chain.back(), path[i]);
                    chain.push_back(next ? next : AddSubkey(*chain.back(), path[i]));
                }
                current = chain.back();
                previous.swap(path);
            } else {
                current = nullptr;
                ++badLines;
            }
        } else if (current && ParseValueLine(line, v)) {
            SetValue(*current, v.name, v.type, std::move(v.data));
        } else {
            ++badLines;
        }
    }
    if (!sawEnd)
        ++badLines;
    return badLines ? ParseResult::Damaged : ParseResult::Whole;
}

void StampTree(Key& k, ULONGLONG when)
{
    k.lastWrite = when;
    for (auto& s : k.subkeys)
        StampTree(*s, when);
}

// ---------------------------------------------------------------------------
// Hives and their files.

struct FileId {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};

    bool operator==(const FileId& o) const
    {
        return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size &&
               mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
    }
};

FileId IdOf(const struct stat& st)
{
    return FileId{true, st.st_dev, st.st_ino, st.st_size, st.st_mtim};
}

FileId IdOfPath(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? IdOf(st) : FileId{};
}

std::string RegistryFolder()
{
    if (const char* d = std::getenv("MORVANE_REGISTRY"); d && *d)
        return d;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && x[0] == '/')
        return std::string(x) + "/morvane";
    if (const char* h = std::getenv("HOME"); h && *h)
        return std::string(h) + "/.config/morvane";
    return {};
}

bool MakeFolders(const std::string& dir)
{
    for (std::size_t p = 1; p <= dir.size(); ++p) {
        if (p != dir.size() && dir[p] != '/')
            continue;
        std::string part = dir.substr(0, p);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st;
    return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool WriteAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        ssize_t n = write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void SyncFolder(const std::string& dir)
{
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

struct Hive {
    explicit Hive(const char* file) : fileName(file) {}

    const char* fileName;
    bool loaded = false;
    LONG refused = ERROR_SUCCESS;  // a hive that could not be read whole stays untouched
    bool damaged = false;          // lines were skipped: keep the original before writing
    std::string dir;
    std::string path;
    FileId id;
    Key root;

    void Load()
    {
        root = Key{};
        loaded = true;
        refused = ERROR_SUCCESS;
        damaged = false;
        id = FileId{};
        dir = RegistryFolder();
        if (dir.empty()) {
            path.clear();
            Refuse(ERROR_REGISTRY_IO_FAILED, "no folder for the settings (neither MORVANE_REGISTRY nor HOME is set)");
            return;
        }
        path = dir + "/" + fileName;
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            if (errno != ENOENT)
                Refuse(ERROR_REGISTRY_IO_FAILED, std::strerror(errno));
            return;
        }
        struct stat st;
        std::string text;
        bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::size_t>(st.st_size) <= kMaxHiveBytes;
        if (ok) {
            id = IdOf(st);
            text.resize(static_cast<std::size_t>(st.st_size));
            std::size_t got = 0;
            while (ok && got < text.size()) {
                ssize_t n = read(fd, text.data() + got, text.size() - got);
                if (n < 0 && errno == EINTR)
                    continue;
                ok = n > 0;
                got += n > 0 ? static_cast<std::size_t>(n) : 0;
            }
        }
        close(fd);
        if (!ok) {
            root = Key{};
            Refuse(ERROR_REGISTRY_IO_FAILED, "the file cannot be read whole");
            return;
        }
        std::size_t bad = 0;
        switch (Parse(text, root, bad)) {
        case ParseResult::Whole: break;
        case ParseResult::Damaged:
            damaged = true;
            std::fprintf(stderr,
                         "registry: %s: %zu line(s) could not be read and were skipped; the file is kept "
                         "beside the new one when the settings are next written\n",
                         path.c_str(), bad);
            break;
        case ParseResult::NotAHive:
            root = Key{};
            Refuse(ERROR_REGISTRY_CORRUPT, "not a settings hive (wrong first line)");
            return;
        }
        StampTree(root, Now());
    }

    void Refuse(LONG code, const char* why)
    {
        refused = code;
        if (!id.exists && !path.empty())
            id = IdOfPath(path);  // read again only once the file changes
        std::fprintf(stderr, "registry: %s: %s; these settings are not used and the file is left as it is\n",
                     path.empty() ? fileName : path.c_str(), why);
    }

    // Picks up a change that another process saved since we read the file.
    void Refresh()
    {
        if (!loaded || (!path.empty() && !(IdOfPath(path) == id)))
            Load();
    }

    // Keeps a damaged file under a name of its own: a hard link holds the old
    // content after the rename replaces the hive.
    bool KeepDamagedOriginal()
    {
        if (!id.exists)
            return true;
        char suffix[64];
        std::snprintf(suffix, sizeof suffix, ".damaged-%lld-%d", static_cast<long long>(std::time(nullptr)),
                      static_cast<int>(getpid()));
        std::string keep = path + suffix;
        if (link(path.c_str(), keep.c_str()) == 0 || errno == EEXIST)
            return true;
        std::fprintf(stderr, "registry: %s: cannot keep the damaged file (%s); not writing\n", path.c_str(),
                     std::strerror(errno));
        return false;
    }

    LONG Save()
    {
        if (refused)
            return refused;
        if (!MakeFolders(dir))
            return ERROR_CANTWRITE;
        if (damaged && !KeepDamagedOriginal())
            return ERROR_CANTWRITE;
        std::string tmp = dir + "/." + fileName + ".tmp-XXXXXX";
        int fd = mkostemp(tmp.data(), O_CLOEXEC);
        if (fd < 0)
            return ERROR_CANTWRITE;
        bool ok = fchmod(fd, 0644) == 0 && WriteAll(fd, Serialize(root)) && fsync(fd) == 0;
        ok = close(fd) == 0 && ok;
        if (!ok || rename(tmp.c_str(), path.c_str()) != 0) {
            unlink(tmp.c_str());
            return ERROR_CANTWRITE;
        }
        SyncFolder(dir);
        damaged = false;
        id = IdOfPath(path);
        return ERROR_SUCCESS;
    }
};

// Serialises read-modify-write of one hive between processes (the build
// registers several plug-ins at once into one hive).
class FileLock {
public:
    explicit FileLock(const Hive& h)
    {
        if (h.dir.empty() || !MakeFolders(h.dir))
            return;
        std::string name = h.dir + "/." + h.fileName + ".lock";
        m_fd = open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (m_fd >= 0)
            while (flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~FileLock()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int m_fd = -1;
};

// ---------------------------------------------------------------------------
// Roots, handles and the views they give.

enum class Root { ClassesRoot, CurrentUser, LocalMachine };
enum HiveIndex { kUser = 0, kMachine = 1 };

struct OpenKey {
    Root root;
    Path path;  // below the root
    REGSAM sam;
};

// One place in one hive that a root and path name.
struct Place {
    Hive* hive;
    Path path;
};

struct Registry {
    std::mutex mutex;
    Hive hives[2] = {Hive("HKCU.hive"), Hive("HKLM.hive")};
    std::unordered_map<std::uintptr_t, OpenKey> handles;
    std::uintptr_t nextHandle = 0x1000;

    bool Resolve(HKEY key, OpenKey& out)
    {
        auto v = reinterpret_cast<std::uintptr_t>(key);
        if (key == HKEY_CLASSES_ROOT)
            out = OpenKey{Root::ClassesRoot, {}, KEY_ALL_ACCESS};
        else if (key == HKEY_CURRENT_USER)
            out = OpenKey{Root::CurrentUser, {}, KEY_ALL_ACCESS};
        else if (key == HKEY_LOCAL_MACHINE)
            out = OpenKey{Root::LocalMachine, {}, KEY_ALL_ACCESS};
        else if (auto it = handles.find(v); it != handles.end())
            out = it->second;
        else
            return false;
        return true;
    }

    HKEY NewHandle(OpenKey k)
    {
        std::uintptr_t v = nextHandle;
        nextHandle += 4;
        handles.emplace(v, std::move(k));
        return reinterpret_cast<HKEY>(v);
    }

    // Where a key is read from: the user's classes before the machine's.
    std::vector<Place> ReadPlaces(Root root, const Path& path)
    {
        auto classes = [&](Hive& h) {
            Path p{"Software", "Classes"};
            p.insert(p.end(), path.begin(), path.end());
            return Place{&h, std::move(p)};
        };
        switch (root) {
        case Root::CurrentUser: return {Place{&hives[kUser], path}};
        case Root::LocalMachine: return {Place{&hives[kMachine], path}};
        case Root::ClassesRoot: break;
        }
        return {classes(hives[kUser]), classes(hives[kMachine])};
    }

    // Where a key is written: classes go to the machine's hive, as for a
    // machine-wide install.
    Place WritePlace(Root root, const Path& path) { return ReadPlaces(root, path).back(); }

    // The keys that exist for the path, in reading order.
    std::vector<Key*> Keys(Root root, const Path& path)
    {
        std::vector<Key*> keys;
        for (auto& place : ReadPlaces(root, path)) {
            place.hive->Refresh();
            if (Key* k = Find(place.hive->root, place.path))
                keys.push_back(k);
        }
        return keys;
    }

    // The key of an open handle. The top of a root always exists, even while
    // its hive is empty; a key deleted under an open handle does not.
    LONG KeysOf(const OpenKey& k, std::vector<Key*>& keys)
    {
        keys = Keys(k.root, k.path);
        if (!keys.empty() || !k.path.empty())
            return keys.empty() ? ERROR_KEY_DELETED : ERROR_SUCCESS;
        LONG refused = ERROR_SUCCESS;
        for (auto& place : ReadPlaces(k.root, k.path)) {
            if (!place.hive->refused)
                return ERROR_SUCCESS;
            refused = place.hive->refused;
        }
        return refused;
    }
};

Registry& Reg()
{
    static Registry* r = new Registry;  // never destroyed: calls during exit stay safe
    return *r;
}

Path Join(const Path& a, const char* sub)
{
    Path p = a;
    Path s = SplitPath(sub);
    p.insert(p.end(), s.begin(), s.end());
    return p;
}

LONG CopyName(const std::string& name, LPSTR out, DWORD* size)
{
    if (name.size() + 1 > *size)
        return ERROR_MORE_DATA;
    std::memcpy(out, name.c_str(), name.size() + 1);
    *size = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

// Type, data and size out-parameters of a query, as Windows fills them.
LONG CopyData(const Value& v, DWORD* type, BYTE* data, DWORD* size)
{
    if (data && !size)
        return ERROR_INVALID_PARAMETER;
    if (type)
        *type = v.type;
    LONG rc = ERROR_SUCCESS;
    if (data) {
        if (v.data.size() > *size)
            rc = ERROR_MORE_DATA;
        else if (!v.data.empty())
            std::memcpy(data, v.data.data(), v.data.size());
    }
    if (size)
        *size = static_cast<DWORD>(v.data.size());
    return rc;
}

FILETIME ToFileTime(ULONGLONG t)
{
    return FILETIME{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
}

const Key& Deref(const std::unique_ptr<Key>& k) { return *k; }
const Value& Deref(const Value& v) { return v; }

// Merged lists for enumeration: the first key's entries, then those of the
// next that the first does not have.
template <typename Entry, typename Of>
std::vector<const Entry*> Merged(const std::vector<Key*>& keys, Of entriesOf)
{
    std::vector<const Entry*> out;
    std::unordered_set<std::string> seen;
    for (Key* k : keys)
        for (auto& entry : entriesOf(*k)) {
            const Entry& e = Deref(entry);
            if (seen.insert(Folded(e.name)).second)
                out.push_back(&e);
        }
    return out;
}

std::vector<const Key*> MergedSubkeys(const std::vector<Key*>& keys)
{
    return Merged<Key>(keys, [](Key& k) -> auto& { return k.subkeys; });
}

std::vector<const Value*> MergedValues(const std::vector<Key*>& keys)
{
    return Merged<Value>(keys, [](Key& k) -> auto& { return k.values; });
}

// Runs a change on every hive that a list of places touches, each under its
// file lock, saving each hive that changed. On a failed save the hive is read
// again, so memory never holds what the file does not.
template <typename Change>
LONG Mutate(std::vector<Place> places, Change change)
{
    LONG result = ERROR_SUCCESS;
    for (auto& place : places) {
        Hive& h = *place.hive;
        h.Refresh();
        FileLock lock(h);
        h.Refresh();
        if (h.refused)
            return h.refused;
        bool changed = false;
        LONG rc = change(place, changed);
        if (changed) {
            if (LONG saved = h.Save(); saved != ERROR_SUCCESS) {
                h.loaded = false;
                return saved;
            }
        }
        if (rc != ERROR_SUCCESS)
            result = rc;
    }
    return result;
}

// Runs `use` under the registry's lock with the open key behind a handle and
// the keys it sees.
template <typename Use>
LONG WithKey(HKEY key, Use use)
{
    Registry& r = Reg();
    std::lock_guard lock(r.mutex);
    OpenKey k;
    if (!r.Resolve(key, k))
        return ERROR_INVALID_HANDLE;
    std::vector<Key*> keys;
    if (LONG rc = r.KeysOf(k, keys); rc != ERROR_SUCCESS)
        return rc;
    return use(r, k, keys);
}

}  // namespace

namespace {

// Opens the key below an open key; with `create`, makes it when missing.
LONG OpenKeyBelow(HKEY key, LPCSTR subKey, REGSAM sam, PHKEY result, bool create, DWORD* disposition)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    Registry& r = Reg();
    std::lock_guard lock(r.mutex);
    OpenKey parent;
    if (!r.Resolve(key, parent))
        return ERROR_INVALID_HANDLE;
    OpenKey k{parent.root, Join(parent.path, subKey), sam};
    std::vector<Key*> keys;
    LONG rc = r.KeysOf(k, keys);
    if (rc == ERROR_KEY_DELETED && create) {
        std::vector<Key*> parentKeys;
        if (!(parent.sam & KEY_CREATE_SUB_KEY))
            rc = ERROR_ACCESS_DENIED;
        else if (rc = r.KeysOf(parent, parentKeys); rc == ERROR_SUCCESS)
            rc = Mutate({r.WritePlace(k.root, k.path)}, [](Place& p, bool& changed) {
                FindOrCreate(p.hive->root, p.path, &changed);
                return ERROR_SUCCESS;
            });
        if (rc == ERROR_SUCCESS && disposition)
            *disposition = REG_CREATED_NEW_KEY;
    } else if (rc == ERROR_SUCCESS && disposition) {
        *disposition = REG_OPENED_EXISTING_KEY;
    }
    if (rc == ERROR_KEY_DELETED)
        rc = ERROR_FILE_NOT_FOUND;
    if (rc == ERROR_SUCCESS)
        *result = r.NewHandle(std::move(k));
    return rc;
}

}  // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM sam, PHKEY result)
{
    return OpenKeyBelow(key, subKey, sam, result, false, nullptr);
}

LONG RegOpenKeyA(HKEY key, LPCSTR subKey, PHKEY result)
{
    return RegOpenKeyExA(key, subKey, 0, KEY_ALL_ACCESS, result);
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR cls, DWORD options, REGSAM sam, void* security,
                     PHKEY result, DWORD* disposition)
{
    return OpenKeyBelow(key, subKey, sam, result, true, disposition);
}

LONG RegCreateKeyA(HKEY key, LPCSTR subKey, PHKEY result)
{
    return RegCreateKeyExA(key, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, result, nullptr);
}

LONG RegCloseKey(HKEY key)
{
    if (key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE)
        return ERROR_SUCCESS;
    Registry& r = Reg();
    std::lock_guard lock(r.mutex);
    return r.handles.erase(reinterpret_cast<std::uintptr_t>(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size)
{
    return WithKey(key, [&](Registry&, OpenKey&, std::vector<Key*>& keys) {
        for (Key* found : keys)
            if (const Value* v = FindValue(*found, name ? name : ""))
                return CopyData(*v, type, data, size);
        return ERROR_FILE_NOT_FOUND;
    });
}

LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size)
{
    if (!data && size)
        return ERROR_INVALID_PARAMETER;
    std::vector<BYTE> bytes(data, data + size);
    // Text always ends in its terminator, so a reader never runs past it.
    if (type == REG_SZ && (bytes.empty() || bytes.back() != 0))
        bytes.push_back(0);
    std::string valueName = name ? name : "";
    return WithKey(key, [&](Registry& r, OpenKey& k, std::vector<Key*>&) {
        if (!(k.sam & KEY_SET_VALUE))
            return ERROR_ACCESS_DENIED;
        return Mutate({r.WritePlace(k.root, k.path)}, [&](Place& p, bool& changed) {
            SetValue(*FindOrCreate(p.hive->root, p.path, nullptr), valueName, type, bytes);
            changed = true;
            return ERROR_SUCCESS;
        });
    });
}

LONG RegDeleteValueA(HKEY key, LPCSTR name)
{
    return WithKey(key, [&](Registry& r, OpenKey& k, std::vector<Key*>&) {
        if (!(k.sam & KEY_SET_VALUE))
            return ERROR_ACCESS_DENIED;
        bool removed = false;
        LONG rc = Mutate(r.ReadPlaces(k.root, k.path), [&](Place& p, bool& changed) {
            if (Key* found = Find(p.hive->root, p.path))
                changed = RemoveValue(*found, name ? name : "");
            removed = removed || changed;
            return ERROR_SUCCESS;
        });
        return rc == ERROR_SUCCESS && !removed ? ERROR_FILE_NOT_FOUND : rc;
    });
}

namespace {

// Deletes the key at `path` (below `root`) from every hive that has it; with
// `onlyIfLeaf`, a key with subkeys is refused.
LONG DeleteKeyAt(Registry& r, Root root, const Path& path, bool onlyIfLeaf)
{
    if (path.empty())
        return ERROR_ACCESS_DENIED;  // the top of a root is never deleted
    std::vector<Key*> keys = r.Keys(root, path);
    if (keys.empty())
        return ERROR_FILE_NOT_FOUND;
    if (onlyIfLeaf)
        for (Key* k : keys)
            if (!k->subkeys.empty())
                return ERROR_ACCESS_DENIED;
    return Mutate(r.ReadPlaces(root, path), [&](Place& p, bool& changed) {
        Path parentPath(p.path.begin(), p.path.end() - 1);
        if (Key* parent = Find(p.hive->root, parentPath)) {
            Key* k = FindSubkey(*parent, p.path.back());
            if (k && onlyIfLeaf && !k->subkeys.empty())
                return ERROR_ACCESS_DENIED;  // another process added one meanwhile
            changed = RemoveSubkey(*parent, p.path.back());
        }
        return ERROR_SUCCESS;
    });
}

LONG DeleteKeyBelow(HKEY key, LPCSTR subKey, bool onlyIfLeaf)
{
    Registry& r = Reg();
    std::lock_guard lock(r.mutex);
    OpenKey k;
    if (!r.Resolve(key, k))
        return ERROR_INVALID_HANDLE;
    return DeleteKeyAt(r, k.root, Join(k.path, subKey), onlyIfLeaf);
}

}  // namespace

LONG RegDeleteKeyA(HKEY key, LPCSTR subKey)
{
    return subKey ? DeleteKeyBelow(key, subKey, true) : ERROR_INVALID_PARAMETER;
}

LONG RegDeleteTreeA(HKEY key, LPCSTR subKey)
{
    if (subKey && *subKey)
        return DeleteKeyBelow(key, subKey, false);
    return WithKey(key, [&](Registry& r, OpenKey& k, std::vector<Key*>&) {
        if (!(k.sam & KEY_SET_VALUE))
            return ERROR_ACCESS_DENIED;
        return Mutate(r.ReadPlaces(k.root, k.path), [&](Place& p, bool& changed) {
            if (Key* found = Find(p.hive->root, p.path)) {
                changed = !found->values.empty() || !found->subkeys.empty();
                found->values.clear();
                ClearSubkeys(*found);
                found->lastWrite = Now();
            }
            return ERROR_SUCCESS;
        });
    });
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, DWORD* nameSize, DWORD* reserved, LPSTR cls, DWORD* clsSize,
                   FILETIME* lastWrite)
{
    if (!name || !nameSize)
        return ERROR_INVALID_PARAMETER;
    return WithKey(key, [&](Registry&, OpenKey&, std::vector<Key*>& keys) {
        std::vector<const Key*> subkeys = MergedSubkeys(keys);
        if (index >= subkeys.size())
            return ERROR_NO_MORE_ITEMS;
        const Key& s = *subkeys[index];
        if (LONG rc = CopyName(s.name, name, nameSize); rc != ERROR_SUCCESS)
            return rc;
        if (cls && clsSize && *clsSize)
            cls[0] = '\0';
        if (clsSize)
            *clsSize = 0;
        if (lastWrite)
            *lastWrite = ToFileTime(s.lastWrite);
        return ERROR_SUCCESS;
    });
}

LONG RegEnumValueA(HKEY key, DWORD index, LPSTR name, DWORD* nameSize, DWORD* reserved, DWORD* type, BYTE* data,
                   DWORD* dataSize)
{
    if (!name || !nameSize)
        return ERROR_INVALID_PARAMETER;
    return WithKey(key, [&](Registry&, OpenKey&, std::vector<Key*>& keys) {
        std::vector<const Value*> values = MergedValues(keys);
        if (index >= values.size())
            return ERROR_NO_MORE_ITEMS;
        const Value& v = *values[index];
        if (LONG rc = CopyName(v.name, name, nameSize); rc != ERROR_SUCCESS)
            return rc;
        return CopyData(v, type, data, dataSize);
    });
}

LONG RegQueryInfoKeyA(HKEY key, LPSTR cls, DWORD* clsSize, DWORD* reserved, DWORD* subKeys, DWORD* maxSubKeyLen,
                      DWORD* maxClassLen, DWORD* values, DWORD* maxValueNameLen, DWORD* maxValueLen,
                      DWORD* securityDescriptor, FILETIME* lastWrite)
{
    return WithKey(key, [&](Registry&, OpenKey&, std::vector<Key*>& keys) {
        std::vector<const Key*> subs = MergedSubkeys(keys);
        std::vector<const Value*> vals = MergedValues(keys);
        DWORD maxSub = 0, maxName = 0, maxData = 0;
        ULONGLONG newest = 0;
        for (const Key* s : subs)
            maxSub = std::max(maxSub, static_cast<DWORD>(s->name.size()));
        for (const Value* v : vals) {
            maxName = std::max(maxName, static_cast<DWORD>(v->name.size()));
            maxData = std::max(maxData, static_cast<DWORD>(v->data.size()));
        }
        for (const Key* found : keys)
            newest = std::max(newest, found->lastWrite);
        auto put = [](DWORD* out, DWORD v) {
            if (out)
                *out = v;
        };
        if (cls && clsSize && *clsSize)
            cls[0] = '\0';
        put(clsSize, 0);
        put(subKeys, static_cast<DWORD>(subs.size()));
        put(maxSubKeyLen, maxSub);
        put(maxClassLen, 0);
        put(values, static_cast<DWORD>(vals.size()));
        put(maxValueNameLen, maxName);
        put(maxValueLen, maxData);
        put(securityDescriptor, 0);
        if (lastWrite)
            *lastWrite = ToFileTime(newest);
        return ERROR_SUCCESS;
    });
}

namespace mvreg {

void ReloadHives()
{
    Registry& r = Reg();
    std::lock_guard lock(r.mutex);
    for (Hive& h : r.hives)
        h.loaded = false;
}

}  // namespace mvreg

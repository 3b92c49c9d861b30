#include "tools/frutool/quellet_json.h"

#include <cstring>

namespace {

struct Reader {
    std::string_view s;
    std::span<char> pool;
    JsonError *err;
    std::size_t at = 0, used = 0;

    // Line and column are counted only for a fault: the tool is held to a
    // size on the board, and a good document needs neither.
    bool fail(const char *what) {
        err->line = 1, err->column = 1, err->what = what;
        for (std::size_t i = 0; i < at && i < s.size(); ++i) {
            bool lf = s[i] == '\n';
            err->line += lf;
            err->column = lf ? 1 : err->column + 1;
        }
        return false;
    }
    int peek() const { return at < s.size() ? static_cast<unsigned char>(s[at]) : -1; }
    int blanks() {
        while (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r') ++at;
        return peek();
    }
    bool expect(char c, const char *what) {
        if (blanks() != c) return fail(what);
        ++at;
        return true;
    }
    static int hex(int c) {
        if (c >= '0' && c <= '9') return c - '0';
        c |= 0x20;
        return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    }
    // A string at the cursor, decoded into the pool when out is given.
    bool string(std::string_view *out) {
        if (!expect('"', "bad key")) return false;
        std::size_t start = used;
        for (int c; (c = peek()) != '"'; ++at) {
            if (c < 0x20) return fail("bad string");  // the end of the text too
            if (c == '\\') {
                constexpr std::string_view plain = "\"\\/bfnrt", as = "\"\\/\b\f\n\r\t";
                std::size_t e = plain.find(static_cast<char>(++at < s.size() ? s[at] : 0));
                c = e < plain.size() ? as[e] : 0;
                if (e == plain.npos) {
                    if (peek() != 'u' || s.size() - at < 5) return fail("bad string");
                    for (int i = 0; i < 4; ++i) {
                        int d = hex(s[++at]);
                        if (d < 0) return fail("bad string");
                        c = c * 16 + d;
                    }
                    if (c > 0xFF) return fail("bad string");
                }
            }
            if (out == nullptr) continue;
            if (used == pool.size()) return fail("too large");
            pool[used++] = static_cast<char>(c);
        }
        ++at;
        if (out != nullptr) *out = {pool.data() + start, used - start};
        return true;
    }
    bool integer(long long *out) {
        bool minus = peek() == '-';
        at += minus;
        std::size_t start = at;
        long long v = 0;
        for (; peek() >= '0' && peek() <= '9'; ++at) {
            if (at - start == 18) return fail("bad value");
            v = v * 10 + (peek() - '0');
        }
        if (at == start || (s[start] == '0' && at - start > 1)) at = start;
        if (at == start || peek() == '.' || peek() == 'e' || peek() == 'E') return fail("bad value");
        *out = minus ? -v : v;
        return true;
    }
    // An object; at the top its members go to members, in a list they are
    // only checked.
    int object(std::span<JsonMember> members, bool top) {
        if (!expect('{', "bad object")) return -1;
        std::size_t count = 0;
        if (blanks() == '}') {
            ++at;
            return 0;
        }
        for (;;) {
            JsonMember m{};
            if (!string(top ? &m.key : nullptr) || !expect(':', "bad key")) return -1;
            int c = blanks();
            std::size_t value = at;
            bool ok;
            if (c == '"') {
                m.kind = JSON_STRING;
                ok = string(top ? &m.text : nullptr);
            } else if (c == 'n') {
                m.kind = JSON_NULL;
                ok = s.size() - at >= 4 && std::memcmp(s.data() + at, "null", 4) == 0;
                at += ok ? 4 : 0;
                if (!ok) fail("bad value");
            } else if (c == '[' && top) {
                m.kind = JSON_ARRAY;
                ok = list();
            } else {
                m.kind = JSON_INTEGER;
                ok = integer(&m.number);
            }
            if (!ok) return -1;
            if (top) {
                for (std::size_t i = 0; i < count; ++i)
                    if (members[i].key == m.key) {
                        at = value;
                        fail("repeated key");
                        return -1;
                    }
                if (count == members.size()) {
                    fail("too large");
                    return -1;
                }
                members[count] = m;
            }
            ++count;
            if (blanks() == '}') {
                ++at;
                return static_cast<int>(count);
            }
            if (!expect(',', "bad object")) return -1;
        }
    }
    bool list() {
        ++at;
        if (blanks() == ']') {
            ++at;
            return true;
        }
        for (;;) {
            if (object({}, false) < 0) return false;
            if (blanks() == ']') {
                ++at;
                return true;
            }
            if (!expect(',', "bad list")) return false;
        }
    }
};

}  // namespace

int json_read_object(std::string_view text, std::span<JsonMember> members, std::span<char> pool,
                     JsonError *err) {
    Reader r{text, pool, err};
    int n = r.object(members, true);
    if (n >= 0 && r.blanks() >= 0) {
        r.fail("bad object");
        return -1;
    }
    return n;
}

#include "tools/frutool/quellet_json.h"

#include <algorithm>
#include <cstring>

namespace {

struct Reader {
    std::string_view s;
    std::size_t at = 0;
    int line = 1, column = 1;
    std::span<char> pool;
    std::size_t used = 0;
    JsonError *err;

    bool fail(const char *what) {
        err->line = line;
        err->column = column;
        err->what = what;
        return false;
    }
    int peek() const { return at < s.size() ? static_cast<unsigned char>(s[at]) : -1; }
    void next() {
        if (s[at++] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    void blanks() {
        while (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r') next();
    }
    bool expect(char c, const char *what) {
        blanks();
        if (peek() != c) return fail(what);
        next();
        return true;
    }
    bool word(std::string_view w) {
        if (s.size() - at < w.size() || std::memcmp(s.data() + at, w.data(), w.size()) != 0)
            return fail("unexpected character");
        for (std::size_t i = 0; i < w.size(); ++i) next();
        return true;
    }
    static int hex(int c) {
        if (c >= '0' && c <= '9') return c - '0';
        c |= 0x20;
        return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    }
    // A string at the cursor, decoded into the pool unless keep is false.
    bool string(std::string_view *out, bool keep) {
        if (peek() != '"') return fail("expected a string");
        next();
        std::size_t start = used;
        for (;;) {
            int c = peek();
            if (c < 0) return fail("unterminated string");
            if (c < 0x20) return fail("control character in string");
            if (c == '"') break;
            next();
            if (c == '\\') {
                int e = peek();
                const char *plain = "\"\\/bfnrt";
                const char *as = "\"\\/\b\f\n\r\t";
                const char *p = e > 0 ? std::find(plain, plain + 8, static_cast<char>(e)) : plain + 8;
                if (p != plain + 8) {
                    c = static_cast<unsigned char>(as[p - plain]);
                    next();
                } else if (e == 'u') {
                    next();
                    int v = 0;
                    for (int i = 0; i < 4; ++i) {
                        int d = hex(peek());
                        if (d < 0) return fail("bad \\u escape");
                        v = v * 16 + d;
                        next();
                    }
                    if (v > 0xFF) return fail("character beyond \\u00ff");
                    c = v;
                } else {
                    return fail("bad escape");
                }
            }
            if (!keep) continue;
            if (used == pool.size()) return fail("document too large");
            pool[used++] = static_cast<char>(c);
        }
        next();
        *out = keep ? std::string_view(pool.data() + start, used - start) : std::string_view();
        return true;
    }
    bool integer(long long *out) {
        bool minus = peek() == '-';
        if (minus) next();
        if (peek() < '0' || peek() > '9') return fail("expected a value");
        if (peek() == '0' && at + 1 < s.size() && s[at + 1] >= '0' && s[at + 1] <= '9')
            return fail("leading zero");
        long long v = 0;
        for (int n = 0; peek() >= '0' && peek() <= '9'; ++n) {
            if (n == 18) return fail("number too large");
            v = v * 10 + (peek() - '0');
            next();
        }
        if (peek() == '.' || peek() == 'e' || peek() == 'E') return fail("not a whole number");
        *out = minus ? -v : v;
        return true;
    }
    // An object; its members go to members when given, else they are checked only.
    int object(std::span<JsonMember> members, bool top) {
        if (!expect('{', "expected an object")) return -1;
        int count = 0;
        blanks();
        if (peek() == '}') {
            next();
            return 0;
        }
        for (;;) {
            blanks();
            JsonMember m{};
            if (!string(&m.key, top)) return -1;
            if (!expect(':', "expected ':'")) return -1;
            blanks();
            m.line = line;
            m.column = column;
            int c = peek();
            bool ok;
            if (c == '"') {
                m.kind = JSON_STRING;
                ok = string(&m.text, top);
            } else if (c == 'n') {
                m.kind = JSON_NULL;
                ok = word("null");
            } else if (c == '[' && top) {
                m.kind = JSON_ARRAY;
                ok = array();
            } else {
                m.kind = JSON_INTEGER;
                ok = integer(&m.number);
            }
            if (!ok) return -1;
            if (top) {
                for (int i = 0; i < count; ++i)
                    if (members[static_cast<std::size_t>(i)].key == m.key) {
                        err->line = m.line;
                        err->column = m.column;
                        err->what = "repeated key";
                        return -1;
                    }
                if (static_cast<std::size_t>(count) == members.size()) {
                    fail("too many keys");
                    return -1;
                }
                members[static_cast<std::size_t>(count)] = m;
            }
            ++count;
            blanks();
            if (peek() == '}') {
                next();
                return count;
            }
            if (!expect(',', "expected ',' or '}'")) return -1;
        }
    }
    bool array() {
        next();
        blanks();
        if (peek() == ']') {
            next();
            return true;
        }
        for (;;) {
            if (object({}, false) < 0) return false;
            blanks();
            if (peek() == ']') {
                next();
                return true;
            }
            if (!expect(',', "expected ',' or ']'")) return false;
        }
    }
};

}  // namespace

int json_read_object(std::string_view text, std::span<JsonMember> members, std::span<char> pool,
                     JsonError *err) {
    Reader r{text, 0, 1, 1, pool, 0, err};
    int n = r.object(members, true);
    if (n < 0) return -1;
    r.blanks();
    if (r.peek() >= 0) {
        r.fail("text behind the object");
        return -1;
    }
    return n;
}

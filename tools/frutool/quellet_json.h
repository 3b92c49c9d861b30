// A small strict JSON reader for the documents quellet takes back: one
// object whose values are strings, whole numbers, null or arrays of such
// objects. No allocation: strings are decoded into a pool the caller owns.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

enum JsonKind : std::uint8_t { JSON_NULL, JSON_STRING, JSON_INTEGER, JSON_ARRAY };

// One member of the top-level object. An array's content is checked, not kept.
struct JsonMember {
    std::string_view key;   // decoded, in the pool
    JsonKind kind;
    std::string_view text;  // JSON_STRING: the decoded bytes (\u0000..\u00ff, one byte each)
    long long number;       // JSON_INTEGER
};

// Where and why the text is not such a document.
struct JsonError {
    int line, column;
    const char *what;
};

// The members of the one object text holds, in order, or -1 with err
// filled. Refused: anything but whitespace around the object, a repeated
// key, fractions and exponents, numbers beyond 18 digits, raw control
// characters in strings, \u escapes above \u00ff, more members than fit,
// strings that overflow the pool, nesting deeper than an array of objects.
int json_read_object(std::string_view text, std::span<JsonMember> members, std::span<char> pool,
                     JsonError *err);

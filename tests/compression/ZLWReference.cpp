#include "ZLWReference.h"

#include <algorithm>
#include <string>

namespace {

uint32_t Le32(const unsigned char *p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

struct Lcg {
    uint32_t s;
    uint32_t next()
    {
        s = s * 1103515245u + 12345u;
        return s >> 8;
    }
};

} // namespace

ZLWTrace ZLWReferenceDecode(const std::vector<unsigned char> &block)
{
    ZLWTrace t;
    if (block.size() < 11 || block[0] != 4)
        return t;
    const uint32_t total = Le32(&block[5]);
    std::vector<uint16_t> prefix(65536);
    std::vector<unsigned char> last(65536);
    for (int i = 1; i <= 256; ++i)
        last[i] = static_cast<unsigned char>(i - 1);
    uint32_t width = 9, threshold = 512, next = 258, buffer = 0, count = 0, pos = 11;
    long bitsRead = 0;
    bool short_ = false;
    auto read = [&]() -> uint32_t {
        while (count <= 23 && pos < block.size()) {
            buffer |= static_cast<uint32_t>(block[pos++]) << count;
            count += 8;
        }
        if (count < width)
            short_ = true;
        if (width == 10 && t.firstWideBit < 0)
            t.firstWideBit = bitsRead;
        bitsRead += width;
        uint32_t c = buffer & ((1u << width) - 1);
        buffer >>= width;
        count -= width;
        return c;
    };
    auto reset = [&]() {
        width = 9;
        threshold = 512;
        next = 258;
    };
    auto emit = [&](uint32_t code) {
        size_t start = t.data.size();
        for (uint32_t c = code;; c = prefix[c]) {
            t.data.push_back(last[c]);
            if (prefix[c] == 0)
                break;
            if (t.data.size() > total + 65536u)
                return -1;
        }
        std::reverse(t.data.begin() + start, t.data.end());
        return static_cast<int>(t.data[start]);
    };
    auto add = [&](uint32_t p, unsigned char b) {
        if (next > 65535)
            return;
        prefix[next] = static_cast<uint16_t>(p);
        last[next] = b;
        ++next;
        if (next == 65536)
            t.filled = true;
        if (width <= 15 && next >= threshold) {
            ++width;
            threshold *= 2;
        }
    };
    uint32_t c = read();
    if (c == 0 || c > 256)
        return t;
    t.data.push_back(last[c]);
    uint32_t prev = c;
    while (t.data.size() < total && !short_) {
        c = read();
        if (c == 0) {
            (next == 65536 ? t.gainResets : t.probeResets)++;
            reset();
            c = read();
            if (c == 0 || c > 256)
                return t;
            t.data.push_back(last[c]);
            prev = c;
            continue;
        }
        if (c == 257 || c > next)
            return t;
        int first;
        if (c < next) {
            first = emit(c);
        } else {
            ++t.selfCodes;
            first = emit(prev);
            if (first >= 0)
                t.data.push_back(static_cast<unsigned char>(first));
        }
        if (first < 0)
            return t;
        add(prev, static_cast<unsigned char>(first));
        prev = c; // in the self case the new entry is c itself
    }
    t.ok = !short_ && t.data.size() == total;
    return t;
}

std::vector<unsigned char> TestText(size_t n, uint32_t seed, int letters)
{
    Lcg r{seed};
    std::vector<std::vector<unsigned char>> words(400);
    for (auto &w : words) {
        size_t len = 2 + r.next() % 8;
        for (size_t i = 0; i < len; ++i)
            w.push_back(static_cast<unsigned char>('a' + r.next() % letters));
    }
    static const char *seps[] = {" ", " ", " ", ", ", ". ", "\n"};
    std::vector<unsigned char> v;
    while (v.size() < n) {
        const auto &w = words[r.next() % words.size()];
        v.insert(v.end(), w.begin(), w.end());
        const char *s = seps[r.next() % 6];
        v.insert(v.end(), s, s + std::char_traits<char>::length(s));
    }
    v.resize(n);
    return v;
}

std::vector<unsigned char> TestRandom(size_t n, uint32_t seed)
{
    Lcg r{seed};
    std::vector<unsigned char> v(n);
    for (auto &b : v)
        b = static_cast<unsigned char>(r.next());
    return v;
}

uint64_t Fnv1a(const std::vector<unsigned char> &v)
{
    uint64_t h = 14695981039346656037ull;
    for (unsigned char b : v) {
        h ^= b;
        h *= 1099511628211ull;
    }
    return h;
}

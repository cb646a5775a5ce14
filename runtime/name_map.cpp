#include "runtime/name_map.h"

namespace pp {
namespace {

// The C locale's tolower: letters A..Z only; every other byte, negative ones included, stays.
int LowerAscii(int c) {
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

}  // namespace

uint32_t NameHash(const char* key, bool caseInsensitive) {
    if (key == nullptr) return 0;
    uint32_t h = 0;
    for (const char* p = key; *p != '\0'; ++p) {
        int c = static_cast<signed char>(*p);
        if (caseInsensitive) c = LowerAscii(c);
        h = h * 65599u + static_cast<uint32_t>(c);
    }
    return h;
}

int CompareNames(const char* a, const char* b, bool caseInsensitive) {
    auto ua = reinterpret_cast<const unsigned char*>(a);
    auto ub = reinterpret_cast<const unsigned char*>(b);
    for (;; ++ua, ++ub) {
        int ca = *ua;
        int cb = *ub;
        if (caseInsensitive) {
            ca = LowerAscii(ca);
            cb = LowerAscii(cb);
        }
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
    }
}

}  // namespace pp

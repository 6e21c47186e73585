// Every page the file converter reads is checked for UTF-8 before its
// addresses mean anything, so the check runs over every byte of a site.
// Where the processor has AVX2 it looks at 32 bytes at a time: each byte is
// classified by table look-ups on its high and low nibbles and those of the
// byte before, and a sequence is wrong exactly when the three classes share
// an error bit (the method of Keiser and Lemire, "Validating UTF-8 in less
// than one instruction per byte", 2021).

#include <bit>
#include <cstdint>
#include <cstring>

#include "base/charset.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define LIANSHUO_UTF8_AVX2 1
#endif

namespace lianshuo {
namespace {

#ifdef LIANSHUO_UTF8_AVX2

// What a pair of bytes (the one before, this one) can be wrong by.
constexpr char kTooShort = 1 << 0;   // a lead byte or ASCII where a continuation is due
constexpr char kTooLong = 1 << 1;    // ASCII then a continuation
constexpr char kOverlong3 = 1 << 2;  // E0 then 80..9F
constexpr char kTooLarge = 1 << 3;   // above U+10FFFF
constexpr char kSurrogate = 1 << 4;  // ED then A0..BF
constexpr char kOverlong2 = 1 << 5;  // C0 or C1 as a lead
constexpr char kTooLarge1000 = 1 << 6;
constexpr char kOverlong4 = 1 << 6;                    // F0 then 80..8F
constexpr char kTwoConts = static_cast<char>(1 << 7);  // a continuation after a continuation
constexpr char kCarry = kTooShort | kTooLong | kTwoConts;

struct Avx2State {
    __m256i previous, incomplete, error;
};

__attribute__((target("avx2"))) void checkBlock(const char* block, Avx2State& state) {
    const __m256i input = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block));
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    if (_mm256_movemask_epi8(input) == 0) {
        // ASCII completes nothing: a sequence the last block left open is cut short.
        state.error = _mm256_or_si256(state.error, state.incomplete);
        state.previous = input;
        state.incomplete = _mm256_setzero_si256();
        return;
    }
    // The bytes one, two and three places before each byte, across the block border.
    const __m256i joined = _mm256_permute2x128_si256(state.previous, input, 0x21);
    const __m256i prev1 = _mm256_alignr_epi8(input, joined, 15);
    const __m256i prev2 = _mm256_alignr_epi8(input, joined, 14);
    const __m256i prev3 = _mm256_alignr_epi8(input, joined, 13);

    const __m256i byte1High = _mm256_shuffle_epi8(
        _mm256_setr_epi8(kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong,
                         kTooLong, kTwoConts, kTwoConts, kTwoConts, kTwoConts,
                         kTooShort | kOverlong2, kTooShort, kTooShort | kOverlong3 | kSurrogate,
                         kTooShort | kTooLarge | kTooLarge1000 | kOverlong4, kTooLong, kTooLong,
                         kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTwoConts,
                         kTwoConts, kTwoConts, kTwoConts, kTooShort | kOverlong2, kTooShort,
                         kTooShort | kOverlong3 | kSurrogate,
                         kTooShort | kTooLarge | kTooLarge1000 | kOverlong4),
        _mm256_and_si256(_mm256_srli_epi16(prev1, 4), nibble));
    constexpr char kLarge = kCarry | kTooLarge | kTooLarge1000;
    const __m256i byte1Low = _mm256_shuffle_epi8(
        _mm256_setr_epi8(kCarry | kOverlong3 | kOverlong2 | kOverlong4, kCarry | kOverlong2, kCarry,
                         kCarry, kCarry | kTooLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge,
                         kLarge, kLarge, kLarge | kSurrogate, kLarge, kLarge,
                         kCarry | kOverlong3 | kOverlong2 | kOverlong4, kCarry | kOverlong2, kCarry,
                         kCarry, kCarry | kTooLarge, kLarge, kLarge, kLarge, kLarge, kLarge, kLarge,
                         kLarge, kLarge, kLarge | kSurrogate, kLarge, kLarge),
        _mm256_and_si256(prev1, nibble));
    constexpr char kCont1000 =
        kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 | kOverlong4;
    constexpr char kCont1001 = kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge;
    constexpr char kCont101 = kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge;
    const __m256i byte2High = _mm256_shuffle_epi8(
        _mm256_setr_epi8(kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
                         kTooShort, kTooShort, kCont1000, kCont1001, kCont101, kCont101, kTooShort,
                         kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
                         kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kCont1000,
                         kCont1001, kCont101, kCont101, kTooShort, kTooShort, kTooShort, kTooShort),
        _mm256_and_si256(_mm256_srli_epi16(input, 4), nibble));
    const __m256i special = _mm256_and_si256(_mm256_and_si256(byte1High, byte1Low), byte2High);

    // The third and fourth bytes of a sequence must be continuations: their high bit says so.
    const __m256i third = _mm256_subs_epu8(prev2, _mm256_set1_epi8(static_cast<char>(0xE0 - 0x80)));
    const __m256i fourth =
        _mm256_subs_epu8(prev3, _mm256_set1_epi8(static_cast<char>(0xF0 - 0x80)));
    const __m256i must23 =
        _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(static_cast<char>(0x80)));
    state.error = _mm256_or_si256(state.error, _mm256_xor_si256(must23, special));

    // A lead byte in the last three places that wants more bytes than the block has.
    const __m256i wanting =
        _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                         -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, static_cast<char>(0xF0 - 1),
                         static_cast<char>(0xE0 - 1), static_cast<char>(0xC0 - 1));
    state.incomplete = _mm256_subs_epu8(input, wanting);
    state.previous = input;
}

__attribute__((target("avx2"))) bool isValidUtf8Avx2(std::string_view bytes) {
    Avx2State state;
    state.previous = state.incomplete = state.error = _mm256_setzero_si256();
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    for (; left >= 32; p += 32, left -= 32) checkBlock(p, state);
    if (left > 0) {
        // The end, padded with ASCII zeros, which end any sequence left open.
        char tail[32] = {};
        std::memcpy(tail, p, left);
        checkBlock(tail, state);
    }
    const __m256i error = _mm256_or_si256(state.error, state.incomplete);
    return _mm256_testz_si256(error, error) != 0;
}

bool hasAvx2() {
    static const bool present = __builtin_cpu_supports("avx2");
    return present;
}

#endif

}  // namespace

bool isValidUtf8(std::string_view bytes) {
#ifdef LIANSHUO_UTF8_AVX2
    if (hasAvx2()) return isValidUtf8Avx2(bytes);
#endif
    return isValidUtf8WithoutVectors(bytes);
}

bool isValidUtf8WithoutVectors(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    const auto continuation = [](unsigned char c) { return (c & 0xC0) == 0x80; };
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            // Pages are mostly ASCII: sixteen bytes at a time, then straight to the first high bit.
            ++p;
            constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
            const auto firstHigh = [](std::uint64_t word) {
                return (std::endian::native == std::endian::little ? std::countr_zero(word)
                                                                   : std::countl_zero(word)) /
                       8;
            };
            for (std::uint64_t a = 0, b = 0; end - p >= 16; p += 16) {
                std::memcpy(&a, p, 8);
                std::memcpy(&b, p + 8, 8);
                if ((a & kHigh) != 0) {
                    p += firstHigh(a & kHigh);
                    break;
                }
                if ((b & kHigh) != 0) {
                    p += 8 + firstHigh(b & kHigh);
                    break;
                }
            }
            continue;
        }
        // The lead byte bounds the second byte: no overlong forms, no
        // surrogates, nothing above U+10FFFF.
        if (c < 0xC2) return false;
        if (c < 0xE0) {
            if (end - p < 2 || !continuation(p[1])) return false;
            p += 2;
        } else if (c < 0xF0) {
            const unsigned char low = c == 0xE0 ? 0xA0 : 0x80, high = c == 0xED ? 0x9F : 0xBF;
            if (end - p < 3 || p[1] < low || p[1] > high || !continuation(p[2])) return false;
            p += 3;
        } else if (c < 0xF5) {
            const unsigned char low = c == 0xF0 ? 0x90 : 0x80, high = c == 0xF4 ? 0x8F : 0xBF;
            if (end - p < 4 || p[1] < low || p[1] > high || !continuation(p[2]) ||
                !continuation(p[3]))
                return false;
            p += 4;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace lianshuo

#include "i18n/EmbeddedTableAnchor.h"

#include <array>

namespace gnugettext {

namespace {

constexpr std::size_t SignatureLength = 36;

// The signature without its terminating NUL: the appender finds exactly these
// 36 bytes in the file and patches the 8 bytes that follow them.
constexpr std::array<char, SignatureLength> MakeSignature(const char (&text)[SignatureLength + 1]) {
    std::array<char, SignatureLength> signature{};
    for (std::size_t i = 0; i < SignatureLength; ++i)
        signature[i] = text[i];
    return signature;
}

// One object, no padding (also under sanitizers, which only add red zones
// behind it), so the offset follows the signature directly in the file.
struct [[gnu::packed]] TEmbeddedTableAnchor {
    std::array<char, SignatureLength> Signature;
    unsigned char TableOffset[8];
};
static_assert(sizeof(TEmbeddedTableAnchor) == SignatureLength + 8);

// const: in read-only data, so the file bytes are what the program sees.
// (A volatile object would land in writable data; the reads below are
// volatile instead.)
[[gnu::used]] const TEmbeddedTableAnchor EmbeddedTableAnchor = {
    MakeSignature("6637DB2E-62E1-4A60-AC19-C23867046A89"), {0, 0, 0, 0, 0, 0, 0, 0}};

} // namespace

std::int64_t EmbeddedTableOffset() {
    // Volatile reads: the compiler may not fold the zero it was compiled with.
    const volatile unsigned char* bytes = EmbeddedTableAnchor.TableOffset;
    std::uint64_t offset = 0;
    for (int i = 7; i >= 0; --i)
        offset = offset << 8 | bytes[i];
    return static_cast<std::int64_t>(offset);
}

} // namespace gnugettext

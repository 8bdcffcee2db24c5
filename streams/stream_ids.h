// The kinds of backup stream. The ordinal of each TStreamId equals the stream
// identifier of the backup format (BACKUP_DATA is 1, BACKUP_SPARSE_BLOCK 9).
#pragma once

#include <cstdint>

enum class TStreamId : std::uint8_t {
    siInvalid = 0,
    siStandard = 1,
    siExtendedAttribute = 2,
    siSecurity = 3,
    siAlternate = 4,
    siHardLink = 5,
    siProperty = 6,
    siObjectIdentifier = 7,
    siReparsePoints = 8,
    siSparseFile = 9,
};

constexpr int kStreamKindCount = 10;

// A set of stream kinds in 16 bits, bit N for the kind of ordinal N. As a
// filter, the empty set lets every stream pass.
class TStreamIds {
public:
    constexpr TStreamIds() = default;
    static constexpr TStreamIds FromBits(std::uint16_t bits) { return TStreamIds(bits); }

    constexpr std::uint16_t Bits() const { return bits_; }
    constexpr bool Empty() const { return bits_ == 0; }
    // Identifiers 0 to 15 have a bit; larger ones are in no set.
    constexpr bool ContainsId(std::uint32_t id) const { return id < 16 && (bits_ >> id) & 1u; }
    constexpr bool Contains(TStreamId id) const { return ContainsId(static_cast<std::uint32_t>(id)); }
    constexpr void Add(TStreamId id) { bits_ = static_cast<std::uint16_t>(bits_ | (1u << static_cast<unsigned>(id))); }
    constexpr bool operator==(const TStreamIds&) const = default;

private:
    constexpr explicit TStreamIds(std::uint16_t bits) : bits_(bits) {}
    std::uint16_t bits_ = 0;
};

// The bytes of one stream. Large contents are never materialised: bytes that
// were never written read as a deterministic pattern (up to the pattern's
// length) or as zeros (where the stream was extended), and written bytes live
// in 64 KiB pages.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace winsim::detail {

class Content {
public:
    static constexpr std::uint64_t kPage = 64 * 1024;

    Content() = default;
    explicit Content(std::string_view bytes) { Assign(bytes); }
    static Content Pattern(std::uint64_t size, std::uint32_t seed);

    std::uint64_t Size() const { return size_; }
    void Assign(std::string_view bytes);
    void Resize(std::uint64_t size);
    void Read(std::uint64_t offset, void* dst, std::size_t count) const;
    void Write(std::uint64_t offset, const void* src, std::size_t count);
    // Only for contents that fit in memory (tests' small files).
    std::string Materialise() const;
    // Bytes held in pages: what this content costs in memory.
    std::uint64_t ResidentBytes() const { return pages_.size() * kPage; }

    // Pages that read as a pattern cost no memory. A page that was never
    // written reads as this content's own pattern; a page can also be marked
    // as reading the pattern of another seed (a copied pattern page).
    // PatternSeedOfPage: the seed the whole page (up to the end of the
    // content) reads as, if it reads as a pattern.
    std::optional<std::uint32_t> PatternSeedOfPage(std::uint64_t page) const;
    void SetPatternPage(std::uint64_t page, std::uint32_t seed);
    // Drops an explicit page that reads as zeros where unwritten bytes read as
    // zeros anyway.
    void ForgetZeroPage(std::uint64_t page);

private:
    std::uint8_t Unwritten(std::uint64_t offset) const;

    std::uint64_t size_ = 0;
    std::uint64_t patternLimit_ = 0;  // bytes below this read as the pattern
    std::uint32_t seed_ = 0;
    std::map<std::uint64_t, std::vector<std::uint8_t>> pages_;  // page index -> kPage bytes
    std::map<std::uint64_t, std::uint32_t> patternPages_;         // page index -> seed
};

std::uint8_t PatternByteAt(std::uint32_t seed, std::uint64_t offset);

}  // namespace winsim::detail

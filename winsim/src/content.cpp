#include "content.h"

#include <algorithm>
#include <cstring>

namespace winsim::detail {

std::uint8_t PatternByteAt(std::uint32_t seed, std::uint64_t offset)
{
    // A cheap mix that differs from page to page and byte to byte, so that a copy
    // which shifts or repeats a view is caught by comparing patterns.
    std::uint64_t x = offset * 0x9E3779B97F4A7C15ull + seed * 0xBF58476D1CE4E5B9ull;
    x ^= x >> 29;
    x *= 0x94D049BB133111EBull;
    x ^= x >> 32;
    return static_cast<std::uint8_t>(x);
}

Content Content::Pattern(std::uint64_t size, std::uint32_t seed)
{
    Content c;
    c.size_ = size;
    c.patternLimit_ = size;
    c.seed_ = seed;
    return c;
}

void Content::Assign(std::string_view bytes)
{
    pages_.clear();
    patternPages_.clear();
    size_ = 0;
    patternLimit_ = 0;
    Write(0, bytes.data(), bytes.size());
}

void Content::Resize(std::uint64_t size)
{
    if (size < size_) {
        // Drop whole pages beyond the end and zero the tail of the last one, so a
        // later extension reads zeros as NTFS guarantees.
        auto first = pages_.lower_bound((size + kPage - 1) / kPage);
        pages_.erase(first, pages_.end());
        patternPages_.erase(patternPages_.lower_bound((size + kPage - 1) / kPage), patternPages_.end());
        if (size % kPage != 0) {
            // A pattern page cut in the middle becomes explicit bytes.
            auto pattern = patternPages_.find(size / kPage);
            if (pattern != patternPages_.end()) {
                std::vector<std::uint8_t> bytes(kPage);
                for (std::size_t i = 0; i < kPage; ++i)
                    bytes[i] = PatternByteAt(pattern->second, pattern->first * kPage + i);
                pages_[pattern->first] = std::move(bytes);
                patternPages_.erase(pattern);
            }
            auto it = pages_.find(size / kPage);
            if (it != pages_.end())
                std::fill(it->second.begin() + static_cast<std::ptrdiff_t>(size % kPage), it->second.end(), 0);
        }
        patternLimit_ = std::min(patternLimit_, size);
    }
    size_ = size;
}

std::uint8_t Content::Unwritten(std::uint64_t offset) const
{
    return offset < patternLimit_ ? PatternByteAt(seed_, offset) : 0;
}

void Content::Read(std::uint64_t offset, void* dst, std::size_t count) const
{
    auto* out = static_cast<std::uint8_t*>(dst);
    while (count > 0) {
        std::uint64_t page = offset / kPage;
        std::size_t within = static_cast<std::size_t>(offset % kPage);
        std::size_t n = std::min<std::size_t>(count, kPage - within);
        auto it = pages_.find(page);
        if (it != pages_.end()) {
            std::memcpy(out, it->second.data() + within, n);
        } else if (auto pattern = patternPages_.find(page); pattern != patternPages_.end()) {
            for (std::size_t i = 0; i < n; ++i)
                out[i] = PatternByteAt(pattern->second, offset + i);
        } else {
            for (std::size_t i = 0; i < n; ++i)
                out[i] = Unwritten(offset + i);
        }
        out += n;
        offset += n;
        count -= n;
    }
}

void Content::Write(std::uint64_t offset, const void* src, std::size_t count)
{
    const auto* in = static_cast<const std::uint8_t*>(src);
    if (offset + count > size_)
        size_ = offset + count;
    while (count > 0) {
        std::uint64_t page = offset / kPage;
        std::size_t within = static_cast<std::size_t>(offset % kPage);
        std::size_t n = std::min<std::size_t>(count, kPage - within);
        auto it = pages_.find(page);
        if (it == pages_.end()) {
            std::vector<std::uint8_t> bytes(kPage);
            Read(page * kPage, bytes.data(), static_cast<std::size_t>(std::min(kPage, size_ - page * kPage)));
            patternPages_.erase(page);
            it = pages_.emplace(page, std::move(bytes)).first;
        }
        std::memcpy(it->second.data() + within, in, n);
        in += n;
        offset += n;
        count -= n;
    }
}

std::optional<std::uint32_t> Content::PatternSeedOfPage(std::uint64_t page) const
{
    if (pages_.count(page))
        return std::nullopt;
    if (auto it = patternPages_.find(page); it != patternPages_.end())
        return it->second;
    std::uint64_t end = std::min(size_, (page + 1) * kPage);
    if (page * kPage < size_ && end <= patternLimit_)
        return seed_;
    return std::nullopt;
}

void Content::SetPatternPage(std::uint64_t page, std::uint32_t seed)
{
    pages_.erase(page);
    std::uint64_t end = std::min(size_, (page + 1) * kPage);
    if (seed == seed_ && end <= patternLimit_)
        patternPages_.erase(page);  // it reads as this content's own pattern anyway
    else
        patternPages_[page] = seed;
}

void Content::ForgetZeroPage(std::uint64_t page)
{
    auto it = pages_.find(page);
    if (it == pages_.end() || page * kPage < patternLimit_)
        return;
    if (std::all_of(it->second.begin(), it->second.end(), [](std::uint8_t b) { return b == 0; }))
        pages_.erase(it);
}

std::string Content::Materialise() const
{
    std::string s(static_cast<std::size_t>(size_), '\0');
    Read(0, s.data(), s.size());
    return s;
}

}  // namespace winsim::detail

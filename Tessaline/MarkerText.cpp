#include "MarkerText.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

}  // namespace

int ParseMarkerText(const char* text, int length, MarkerEntry* entries)
{
    if (!text || !entries || length <= 0)
        return 0;
    const char* pos = text;
    const char* const end = text + length;
    int count = 0;
    while (pos < end && count < kMaxMarkers) {
        const char c = *pos;
        if (c == '\0' || IsBlank(c) || IsLineEnd(c)) {
            ++pos;
            continue;
        }
        if (c == '#')
            break;
        const char* lineEnd = pos;
        while (lineEnd < end && !IsLineEnd(*lineEnd))
            ++lineEnd;
        if (c < '0' || c > '9') {
            pos = lineEnd;  // not a marker line
            continue;
        }
        const char* separator = pos;
        while (separator < lineEnd && !IsBlank(*separator))
            ++separator;
        if (separator == lineEnd) {
            pos = lineEnd;  // a time without a title
            continue;
        }
        // The time field, as far as 15 characters of it go.
        char field[16] = {};
        std::memcpy(field, pos, std::min<size_t>(static_cast<size_t>(separator - pos), sizeof(field) - 1));
        int64_t time = 0;
        for (const char* d = field; *d >= '0' && *d <= '9'; ++d)
            time = time * 10 + (*d - '0');  // 15 digits at most: no overflow
        const char* title = separator;
        while (title < lineEnd && IsBlank(*title))
            ++title;
        MarkerEntry& entry = entries[count++];
        entry.startMs = time;
        size_t n = 0;
        while (title + n < lineEnd && title[n] != '\0' && n < static_cast<size_t>(kMaxTitleLength))
            ++n;
        std::memcpy(entry.title, title, n);
        entry.title[n] = '\0';
        pos = lineEnd;
    }
    return count;
}

uint64_t TrackEndMs(uint64_t trackDuration, uint32_t timeScale)
{
    if (timeScale == 0)
        return 0;
    return trackDuration / timeScale * 1000 + trackDuration % timeScale * 1000 / timeScale;
}

std::vector<MP4Chapter_t> BuildChapters(const MarkerEntry* entries, int count, uint64_t trackDuration,
                                        uint32_t timeScale)
{
    std::vector<MP4Chapter_t> chapters;
    if (!entries || count <= 0 || timeScale == 0)
        return chapters;
    const uint64_t trackEnd = TrackEndMs(trackDuration, timeScale);
    std::vector<const MarkerEntry*> kept;
    for (int i = 0; i < count && i < kMaxMarkers; ++i) {
        const MarkerEntry& entry = entries[i];
        if (entry.startMs >= 0 && static_cast<uint64_t>(entry.startMs) < trackEnd && entry.title[0] != '\0')
            kept.push_back(&entry);
    }
    std::stable_sort(kept.begin(), kept.end(),
                     [](const MarkerEntry* a, const MarkerEntry* b) { return a->startMs < b->startMs; });
    for (size_t i = 0; i < kept.size(); ++i) {
        const uint64_t start = i == 0 ? 0 : static_cast<uint64_t>(kept[i]->startMs);
        const uint64_t next = i + 1 < kept.size() ? static_cast<uint64_t>(kept[i + 1]->startMs) : trackEnd;
        MP4Chapter_t chapter{};
        chapter.duration = next - start;
        std::memcpy(chapter.title, kept[i]->title, sizeof(chapter.title));
        chapter.title[MP4V2_CHAPTER_TITLE_MAX] = '\0';
        chapters.push_back(chapter);
    }
    // Two markers at the same time: the later one would last nothing.
    std::erase_if(chapters, [](const MP4Chapter_t& c) { return c.duration == 0; });
    return chapters;
}

#pragma once

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace lv {

// The strip of five thumbnails over the picture list: which picture each slot shows (its
// tag, -1 while its content is not valid), the first picture shown, and how the slots move
// with "<" and ">" so that only a slot that comes into view is rendered again. `Image` is
// whatever the slot displays (a pixmap in the window); the strip moves it with the tag.
template <typename Image> class TThumbStrip {
public:
    static constexpr int kSlots = 5;

    struct Slot {
        int Tag = -1;
        Image Picture{};
    };

    int FirstThumb() const { return m_first; }
    const Slot& operator[](int k) const { return m_slots[std::size_t(k)]; }

    // Index of the last picture shown: min(FirstThumb + 4, count - 1); -1 for no picture.
    int Last(int count) const { return std::min(m_first + kSlots - 1, count - 1); }

    // Every slot empty and invalid, the first picture shown at the start.
    void Reset() {
        m_slots = {};
        m_first = 0;
    }

    // Every slot to be rendered again (after the list was reordered or edited).
    void InvalidateAll() {
        for (auto& slot : m_slots)
            slot.Tag = -1;
    }

    // One picture on: nothing below six pictures or at the end. Slots 0..3 take over 1..4.
    bool Next(int count) {
        if (count < kSlots + 1)
            return false;
        const int next = std::min(m_first + 1, count - kSlots);
        if (next == m_first)
            return false;
        m_first = next;
        std::rotate(m_slots.begin(), m_slots.begin() + 1, m_slots.end());
        m_slots.back() = Slot{};
        return true;
    }

    // One picture back: nothing for an empty list or at the start. Slots 4..1 take over 3..0.
    bool Prev(int count) {
        if (count <= 0)
            return false;
        const int prev = std::max(m_first - 1, 0);
        if (prev == m_first)
            return false;
        m_first = prev;
        std::rotate(m_slots.rbegin(), m_slots.rbegin() + 1, m_slots.rend());
        m_slots.front() = Slot{};
        return true;
    }

    // The jump dialog's choice, 0 .. count - 5; tags are kept so that a slot already showing
    // its new picture is not rendered again.
    void JumpTo(int position, int count) {
        m_first = std::clamp(position, 0, std::max(0, count - kSlots));
    }

    // Back into range after pictures were deleted.
    void ClampTo(int count) { m_first = std::max(0, std::min(m_first, count - kSlots)); }

    // Slots in view whose tag is not the picture they must show.
    std::vector<int> SlotsToRender(int count) const {
        std::vector<int> slots;
        for (int k = 0; k <= Last(count) - m_first; ++k)
            if (m_slots[std::size_t(k)].Tag != m_first + k)
                slots.push_back(k);
        return slots;
    }

    void Set(int k, int tag, Image picture) {
        m_slots[std::size_t(k)] = Slot{tag, std::move(picture)};
    }

    // "%d - %d / %d": first and last picture shown, counted from 1, and the count.
    std::string Label(int count) const {
        char text[64];
        std::snprintf(text, sizeof text, "%d - %d / %d", m_first + 1, Last(count) + 1, count);
        return text;
    }

private:
    std::array<Slot, kSlots> m_slots{};
    int m_first = 0;
};

} // namespace lv

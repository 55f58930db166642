#include "Common/StringList.h"

#include <stdexcept>

namespace lv {

TStringList::Subscription::Subscription(Subscription&& other) noexcept
    : m_list(other.m_list), m_it(other.m_it) {
    other.m_list = nullptr;
}

TStringList::Subscription& TStringList::Subscription::operator=(Subscription&& other) noexcept {
    if (this != &other) {
        reset();
        m_list = other.m_list;
        m_it = other.m_it;
        other.m_list = nullptr;
    }
    return *this;
}

TStringList::Subscription::~Subscription() {
    reset();
}

void TStringList::Subscription::reset() {
    if (m_list)
        m_list->m_watchers.erase(m_it);
    m_list = nullptr;
}

void TStringList::Add(std::string s) {
    m_items.push_back(std::move(s));
    changed();
}

void TStringList::Insert(std::size_t index, std::string s) {
    if (index > m_items.size())
        throw std::out_of_range("TStringList::Insert");
    m_items.insert(m_items.begin() + std::ptrdiff_t(index), std::move(s));
    changed();
}

void TStringList::Delete(std::size_t index) {
    if (index >= m_items.size())
        throw std::out_of_range("TStringList::Delete");
    m_items.erase(m_items.begin() + std::ptrdiff_t(index));
    changed();
}

void TStringList::Move(std::size_t from, std::size_t to) {
    if (from >= m_items.size() || to >= m_items.size())
        throw std::out_of_range("TStringList::Move");
    if (from == to)
        return;
    std::string s = std::move(m_items[from]);
    m_items.erase(m_items.begin() + std::ptrdiff_t(from));
    m_items.insert(m_items.begin() + std::ptrdiff_t(to), std::move(s));
    changed();
}

void TStringList::Set(std::size_t index, std::string s) {
    m_items.at(index) = std::move(s);
    changed();
}

void TStringList::Assign(std::vector<std::string> items) {
    m_items = std::move(items);
    changed();
}

void TStringList::Clear() {
    m_items.clear();
    changed();
}

TStringList::Subscription TStringList::Watch(Watcher w) const {
    m_watchers.push_back(std::move(w));
    return Subscription(this, std::prev(m_watchers.end()));
}

void TStringList::changed() {
    for (auto& w : m_watchers)
        w();
}

} // namespace lv

#pragma once

#include <cstddef>
#include <functional>
#include <list>
#include <string>
#include <vector>

namespace lv {

// A list of strings that tells its watchers about every change (add, delete, move, clear,
// assignment). Watchers are called synchronously in the thread that changes the list; the
// list itself has no lock: whoever owns it keeps it unchanged while a worker reads it.
class TStringList {
public:
    using Watcher = std::function<void()>;

    // Stops the watching when destroyed; must not outlive the list it watches.
    class Subscription {
    public:
        Subscription() = default;
        Subscription(Subscription&& other) noexcept;
        Subscription& operator=(Subscription&& other) noexcept;
        Subscription(const Subscription&) = delete;
        Subscription& operator=(const Subscription&) = delete;
        ~Subscription();
        void reset();

    private:
        friend class TStringList;
        Subscription(const TStringList* list, std::list<Watcher>::iterator it)
            : m_list(list), m_it(it) {}
        const TStringList* m_list = nullptr;
        std::list<Watcher>::iterator m_it;
    };

    TStringList() = default;
    TStringList(const TStringList&) = delete;
    TStringList& operator=(const TStringList&) = delete;

    std::size_t Count() const { return m_items.size(); }
    bool Empty() const { return m_items.empty(); }
    const std::string& operator[](std::size_t i) const { return m_items.at(i); }
    const std::vector<std::string>& Items() const { return m_items; }

    void Add(std::string s);
    void Insert(std::size_t index, std::string s);
    void Delete(std::size_t index);
    // Moves the item at `from` so that it ends up at index `to`.
    void Move(std::size_t from, std::size_t to);
    void Set(std::size_t index, std::string s);
    void Assign(std::vector<std::string> items);
    void Clear();

    // Watching does not change the content, so a const list can be watched.
    [[nodiscard]] Subscription Watch(Watcher w) const;

private:
    void changed();
    std::vector<std::string> m_items;
    mutable std::list<Watcher> m_watchers;
};

} // namespace lv

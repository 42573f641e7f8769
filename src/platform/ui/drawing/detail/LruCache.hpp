#pragma once
// A least-recently-used cache keyed by byte strings, capped by the sum of its
// entries' costs (bytes, or one per entry). Not thread-safe: the drawing and
// text caches keep one per thread.

#include <cstddef>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace qv::platform::ui {

template <typename Value>
class LruCache {
public:
    explicit LruCache(size_t capacity) : capacity_(capacity) {}

    /// The value under `key`, now the most recently used; null when absent.
    const Value* find(const std::string& key) {
        auto it = index_.find(key);
        if (it == index_.end()) {
            ++misses_;
            return nullptr;
        }
        ++hits_;
        entries_.splice(entries_.begin(), entries_, it->second);
        return &it->second->value;
    }
    /// Keeps `value`, dropping the least recently used entries to make room; a
    /// value costing more than a quarter of the capacity is not kept.
    void insert(std::string key, Value value, size_t cost) {
        if (cost > capacity_ / 4 || index_.count(key) != 0) {
            return;
        }
        while (used_ + cost > capacity_ && !entries_.empty()) {
            used_ -= entries_.back().cost;
            index_.erase(entries_.back().key);
            entries_.pop_back();
        }
        used_ += cost;
        entries_.push_front({std::move(key), std::move(value), cost});
        index_.emplace(entries_.front().key, entries_.begin());
    }
    /// Empties the cache, resets its counts and sets its capacity.
    void reset(size_t capacity) {
        index_.clear();
        entries_.clear();
        used_ = hits_ = misses_ = 0;
        capacity_ = capacity;
    }

    size_t size() const { return entries_.size(); }
    size_t used() const { return used_; }
    size_t hits() const { return hits_; }
    size_t misses() const { return misses_; }

private:
    struct Entry {
        std::string key;
        Value value;
        size_t cost;
    };
    std::list<Entry> entries_; // most recently used first
    std::unordered_map<std::string_view, typename std::list<Entry>::iterator>
        index_; // keys in entries_
    size_t capacity_;
    size_t used_ = 0, hits_ = 0, misses_ = 0;
};

} // namespace qv::platform::ui

#pragma once
// CArray and CMap in place of the class library's collection templates: thin
// wrappers over the standard containers, with the members the program uses.
// Like the originals they are not thread-safe; callers lock.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/text/CString.h"

// Position in a map walk: null at the end.
struct MapPositionTag;
using POSITION = MapPositionTag*;

// A growable array. ARG_TYPE is how elements are passed in, as in the
// class library (for example CArray<TbInfo*, TbInfo*>).
template <typename TYPE, typename ARG_TYPE = const TYPE&>
class CArray {
 public:
  int GetSize() const { return static_cast<int>(items_.size()); }
  int GetCount() const { return GetSize(); }
  int GetUpperBound() const { return GetSize() - 1; }
  bool IsEmpty() const { return items_.empty(); }
  void SetSize(int size) { items_.resize(size > 0 ? static_cast<size_t>(size) : 0); }

  int Add(ARG_TYPE element) {
    items_.push_back(element);
    return GetSize() - 1;
  }
  const TYPE& GetAt(int i) const { return items_[static_cast<size_t>(i)]; }
  TYPE& GetAt(int i) { return items_[static_cast<size_t>(i)]; }
  TYPE& ElementAt(int i) { return items_[static_cast<size_t>(i)]; }
  const TYPE& operator[](int i) const { return GetAt(i); }
  TYPE& operator[](int i) { return GetAt(i); }
  void SetAt(int i, ARG_TYPE element) { items_[static_cast<size_t>(i)] = element; }
  // Grows the array (with default elements) when `i` lies behind its end.
  void SetAtGrow(int i, ARG_TYPE element) {
    if (i >= GetSize()) items_.resize(static_cast<size_t>(i) + 1);
    items_[static_cast<size_t>(i)] = element;
  }
  void InsertAt(int i, ARG_TYPE element, int count = 1) {
    if (i > GetSize()) items_.resize(static_cast<size_t>(i));
    items_.insert(items_.begin() + i, static_cast<size_t>(count), element);
  }
  void RemoveAt(int i, int count = 1) {
    items_.erase(items_.begin() + i, items_.begin() + i + count);
  }
  void RemoveAll() { items_.clear(); }

  TYPE* GetData() { return items_.data(); }
  const TYPE* GetData() const { return items_.data(); }

 private:
  std::vector<TYPE> items_;
};

template <typename KEY>
struct CMapHash {
  size_t operator()(const KEY& key) const {
    if constexpr (std::is_same_v<KEY, CString>)
      return std::hash<std::string>{}(key.str());
    else
      return std::hash<KEY>{}(key);
  }
};

// A hash map. References to values stay valid until their key is removed.
// The walk order (GetStartPosition / GetNextAssoc) is not fixed, as in the
// class library.
template <typename KEY, typename ARG_KEY, typename VALUE, typename ARG_VALUE>
class CMap {
 public:
  explicit CMap(int block_size = 10) { (void)block_size; }
  CMap(const CMap&) = delete;
  CMap& operator=(const CMap&) = delete;

  void InitHashTable(unsigned size, bool = true) { index_.reserve(size); }

  int GetCount() const { return static_cast<int>(entries_.size()); }
  int GetSize() const { return GetCount(); }
  bool IsEmpty() const { return entries_.empty(); }

  BOOL Lookup(ARG_KEY key, VALUE& value) const {
    auto it = index_.find(KEY(key));
    if (it == index_.end()) return FALSE;
    value = entries_[it->second]->value;
    return TRUE;
  }
  void SetAt(ARG_KEY key, ARG_VALUE value) { (*this)[key] = value; }
  VALUE& operator[](ARG_KEY key) {
    KEY k(key);
    auto it = index_.find(k);
    if (it != index_.end()) return entries_[it->second]->value;
    entries_.push_back(std::make_unique<Assoc>(Assoc{k, VALUE()}));
    index_.emplace(std::move(k), entries_.size() - 1);
    return entries_.back()->value;
  }
  BOOL RemoveKey(ARG_KEY key) {
    auto it = index_.find(KEY(key));
    if (it == index_.end()) return FALSE;
    size_t i = it->second;
    index_.erase(it);
    if (i + 1 != entries_.size()) {
      entries_[i] = std::move(entries_.back());
      index_[entries_[i]->key] = i;
    }
    entries_.pop_back();
    return TRUE;
  }
  void RemoveAll() {
    entries_.clear();
    index_.clear();
  }

  POSITION GetStartPosition() const { return entries_.empty() ? nullptr : ToPosition(0); }
  void GetNextAssoc(POSITION& pos, KEY& key, VALUE& value) const {
    size_t i = FromPosition(pos);
    key = entries_[i]->key;
    value = entries_[i]->value;
    pos = i + 1 < entries_.size() ? ToPosition(i + 1) : nullptr;
  }

 private:
  struct Assoc {
    KEY key;
    VALUE value;
  };
  static POSITION ToPosition(size_t i) { return reinterpret_cast<POSITION>(i + 1); }
  static size_t FromPosition(POSITION pos) { return reinterpret_cast<size_t>(pos) - 1; }

  std::vector<std::unique_ptr<Assoc>> entries_;
  std::unordered_map<KEY, size_t, CMapHash<KEY>> index_;
};

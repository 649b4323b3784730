#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "core/Exceptions.h"

namespace Trelm
{

/// A binary heap stored level by level; the largest element by T's own order is on top.
/// The derived orderings override push and siftDown with their own key. Holds elements
/// only: with pointers it never creates or destroys what they point to.
template <typename T> class MaxHeap
{
  public:
    /// The heap in storage order (position 0 is the top).
    std::vector<T> elements;
    std::int32_t count = 0;

    MaxHeap() = default;
    MaxHeap(const MaxHeap&) = default;
    MaxHeap& operator=(const MaxHeap&) = default;
    /// A moved-from heap is empty, so a releasing owner cannot release its elements twice.
    MaxHeap(MaxHeap&& other) noexcept
        : elements(std::move(other.elements)), count(std::exchange(other.count, 0))
    {
        other.elements.clear();
    }
    MaxHeap& operator=(MaxHeap&& other) noexcept
    {
        elements = std::move(other.elements);
        other.elements.clear();
        count = std::exchange(other.count, 0);
        return *this;
    }
    virtual ~MaxHeap() = default;

    /// Inserts an element; an element equal to its parent stays below it.
    virtual void push(T element)
    {
        pushBy(element, [](const T& a, const T& b) { return a > b; });
    }
    /// Restores the order below position i.
    virtual void siftDown(std::int32_t i)
    {
        siftDownBy(i, [](const T& a, const T& b) { return a > b; });
    }

    /// Removes the top into out; throws when the heap is empty.
    void pop(T& out)
    {
        if (count == 0)
            throw InvalidOperationException("Heap is empty");
        --count;
        std::swap(elements[0], elements[static_cast<std::size_t>(count)]);
        if (count > 0)
            siftDown(0);
        out = elements[static_cast<std::size_t>(count)];
        elements.pop_back();
    }

    /// Position of the first element equal to element, or -1.
    std::int32_t find(const T& element) const
    {
        for (std::int32_t i = 0; i < count; ++i)
            if (elements[static_cast<std::size_t>(i)] == element)
                return i;
        return -1;
    }

    std::int32_t size() const { return count; }
    const T& operator[](std::int32_t i) const { return elements[static_cast<std::size_t>(i)]; }
    T& operator[](std::int32_t i) { return elements[static_cast<std::size_t>(i)]; }

    /// Appends without ordering; call rebuild() afterwards.
    void appendUnordered(T element)
    {
        elements.push_back(element);
        ++count;
    }

    /// Re-establishes the order bottom-up after unordered appends.
    void rebuild()
    {
        for (std::int32_t i = count / 2 - 1; i >= 0; --i)
            siftDown(i);
    }

    /// Forgets every element (their owners release them first).
    void clear()
    {
        elements.clear();
        count = 0;
    }

  protected:
    template <typename Better> void pushBy(T element, Better better)
    {
        appendUnordered(element);
        std::int32_t i = count - 1;
        while (i > 0 && better(at(i), at((i - 1) / 2))) {
            std::swap(at(i), at((i - 1) / 2));
            i = (i - 1) / 2;
        }
    }

    template <typename Better> void siftDownBy(std::int32_t i, Better better)
    {
        while (i < count / 2) {
            std::int32_t child = 2 * i + 1;
            // Equal children: the left one.
            if (child + 1 < count && better(at(child + 1), at(child)))
                ++child;
            if (!better(at(child), at(i)))
                return;
            std::swap(at(i), at(child));
            i = child;
        }
    }

    template <typename Better> void removeAtBy(std::int32_t position, T* out, Better better)
    {
        if (position < 0 || position >= count)
            throw InvalidParameterException("Specified position is not part of the heap");
        --count;
        if (position < count) {
            std::swap(at(position), at(count));
            // The last element may be better than the ancestors of the hole: move it up first.
            std::int32_t i = position;
            while (i > 0 && better(at(i), at((i - 1) / 2))) {
                std::swap(at(i), at((i - 1) / 2));
                i = (i - 1) / 2;
            }
            siftDown(position);
        }
        *out = at(count);
        elements.pop_back();
    }

    T& at(std::int32_t i) { return elements[static_cast<std::size_t>(i)]; }
};

} // namespace Trelm

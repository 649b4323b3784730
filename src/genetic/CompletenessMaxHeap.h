#pragma once

#include <cstdint>

#include "genetic/MaxHeap.h"

namespace Trelm
{

/// Heap of chromosome pointers with the largest completeness on top.
template <typename T> class CompletenessMaxHeap : public MaxHeap<T>
{
  public:
    CompletenessMaxHeap() = default;
    CompletenessMaxHeap(const CompletenessMaxHeap&) = default;
    CompletenessMaxHeap(CompletenessMaxHeap&&) noexcept = default;
    CompletenessMaxHeap& operator=(const CompletenessMaxHeap&) = default;
    CompletenessMaxHeap& operator=(CompletenessMaxHeap&&) noexcept = default;
    ~CompletenessMaxHeap() override = default;

    void push(T element) override { this->pushBy(element, better); }
    void siftDown(std::int32_t i) override { this->siftDownBy(i, better); }
    /// Removes the element at a position into *out, keeping the order.
    void removeAt(std::int32_t position, T* out) { this->removeAtBy(position, out, better); }

  private:
    static bool better(const T& a, const T& b) { return a->completeness > b->completeness; }
};

} // namespace Trelm

#pragma once

#include <cstdint>

#include "genetic/MaxHeap.h"

namespace Trelm
{

/// Heap of chromosome pointers with the smallest distance on top.
template <typename T> class DistanceMinHeap : public MaxHeap<T>
{
  public:
    DistanceMinHeap() = default;
    DistanceMinHeap(const DistanceMinHeap&) = default;
    DistanceMinHeap(DistanceMinHeap&&) noexcept = default;
    DistanceMinHeap& operator=(const DistanceMinHeap&) = default;
    DistanceMinHeap& operator=(DistanceMinHeap&&) noexcept = default;
    ~DistanceMinHeap() override = default;

    void push(T element) override { this->pushBy(element, better); }
    void siftDown(std::int32_t i) override { this->siftDownBy(i, better); }
    /// Removes the element at a position into *out, keeping the order.
    void removeAt(std::int32_t position, T* out) { this->removeAtBy(position, out, better); }

  private:
    static bool better(const T& a, const T& b) { return a->distance < b->distance; }
};

} // namespace Trelm

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>

#include "core/Exceptions.h"
#include "genetic/CompletenessMaxHeap.h"
#include "genetic/DistanceMinHeap.h"

using namespace Trelm;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

namespace
{

// Stands in for a chromosome: the heaps read only these two keys.
struct Keys {
    double completeness = 0.0;
    double distance = 0.0;
};

class HeapTest : public ::testing::Test
{
  protected:
    Keys* make(double completeness, double distance = 0.0)
    {
        keys_.push_back({completeness, distance});
        return &keys_.back();
    }

  private:
    std::deque<Keys> keys_;
};

template <typename Heap> std::vector<double> popAll(Heap& heap, double Keys::*key)
{
    std::vector<double> out;
    while (heap.size() > 0) {
        Keys* top = nullptr;
        heap.pop(top);
        out.push_back(top->*key);
    }
    return out;
}

} // namespace

TEST_F(HeapTest, CompletenessPopsLargestFirstAndThrowsWhenEmpty)
{
    CompletenessMaxHeap<Keys*> heap;
    for (double c : {0.2, 0.5, 0.5, 0.9})
        heap.push(make(c));
    EXPECT_EQ(popAll(heap, &Keys::completeness), (std::vector<double>{0.9, 0.5, 0.5, 0.2}));
    Keys* top = nullptr;
    EXPECT_THAT([&] { heap.pop(top); },
                ThrowsMessage<InvalidOperationException>(StrEq("Heap is empty")));
    EXPECT_EQ(heap.size(), 0);
}

TEST_F(HeapTest, EqualKeysKeepInsertionOrderAndTiesGoLeft)
{
    CompletenessMaxHeap<Keys*> heap;
    Keys* first = make(0.5);
    Keys* second = make(0.5);
    heap.push(first);
    heap.push(second);
    EXPECT_EQ(heap[0], first); // equal to its parent: not swapped

    // siftDown with equal children moves toward the left one.
    CompletenessMaxHeap<Keys*> ties;
    Keys* low = make(0.1);
    Keys* left = make(0.7);
    Keys* right = make(0.7);
    ties.appendUnordered(low);
    ties.appendUnordered(left);
    ties.appendUnordered(right);
    ties.siftDown(0);
    EXPECT_EQ(ties[0], left);
    EXPECT_EQ(ties[1], low);
    EXPECT_EQ(ties[2], right);
}

TEST_F(HeapTest, DistancePopsSmallestFirst)
{
    DistanceMinHeap<Keys*> heap;
    for (double d : {0.3, 65535.0, 0.01, 0.2})
        heap.push(make(0, d));
    EXPECT_EQ(popAll(heap, &Keys::distance), (std::vector<double>{0.01, 0.2, 0.3, 65535.0}));
}

TEST_F(HeapTest, RemoveAtLastAndTopPositions)
{
    CompletenessMaxHeap<Keys*> heap;
    for (double c : {0.9, 0.5, 0.7, 0.1})
        heap.push(make(c));
    Keys* last = heap[3];
    Keys* removed = nullptr;
    heap.removeAt(3, &removed);
    EXPECT_EQ(removed, last);
    EXPECT_EQ(heap.size(), 3);
    heap.removeAt(0, &removed);
    EXPECT_EQ(removed->completeness, 0.9);
    EXPECT_EQ(popAll(heap, &Keys::completeness), (std::vector<double>{0.7, 0.5}));
}

TEST_F(HeapTest, RemovedHoleIsFilledByAnElementThatRisesPastAncestors)
{
    // A valid max-heap whose last element (0.85, right subtree) is better than the ancestors
    // of a deep left-subtree position.
    CompletenessMaxHeap<Keys*> heap;
    for (double c : {0.9, 0.5, 0.88, 0.4, 0.3, 0.86, 0.87, 0.2, 0.1, 0.25, 0.05, 0.8, 0.85})
        heap.appendUnordered(make(c));
    Keys* removed = nullptr;
    heap.removeAt(7, &removed); // 0.2 under 0.4 under 0.5
    EXPECT_EQ(removed->completeness, 0.2);
    EXPECT_EQ(heap[1]->completeness, 0.85); // rose through 0.4 and 0.5
    EXPECT_EQ(
        popAll(heap, &Keys::completeness),
        (std::vector<double>{0.9, 0.88, 0.87, 0.86, 0.85, 0.8, 0.5, 0.4, 0.3, 0.25, 0.1, 0.05}));
}

TEST_F(HeapTest, FindAndInvalidPositions)
{
    DistanceMinHeap<Keys*> heap;
    Keys* present = make(0, 0.5);
    heap.push(present);
    EXPECT_EQ(heap.find(present), 0);
    EXPECT_EQ(heap.find(make(0, 0.5)), -1);
    Keys* removed = nullptr;
    EXPECT_THAT([&] { heap.removeAt(-1, &removed); },
                ThrowsMessage<InvalidParameterException>(
                    StrEq("Specified position is not part of the heap")));
    EXPECT_THROW(heap.removeAt(1, &removed), InvalidParameterException);
    EXPECT_EQ(heap.size(), 1);
    EXPECT_EQ(DistanceMinHeap<Keys*>().find(present), -1);
}

TEST_F(HeapTest, RebuildAndCopy)
{
    CompletenessMaxHeap<Keys*> heap;
    for (double c : {0.1, 0.4, 0.3, 0.9, 0.2})
        heap.appendUnordered(make(c));
    heap.rebuild();
    const CompletenessMaxHeap<Keys*> copy = heap;
    EXPECT_EQ(copy.elements, heap.elements);
    EXPECT_EQ(popAll(heap, &Keys::completeness), (std::vector<double>{0.9, 0.4, 0.3, 0.2, 0.1}));
    EXPECT_EQ(copy.size(), 5);
}

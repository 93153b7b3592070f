#include "foundation/ring_ptr.h"
#include "foundation/thread_safe_ptr.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

// Counts its own destructions; the count lives in the test.
struct Tracked {
    explicit Tracked(int* counter) : freed(counter) {}
    ~Tracked() { ++*freed; }
    int* freed;
};

// The ring semantics that ptr and thread_safe_ptr share.
template <class Handle>
class RingHandleTest : public ::testing::Test {};
using Handles = ::testing::Types<tmg::ptr<Tracked>, tmg::thread_safe_ptr<Tracked>>;
TYPED_TEST_SUITE(RingHandleTest, Handles);

TYPED_TEST(RingHandleTest, LastOfThreeHandlesFreesOnce) {
    int freed = 0;
    {
        TypeParam a(new Tracked(&freed));
        EXPECT_TRUE(a.isUnique());
        {
            TypeParam b(a);
            TypeParam c(b);
            EXPECT_FALSE(a.isUnique());
            EXPECT_EQ(a.get(), c.get());
        }
        EXPECT_EQ(freed, 0);
        EXPECT_TRUE(a.isUnique());
        TypeParam d(a);
        {
            TypeParam e(d);
        }
        a = TypeParam();
        EXPECT_EQ(freed, 0);
        EXPECT_TRUE(d.isUnique());
    }
    EXPECT_EQ(freed, 1);
}

TYPED_TEST(RingHandleTest, SelfAndSameRingAssignmentKeepTheObject) {
    int freed = 0;
    {
        TypeParam a(new Tracked(&freed));
        TypeParam b(a);
        auto& alias = a;
        a = alias;
        a = b;
        b = a;
        EXPECT_EQ(freed, 0);
        EXPECT_EQ(a.get(), b.get());
        EXPECT_FALSE(a.isUnique());
        b = TypeParam();
        EXPECT_TRUE(a.isUnique());
        EXPECT_EQ(freed, 0);
    }
    EXPECT_EQ(freed, 1);
}

TYPED_TEST(RingHandleTest, EmptyHandlesOwnNothing) {
    TypeParam empty;
    EXPECT_TRUE(empty.isNull());
    EXPECT_TRUE(empty.isUnique());
    TypeParam copy(empty);
    EXPECT_TRUE(copy.isNull());
    EXPECT_TRUE(copy.isUnique());
    TypeParam fromNull(static_cast<Tracked*>(nullptr));
    EXPECT_TRUE(fromNull.isNull());
}

int deleterCalls = 0;
void countingDeleter(Tracked* t) {
    ++deleterCalls;
    t->freed = nullptr;  // a later delete would crash on it
    ::operator delete(static_cast<void*>(t));
}

TYPED_TEST(RingHandleTest, DeleterReplacesDelete) {
    int freed = 0;
    deleterCalls = 0;
    {
        TypeParam a(new Tracked(&freed), &countingDeleter);
        TypeParam b(a);
        TypeParam c;
        c = b;
    }
    EXPECT_EQ(deleterCalls, 1);
    EXPECT_EQ(freed, 0);
}

// A parent that owns the handle it is reassigned from: `p = p->child` must take the child
// before the parent goes (reads freed memory otherwise; ASan checks it).
template <class Handle>
struct Chain;
template <template <class> class H>
struct Chain<H<Tracked>> {
    struct Node {
        explicit Node(int* freed) : tracked(freed) {}
        Tracked tracked;
        H<Node> child;
    };
    using Handle = H<Node>;
};

TYPED_TEST(RingHandleTest, AssignmentFromAHandleTheOldObjectOwns) {
    using Node = typename Chain<TypeParam>::Node;
    using Handle = typename Chain<TypeParam>::Handle;
    int freed = 0;
    Handle p(new Node(&freed));
    p->child = Handle(new Node(&freed));
    p->child->child = Handle(new Node(&freed));
    p = p->child;
    EXPECT_EQ(freed, 1);
    EXPECT_TRUE(p.isUnique());
    p = p->child;
    EXPECT_EQ(freed, 2);
    p = Handle();
    EXPECT_EQ(freed, 3);
}

TYPED_TEST(RingHandleTest, MovesRelinkTheNeighbours) {
    int freed = 0;
    {
        std::vector<TypeParam> handles;
        handles.emplace_back(new Tracked(&freed));
        // Growing the vector moves handles; a stale neighbour link would corrupt the ring.
        for (int i = 0; i < 100; ++i) handles.push_back(handles[static_cast<std::size_t>(i) / 2]);
        TypeParam moved(std::move(handles[50]));
        EXPECT_TRUE(handles[50].isNull());
        handles[10] = std::move(moved);
        EXPECT_TRUE(moved.isNull());
        TypeParam alone(new Tracked(&freed));
        TypeParam takesAlone(std::move(alone));
        EXPECT_TRUE(takesAlone.isUnique());
        takesAlone = TypeParam();
        EXPECT_EQ(freed, 1);
        for (std::size_t i = 0; i + 1 < handles.size(); ++i) handles[i] = TypeParam();
        EXPECT_EQ(freed, 1);
        EXPECT_TRUE(handles.back().isUnique());
    }
    EXPECT_EQ(freed, 2);
}

TEST(RingPtrTest, CharBufferIsFreedInArrayForm) {
    // ASan reports a new[]/delete mismatch if the buffer were freed with plain delete.
    tmg::ptr<char> buffer(new char[64]);
    tmg::ptr<char> copy(buffer);
    copy.get()[0] = 'x';
    EXPECT_EQ(buffer.get()[0], 'x');
}

TEST(ThreadSafePtrTest, InheritedFlagTravelsWithCopiesOnly) {
    int freed = 0;
    tmg::thread_safe_ptr<Tracked> made(new Tracked(&freed));
    EXPECT_FALSE(made.isInherited());
    made.setInherited(true);
    tmg::thread_safe_ptr<Tracked> copied(made);
    EXPECT_TRUE(copied.isInherited());
    tmg::thread_safe_ptr<Tracked> assigned;
    assigned = copied;
    EXPECT_TRUE(assigned.isInherited());
    assigned.setInherited(false);
    copied = assigned;
    EXPECT_FALSE(copied.isInherited());
    EXPECT_TRUE(made.isInherited());
    tmg::thread_safe_ptr<Tracked> fresh(new Tracked(&freed));
    EXPECT_FALSE(fresh.isInherited());
}

TEST(ThreadSafePtrTest, LeaveRingHandsOverOnlyTheLastOwnersObject) {
    int freed = 0;
    tmg::thread_safe_ptr<Tracked> a(new Tracked(&freed));
    tmg::thread_safe_ptr<Tracked> b(a);
    EXPECT_EQ(b.leaveRing(), nullptr);
    EXPECT_TRUE(b.isNull());
    Tracked* last = a.leaveRing();
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(freed, 0);
    delete last;
    EXPECT_EQ(freed, 1);
}

}  // namespace

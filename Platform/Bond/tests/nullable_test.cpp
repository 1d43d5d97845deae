#include "bond/nullable.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Point
{
    double X = 0.0;
    double W = 1.0;
    std::vector<int> Tags;

    friend bool operator==(const Point& a, const Point& b)
    {
        return a.X == b.X && a.W == b.W && a.Tags == b.Tags;
    }
};

// The same, marked to be held inline.
struct InlinePoint : Point
{
};

} // namespace

template <>
struct bond::nullable_inline<InlinePoint> : std::true_type
{
};

namespace {

struct Holder
{
    bond::nullable<std::uint64_t> ParentId;
    bond::nullable<std::string> Name;
    bond::nullable<Point> Position;
    bond::nullable<std::vector<Point>> Points;
};

TEST(NullableTest, StartsEmptyAndValueOfEmptyThrows)
{
    const Holder holder;
    EXPECT_FALSE(holder.ParentId.hasvalue());
    EXPECT_TRUE(holder.Name.empty());
    EXPECT_FALSE(holder.Position.hasvalue());
    EXPECT_FALSE(holder.Points.hasvalue());
    EXPECT_THROW(holder.Position.value(), bond::CoreException);
    EXPECT_THROW(holder.Name.value(), bond::CoreException);
}

TEST(NullableTest, SetGivesDeclaredDefaultsAndKeepsAPresentValue)
{
    bond::nullable<Point> position;
    Point& created = position.set();
    EXPECT_EQ(created.X, 0.0);
    EXPECT_EQ(created.W, 1.0);

    created.X = 5.0;
    EXPECT_EQ(position.set().X, 5.0) << "set() on a present value keeps it";

    bond::nullable<std::string> name;
    EXPECT_EQ(name.set(), "");
    EXPECT_TRUE(name.hasvalue()) << "an empty text is a value, not absence";

    position.reset();
    EXPECT_FALSE(position.hasvalue());
    EXPECT_EQ(position.set().X, 0.0) << "after reset a fresh value starts at its defaults";
}

TEST(NullableTest, StructsLiveOnTheHeapOthersInline)
{
    // A struct value is held through a pointer, so the nullable's size does not grow with it.
    EXPECT_EQ(sizeof(bond::nullable<Point>), sizeof(void*));
    EXPECT_GE(sizeof(bond::nullable<std::string>), sizeof(std::string));
    EXPECT_GE(sizeof(bond::nullable<std::vector<Point>>), sizeof(std::vector<Point>));
}

TEST(NullableTest, MarkedStructsLiveInline)
{
    EXPECT_GE(sizeof(bond::nullable<InlinePoint>), sizeof(InlinePoint));

    bond::nullable<InlinePoint> a;
    EXPECT_FALSE(a.hasvalue());
    EXPECT_THROW(a.value(), bond::CoreException);
    EXPECT_EQ(a.set().W, 1.0) << "created at its declared defaults";
    a.value().Tags = {4, 5};

    bond::nullable<InlinePoint> copy = a;
    copy.value().Tags.push_back(6);
    EXPECT_EQ(a.value().Tags, (std::vector<int>{4, 5})) << "copies are deep";
    EXPECT_NE(a, copy);

    bond::nullable<InlinePoint> moved = std::move(copy);
    EXPECT_EQ(moved.value().Tags, (std::vector<int>{4, 5, 6}));

    a.swap(moved);
    EXPECT_EQ(a.value().Tags.size(), 3u);
    a.reset();
    EXPECT_TRUE(a.empty());
    EXPECT_EQ(a.set().Tags.size(), 0u) << "after reset a fresh value starts at its defaults";
}

TEST(NullableTest, CopiesAreDeepForPresentAndAbsentValues)
{
    Holder original;
    original.ParentId.set(42);
    original.Position.set().X = 3.5;
    original.Position.value().Tags = {1, 2};
    original.Points.set().push_back(Point{7.0, 2.0, {}});

    Holder copy = original;
    ASSERT_TRUE(copy.Position.hasvalue());
    EXPECT_NE(&copy.Position.value(), &original.Position.value());
    EXPECT_EQ(copy.Position.value(), original.Position.value());
    EXPECT_FALSE(copy.Name.hasvalue());

    copy.Position.value().X = -1.0;
    copy.Points.value()[0].X = 0.0;
    copy.ParentId.set(1);
    EXPECT_EQ(original.Position.value().X, 3.5);
    EXPECT_EQ(original.Points.value()[0].X, 7.0);
    EXPECT_EQ(original.ParentId.value(), 42u);

    // Assigning an absent value releases a present one.
    copy.Position = Holder{}.Position;
    EXPECT_FALSE(copy.Position.hasvalue());
    EXPECT_TRUE(original.Position.hasvalue());

    // Destroying the original leaves the copy intact.
    auto heldCopy = std::make_unique<Holder>(original);
    Holder second = *heldCopy;
    heldCopy.reset();
    EXPECT_EQ(second.Position.value().Tags, (std::vector<int>{1, 2}));
}

TEST(NullableTest, MovingTransfersTheValue)
{
    bond::nullable<Point> source;
    source.set().X = 9.0;
    const Point* held = &source.value();

    bond::nullable<Point> target = std::move(source);
    EXPECT_EQ(&target.value(), held) << "a heap value moves without copying";
}

TEST(NullableTest, EqualityComparesPresenceThenValue)
{
    bond::nullable<double> a;
    bond::nullable<double> b;
    EXPECT_EQ(a, b);
    b.set(0.0);
    EXPECT_NE(a, b) << "empty differs from a held default";
    a.set(0.0);
    EXPECT_EQ(a, b);
    a.set(1.0);
    EXPECT_NE(a, b);

    const bond::nullable<Point> p1(Point{1.0, 1.0, {}});
    bond::nullable<Point> p2;
    p2.set(Point{1.0, 1.0, {}});
    EXPECT_EQ(p1, p2);
}

} // namespace

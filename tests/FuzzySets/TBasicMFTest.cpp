#include "FuzzySets/TBasicMF.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace glean {
namespace {

struct Row {
    double x;
    double expected;
};

void ExpectMemberships(const TBasicMF& mf, const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        EXPECT_DOUBLE_EQ(mf.Membership(row.x), row.expected) << mf.Type << " at x = " << row.x;
    }
}

TTriangularMF Triangle(double left, double centre, double right) {
    TTriangularMF mf;
    mf.LeftBound = left;
    mf.Centre = centre;
    mf.RightBound = right;
    return mf;
}

TEST(TTriangularMF, VerticesSlopesAndOutside) {
    ExpectMemberships(Triangle(0, 0.5, 1),
                      {{-0.1, 0}, {0, 0}, {0.25, 0.5}, {0.5, 1}, {0.75, 0.5}, {1, 0}, {1.1, 0}});
}

TEST(TTriangularMF, CentreOnABound) {
    ExpectMemberships(Triangle(0, 0, 1), {{-1e-9, 0}, {0, 1}, {0.5, 0.5}, {1, 0}});
    ExpectMemberships(Triangle(0, 1, 1), {{0, 0}, {0.5, 0.5}, {1, 1}, {1 + 1e-9, 0}});
}

TEST(TTriangularMF, AllParametersEqual) {
    ExpectMemberships(Triangle(2, 2, 2), {{1.999, 0}, {2, 1}, {2.001, 0}});
}

TEST(TLShoulderTriangularMF, FullToTheLeftOfTheCentre) {
    TLShoulderTriangularMF mf;
    mf.Centre = 0;
    mf.RightBound = 0.5;
    ExpectMemberships(mf, {{-5, 1}, {0, 1}, {0.25, 0.5}, {0.5, 0}, {0.6, 0}});
    mf.RightBound = 0;  // a vertical right flank
    ExpectMemberships(mf, {{0, 1}, {1e-9, 0}});
}

TEST(TRShoulderTriangularMF, FullToTheRightOfTheCentre) {
    TRShoulderTriangularMF mf;
    mf.LeftBound = 0.5;
    mf.Centre = 1;
    ExpectMemberships(mf, {{0.4, 0}, {0.5, 0}, {0.75, 0.5}, {1, 1}, {7, 1}});
    mf.LeftBound = 1;  // a vertical left flank
    ExpectMemberships(mf, {{1 - 1e-9, 0}, {1, 1}});
}

TEST(TRectangularMF, BothEndsIncluded) {
    TRectangularMF mf;
    mf.LeftBound = 0.2;
    mf.RightBound = 0.4;
    ExpectMemberships(mf, {{0.1999, 0}, {0.2, 1}, {0.3, 1}, {0.4, 1}, {0.4001, 0}});
    mf.RightBound = 0.2;
    ExpectMemberships(mf, {{0.1999, 0}, {0.2, 1}, {0.2001, 0}});
}

TEST(TSingletonMF, OnlyTheCentreItself) {
    TSingletonMF mf;
    mf.Centre = 0.3;
    ExpectMemberships(mf, {{0.3, 1}, {0.2999999, 0}, {0.3000001, 0}, {0, 0}});
}

TEST(TBasicMF, ConstructorsStoreTypeAndName) {
    const TTriangularMF named("Low");
    EXPECT_EQ(named.Type, "Triangular");
    EXPECT_EQ(named.Name, "Low");
    const TTriangularMF unnamed;
    EXPECT_EQ(unnamed.Type, "Triangular");
    EXPECT_TRUE(unnamed.Name.empty());

    std::vector<std::unique_ptr<TBasicMF>> all;
    all.push_back(std::make_unique<TRectangularMF>());
    all.push_back(std::make_unique<TSingletonMF>());
    all.push_back(std::make_unique<TLShoulderTriangularMF>());
    all.push_back(std::make_unique<TRShoulderTriangularMF>());
    const std::vector<std::string> types = {"Rectangular", "Singleton", "LeftShoulderedTriangular",
                                            "RightShoulderedTriangular"};
    for (std::size_t i = 0; i < all.size(); ++i)
        EXPECT_EQ(all[i]->Type, types[i]);
}

}  // namespace
}  // namespace glean

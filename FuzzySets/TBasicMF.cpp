#include "FuzzySets/TBasicMF.h"

#include <utility>

namespace glean {

// The tests of every shape run in a fixed order and compare exactly; the order is what keeps a
// bound equal to the centre from ever reaching the slope that would divide by zero.
namespace {

double FallingSlope(double x, double centre, double right) {
    return 1 - (x - centre) / (right - centre);
}

double RisingSlope(double x, double left, double centre) {
    return 1 - (centre - x) / (centre - left);
}

}  // namespace

TBasicMF::TBasicMF(std::string type, std::string name)
    : Type(std::move(type)), Name(std::move(name)) {}

TRectangularMF::TRectangularMF(std::string name) : TBoundedMF(kRectangularType, std::move(name)) {}

double TRectangularMF::Membership(double x) const {
    if (x < LeftBound) return 0;
    if (x > RightBound) return 0;
    return 1;
}

TTriangularMF::TTriangularMF(std::string name) : TBoundedMF(kTriangularType, std::move(name)) {}

double TTriangularMF::Membership(double x) const {
    if (x < LeftBound) return 0;
    if (x > RightBound) return 0;
    if (x == Centre) return 1;
    if (x > Centre) return FallingSlope(x, Centre, RightBound);
    return RisingSlope(x, LeftBound, Centre);
}

TSingletonMF::TSingletonMF(std::string name) : TCentredMF(kSingletonType, std::move(name)) {}

double TSingletonMF::Membership(double x) const {
    return x == Centre ? 1 : 0;
}

TLShoulderTriangularMF::TLShoulderTriangularMF(std::string name)
    : TCentredMF(kLShoulderTriangularType, std::move(name)) {}

double TLShoulderTriangularMF::Membership(double x) const {
    if (x > RightBound) return 0;
    if (x > Centre) return FallingSlope(x, Centre, RightBound);
    return 1;
}

TRShoulderTriangularMF::TRShoulderTriangularMF(std::string name)
    : TCentredMF(kRShoulderTriangularType, std::move(name)) {}

double TRShoulderTriangularMF::Membership(double x) const {
    if (x < LeftBound) return 0;
    if (x >= Centre) return 1;
    return RisingSlope(x, LeftBound, Centre);
}

}  // namespace glean

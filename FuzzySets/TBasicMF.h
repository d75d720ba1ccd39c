// Membership functions: the degree, between 0 and 1, to which a crisp value belongs to one fuzzy
// term of a variable. Five concrete shapes, told apart at run time by their Type text.
//
// Texts that the documentation calls "absent" (an unnamed MF) are empty strings here.
#pragma once

#include <string>

namespace glean {

// The type texts of the five concrete shapes, as stored in Type and written to files.
inline constexpr const char* kRectangularType = "Rectangular";
inline constexpr const char* kTriangularType = "Triangular";
inline constexpr const char* kSingletonType = "Singleton";
inline constexpr const char* kLShoulderTriangularType = "LeftShoulderedTriangular";
inline constexpr const char* kRShoulderTriangularType = "RightShoulderedTriangular";

// The root of the tree. Parameters are public fields set right after construction; nothing checks
// their order, and Membership never divides by zero whatever they are.
class TBasicMF {
public:
    virtual ~TBasicMF() = default;
    // The degree of x, between 0 and 1 for parameters in their natural order.
    virtual double Membership(double x) const = 0;

    std::string Type;  // one of the five type texts above
    std::string Name;  // the term's label; empty for an unnamed MF

protected:
    TBasicMF(std::string type, std::string name);
};

// An MF with a left and a right bound (both 0 on construction).
class TBoundedMF : public TBasicMF {
public:
    double LeftBound = 0;
    double RightBound = 0;

protected:
    using TBasicMF::TBasicMF;
};

// An MF with a centre (0 on construction).
class TCentredMF : public TBasicMF {
public:
    double Centre = 0;

protected:
    using TBasicMF::TBasicMF;
};

// 1 on [LeftBound, RightBound], both ends included; 0 elsewhere.
class TRectangularMF : public TBoundedMF {
public:
    explicit TRectangularMF(std::string name = {});
    double Membership(double x) const override;
};

// 0 outside [LeftBound, RightBound], 1 at Centre, linear in between.
class TTriangularMF : public TBoundedMF {
public:
    explicit TTriangularMF(std::string name = {});
    double Membership(double x) const override;

    double Centre = 0;
};

// 1 exactly at Centre, 0 elsewhere.
class TSingletonMF : public TCentredMF {
public:
    explicit TSingletonMF(std::string name = {});
    double Membership(double x) const override;
};

// 1 up to Centre, falling linearly to 0 at RightBound, 0 beyond.
class TLShoulderTriangularMF : public TCentredMF {
public:
    explicit TLShoulderTriangularMF(std::string name = {});
    double Membership(double x) const override;

    double RightBound = 0;
};

// 0 below LeftBound, rising linearly to 1 at Centre, 1 beyond.
class TRShoulderTriangularMF : public TCentredMF {
public:
    explicit TRShoulderTriangularMF(std::string name = {});
    double Membership(double x) const override;

    double LeftBound = 0;
};

}  // namespace glean

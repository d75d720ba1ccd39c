#include "RuleObject/RuleObject.h"

#include <algorithm>
#include <utility>

#include "KQmessage/Check.h"

namespace glean {

// ---- TPositionedArray ----

template <typename T>
TPositionedArray<T>::TPositionedArray(int capacity, const char* belowCount, const char* atMostCount)
    : belowCount_(belowCount), atMostCount_(atMostCount) {
    GLEAN_CHECK(capacity >= 0);
    entries_.resize(static_cast<std::size_t>(capacity));
}

template <typename T>
void TPositionedArray<T>::Reserve(int n) {
    // The spare entries are default values, so cutting or adding them loses nothing.
    if (count_ < n) entries_.resize(static_cast<std::size_t>(n));
}

template <typename T>
std::size_t TPositionedArray<T>::Existing(int exprnum) const {
    if (exprnum == -1) exprnum = count_ - 1;
    GLEAN_CHECK_TEXT(exprnum >= 0, "exprnum>=0");
    GLEAN_CHECK_TEXT(exprnum < count_, belowCount_);
    return static_cast<std::size_t>(exprnum);
}

template <typename T>
T& TPositionedArray<T>::At(int exprnum) {
    return entries_[Existing(exprnum)];
}

template <typename T>
const T& TPositionedArray<T>::At(int exprnum) const {
    return entries_[Existing(exprnum)];
}

template <typename T>
void TPositionedArray<T>::Insert(T value, int exprnum) {
    if (exprnum == -1) exprnum = count_;
    GLEAN_CHECK_TEXT(exprnum >= 0, "exprnum>=0");
    GLEAN_CHECK_TEXT(exprnum <= count_, atMostCount_);
    if (count_ == Capacity()) Reserve(Capacity() + 1);
    const auto first = entries_.begin() + exprnum;
    std::move_backward(first, entries_.begin() + count_, entries_.begin() + count_ + 1);
    *first = std::move(value);
    ++count_;
}

template <typename T>
void TPositionedArray<T>::Remove(int exprnum) {
    const auto first = entries_.begin() + static_cast<std::ptrdiff_t>(Existing(exprnum));
    *first = T{};
    std::move(first + 1, entries_.begin() + count_, first);
    --count_;
    entries_[static_cast<std::size_t>(count_)] = T{};
}

template <typename T>
void TPositionedArray<T>::Replace(T value, int exprnum) {
    T& entry = At(exprnum);
    entry = T{};
    entry = std::move(value);
}

template class TPositionedArray<TRuleExpression>;
template class TPositionedArray<TRuleAtom>;
template class TPositionedArray<TRule>;

// ---- TRuleExpression ----

TRuleExpression::TRuleExpression() = default;

TRuleExpression::TRuleExpression(const TRuleAtom& atom) : content_(atom) {}

TRuleExpression::TRuleExpression(std::unique_ptr<TRuleExprList> list) {
    GLEAN_CHECK(list != nullptr);
    content_ = std::move(list);
}

TRuleExpression::TRuleExpression(const TRuleExpression& other) {
    *this = other;
}

TRuleExpression::TRuleExpression(TRuleExpression&& other) noexcept
    : content_(std::exchange(other.content_, std::monostate{})) {}

TRuleExpression& TRuleExpression::operator=(const TRuleExpression& other) {
    if (this == &other) return *this;
    switch (other.ExprKind()) {
        case 1:
            content_ = other.Atom();
            break;
        case 2:
            content_ = std::make_unique<TRuleExprList>(other.List());
            break;
        default:
            content_ = std::monostate{};
            break;
    }
    return *this;
}

TRuleExpression& TRuleExpression::operator=(TRuleExpression&& other) noexcept {
    // Through a temporary, so that an expression moved into its own sub-tree destroys nothing
    // that is still being moved.
    auto taken = std::exchange(other.content_, std::monostate{});
    content_ = std::move(taken);
    return *this;
}

TRuleExpression::~TRuleExpression() = default;

int TRuleExpression::ExprKind() const {
    return static_cast<int>(content_.index());
}

void TRuleExpression::Clear() {
    content_ = std::monostate{};
}

TRuleAtom& TRuleExpression::Atom() {
    GLEAN_CHECK_TEXT(ExprKind() == 1, "ExprKind==1");
    return std::get<TRuleAtom>(content_);
}

const TRuleAtom& TRuleExpression::Atom() const {
    GLEAN_CHECK_TEXT(ExprKind() == 1, "ExprKind==1");
    return std::get<TRuleAtom>(content_);
}

TRuleExprList& TRuleExpression::List() {
    GLEAN_CHECK_TEXT(ExprKind() == 2, "ExprKind==2");
    return *std::get<std::unique_ptr<TRuleExprList>>(content_);
}

const TRuleExprList& TRuleExpression::List() const {
    GLEAN_CHECK_TEXT(ExprKind() == 2, "ExprKind==2");
    return *std::get<std::unique_ptr<TRuleExprList>>(content_);
}

// ---- TRuleExprList ----

TRuleExprList::TRuleExprList() : TRuleExprList("no-op", 0) {}

TRuleExprList::TRuleExprList(std::string op, int capacity)
    : Operator(std::move(op)),
      entries_(capacity, "exprnum<numSubExpressions", "exprnum<=numSubExpressions") {}

void TRuleExprList::Reserve(int n) {
    entries_.Reserve(n);
}

TRuleExpression& TRuleExprList::GetSubExpression(int exprnum) {
    return entries_.At(exprnum);
}

const TRuleExpression& TRuleExprList::GetSubExpression(int exprnum) const {
    return entries_.At(exprnum);
}

void TRuleExprList::InsertSubExpression(TRuleExpression expression, int exprnum) {
    entries_.Insert(std::move(expression), exprnum);
}

void TRuleExprList::RemoveSubExpression(int exprnum) {
    entries_.Remove(exprnum);
}

void TRuleExprList::ReplaceSubExpression(TRuleExpression expression, int exprnum) {
    entries_.Replace(std::move(expression), exprnum);
}

// ---- TRuleConsequenceList ----

TRuleConsequenceList::TRuleConsequenceList(int capacity)
    : entries_(capacity, "exprnum<numConsequences", "exprnum<=numConsequences") {}

void TRuleConsequenceList::Reserve(int n) {
    entries_.Reserve(n);
}

const TRuleAtom& TRuleConsequenceList::GetConsequence(int exprnum) const {
    return entries_.At(exprnum);
}

void TRuleConsequenceList::InsertConsequence(int variable, int term, double weight, bool negated,
                                             int exprnum) {
    entries_.Insert(TRuleAtom{variable, term, weight, negated}, exprnum);
}

void TRuleConsequenceList::RemoveConsequence(int exprnum) {
    entries_.Remove(exprnum);
}

void TRuleConsequenceList::SetConsequence(int variable, int term, double weight, bool negated,
                                          int exprnum) {
    entries_.At(exprnum) = TRuleAtom{variable, term, weight, negated};
}

// ---- TRule ----

namespace {

template <typename T>
std::unique_ptr<T> DeepCopy(const std::unique_ptr<T>& source) {
    return source ? std::make_unique<T>(*source) : nullptr;
}

}  // namespace

TRule::TRule(std::unique_ptr<TRuleExpression> antecedent,
             std::unique_ptr<TRuleConsequenceList> consequenceList)
    : Antecedent(std::move(antecedent)), ConsequenceList(std::move(consequenceList)) {}

TRule::TRule(const TRule& other)
    : Antecedent(DeepCopy(other.Antecedent)), ConsequenceList(DeepCopy(other.ConsequenceList)) {}

TRule& TRule::operator=(const TRule& other) {
    if (this != &other) *this = TRule(other);
    return *this;
}

TRule::~TRule() = default;

void TRule::Clear() {
    Antecedent.reset();
    ConsequenceList.reset();
}

// ---- TRuleList ----

TRuleList::TRuleList(std::string name, int capacity)
    : Name(std::move(name)), entries_(capacity, "exprnum<numRules", "exprnum<=numRules") {}

void TRuleList::Reserve(int n) {
    entries_.Reserve(n);
}

TRule& TRuleList::GetRule(int exprnum) {
    return entries_.At(exprnum);
}

const TRule& TRuleList::GetRule(int exprnum) const {
    return entries_.At(exprnum);
}

void TRuleList::InsertRule(TRule rule, int exprnum) {
    entries_.Insert(std::move(rule), exprnum);
}

void TRuleList::RemoveRule(int exprnum) {
    entries_.Remove(exprnum);
}

void TRuleList::ReplaceRule(TRule rule, int exprnum) {
    entries_.Replace(std::move(rule), exprnum);
}

void TRuleList::AppendRules(const TRuleList& other) {
    // Counted first and copied before each insertion: appending a list to itself doubles it.
    const int count = other.numRules();
    for (int i = 0; i < count; ++i) {
        TRule copy = other.GetRule(i);
        InsertRule(std::move(copy), -1);
    }
}

}  // namespace glean
